#pragma once
// The screen through Xlib: the root window of the display DISPLAY names (a desktop or
// Xvfb). The primary screen is the first Xinerama head, which on a desktop driven by
// RandR is the primary monitor; without Xinerama it is the whole root window.
#include <string>

#include "platform/Screen.h"

namespace velora {

class X11Screen final : public Screen {
public:
    // `displayName` as DISPLAY holds it; empty means there is no screen.
    explicit X11Screen(std::string displayName) : displayName_(std::move(displayName)) {}
    std::unique_ptr<ScreenSurface> acquire() override;

private:
    std::string displayName_;
};

}  // namespace velora
