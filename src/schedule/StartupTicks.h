#pragma once
// The first step of every scheduler tick: the minimised start, which hides the window
// to the tray on the first tick when "Minimiert" is set. The window's tray supplies
// it; front ends without a window pass NoStartupTicks.
namespace velora {

class StartupTicks {
public:
    virtual ~StartupTicks() = default;
    virtual void minimisedStartTick() = 0;
};

// Nothing to hide without a window.
class NoStartupTicks final : public StartupTicks {
public:
    void minimisedStartTick() override {}
};

}  // namespace velora
