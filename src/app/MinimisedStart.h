#pragma once
// The minimised start: with "Minimiert" set, the first scheduler tick hides the window
// to the tray, so the window is seen for about one second after start. The start-up
// tick counter counts the first ticks and stops at 11; it has no other use.
#include <cstdint>

#include "app/UiHost.h"

namespace velora {

class MinimisedStart {
public:
    explicit MinimisedStart(UiHost& ui) : ui_(ui) {}

    // The first step of every scheduler tick; `minimiert` is the setting at that tick.
    void onTick(bool minimiert);
    std::int32_t tickCounter() const { return counter_; }

private:
    UiHost& ui_;
    std::int32_t counter_ = 0;
};

}  // namespace velora
