#pragma once
// The screen as the screen shot sees it. acquire() opens the screen (on Windows the
// desktop's device context); the surface it returns gives the picture of the primary
// screen and lets the screen go when it is destroyed, however the shot ends.
#include <memory>
#include <string>
#include <vector>

namespace velora {

// 24 bits per pixel, upright: rows from top to bottom, each pixel red, green, blue.
struct ScreenPicture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;   // width * height * 3 bytes
};

class ScreenSurface {
public:
    virtual ~ScreenSurface() = default;
    // The primary screen from its top-left corner, as it is at this moment.
    virtual ScreenPicture capturePrimaryScreen() = 0;
};

class Screen {
public:
    virtual ~Screen() = default;
    // Raises velora::Error with a text that says why when there is no screen to open.
    virtual std::unique_ptr<ScreenSurface> acquire() = 0;
};

}  // namespace velora
