#pragma once
// The screen shot as a run's first step, taken when "Aktiv" on the page "Tools" is
// checked. An error it raises ends the run before anything is prepared or sent.
namespace velora {

class ScreenShotStep {
public:
    virtual ~ScreenShotStep() = default;
    virtual void takeScreenShot() = 0;
};

}  // namespace velora
