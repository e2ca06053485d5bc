#pragma once
// A screen that gives a picture the test chose, counts how often it was acquired and
// released, and can refuse to open like a missing display does.
#include <memory>
#include <string>

#include "platform/Errors.h"
#include "platform/Screen.h"

namespace velora::test {

// width x height pixels of one colour.
inline ScreenPicture solidPicture(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
    ScreenPicture p;
    p.width = width;
    p.height = height;
    for (int i = 0; i < width * height; ++i) p.rgb.insert(p.rgb.end(), {r, g, b});
    return p;
}

class FakeScreen final : public Screen {
public:
    ScreenPicture picture = solidPicture(8, 4, 10, 20, 30);
    std::string refusal;   // not empty: acquire raises an error with this text
    int acquired = 0;
    int released = 0;

    std::unique_ptr<ScreenSurface> acquire() override {
        if (!refusal.empty()) throw Error(refusal);
        ++acquired;
        return std::make_unique<Surface>(*this);
    }

private:
    class Surface final : public ScreenSurface {
    public:
        explicit Surface(FakeScreen& screen) : screen_(screen) {}
        ~Surface() override { ++screen_.released; }
        ScreenPicture capturePrimaryScreen() override { return screen_.picture; }

    private:
        FakeScreen& screen_;
    };
};

}  // namespace velora::test
