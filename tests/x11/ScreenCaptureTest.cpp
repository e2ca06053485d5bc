// The screen through Xlib on a private Xvfb whose root window is painted a known
// colour: the picture's size is the primary screen's, its colours are the painted
// ones at every depth, and the JPEG written from it reads back the same.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <cstdio>

#include "platform/Errors.h"
#include "platform/X11Screen.h"
#include "support/ErrorOf.h"
#include "support/JpegDecoder.h"
#include "support/LogHarness.h"
#include "support/XvfbServer.h"
#include "tools/ScreenShot.h"

namespace velora {
namespace {

using test::XvfbServer;

// Every pixel within `tolerance` of the colour; the first one off is reported.
::testing::AssertionResult allPixels(const ScreenPicture& p, int r, int g, int b, int tolerance) {
    for (std::size_t i = 0; i + 2 < p.rgb.size(); i += 3) {
        const int got[3] = {p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]};
        const int want[3] = {r, g, b};
        for (int c = 0; c < 3; ++c)
            if (std::abs(got[c] - want[c]) > tolerance)
                return ::testing::AssertionFailure() << "pixel " << i / 3 << " is " << got[0] << "," << got[1] << ","
                                                     << got[2];
    }
    return ::testing::AssertionSuccess();
}

TEST(ScreenCaptureTest, TheRootWindowInItsPaintedColourAtEveryDepth) {
    struct Case {
        int depth;
        int tolerance;   // what the depth's channels can hold of an 8-bit value
    };
    const Case cases[] = {{24, 0}, {16, 8}, {8, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.depth));
        XvfbServer x({{64, 48, c.depth}});
        ASSERT_EQ(x.run({"xsetroot", "-solid", "#c82a5a"}), 0);
        X11Screen screen(x.display());
        const ScreenPicture p = screen.acquire()->capturePrimaryScreen();
        EXPECT_EQ(p.width, 64);
        EXPECT_EQ(p.height, 48);
        ASSERT_EQ(p.rgb.size(), 64u * 48u * 3u);
        EXPECT_TRUE(allPixels(p, 0xc8, 0x2a, 0x5a, c.tolerance));
    }
}

TEST(ScreenCaptureTest, OnlyThePrimaryScreenFromItsTopLeftCorner) {
    // Two screens joined by Xinerama: the root window covers both, the picture only
    // the first (the primary one).
    XvfbServer x({{160, 100, 24}, {320, 240, 24}}, true);
    ASSERT_EQ(x.run({"xsetroot", "-solid", "#204080"}), 0);
    Display* d = XOpenDisplay(x.display().c_str());
    ASSERT_NE(d, nullptr);
    const int rootWidth = DisplayWidth(d, DefaultScreen(d));
    XCloseDisplay(d);
    ASSERT_GT(rootWidth, 160);
    const ScreenPicture p = X11Screen(x.display()).acquire()->capturePrimaryScreen();
    EXPECT_EQ(p.width, 160);
    EXPECT_EQ(p.height, 100);
    EXPECT_TRUE(allPixels(p, 0x20, 0x40, 0x80, 0));
}

TEST(ScreenCaptureTest, NoScreenIsAnErrorThatSaysWhy) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "Screenshot nicht möglich: kein Bildschirm (DISPLAY ist nicht gesetzt)"},
        // A local socket that does not exist; "unix/" keeps Xlib from trying TCP.
        {"unix/:65000", "Screenshot nicht möglich: der Bildschirm \"unix/:65000\" lässt sich nicht öffnen"},
    };
    for (const auto& [display, text] : cases) {
        X11Screen screen(display);
        EXPECT_EQ(test::errorOf([&] { screen.acquire(); }), text);
    }
}

struct ScreenShotOnXvfb : ::testing::Test {
    XvfbServer x{{{320, 200, 24}}};
    test::LogHarness h;
    FixedEnvironment env{{}, h.dir.path()};
    Settings settings = Settings::defaults(env);
    X11Screen screen{x.display()};
    ScreenShot shot{settings, env, screen, h.log};

    void SetUp() override { ASSERT_EQ(x.run({"xsetroot", "-solid", "#c82a5a"}), 0); }
    std::string take() {
        shot.take();
        return test::readFileBytes(settings.e_ss_file);
    }
};

TEST_F(ScreenShotOnXvfb, TheFileShowsTheScreen) {
    const auto colour = test::decodeJpeg(take());
    EXPECT_EQ(colour.width, 320);
    EXPECT_EQ(colour.height, 200);
    ASSERT_EQ(colour.components, 3);
    for (const auto& [px, py] : {std::pair{0, 0}, {319, 0}, {0, 199}, {319, 199}, {160, 100}}) {
        const auto rgb = colour.at(px, py);
        EXPECT_NEAR(rgb[0], 0xc8, 3) << px << "," << py;
        EXPECT_NEAR(rgb[1], 0x2a, 3) << px << "," << py;
        EXPECT_NEAR(rgb[2], 0x5a, 3) << px << "," << py;
    }

    settings.cb_ss_sw = true;
    const auto gray = test::decodeJpeg(take());
    EXPECT_EQ(gray.components, 1);
    EXPECT_EQ(gray.width, 320);
    EXPECT_NEAR(gray.at(10, 10)[0], 94, 2);   // 0.299 R + 0.587 G + 0.114 B
}

TEST_F(ScreenShotOnXvfb, QualityZeroAndOneGiveTheSameFile) {
    settings.se_ss_quali.text = "0";
    const std::string atZero = take();
    settings.se_ss_quali.text = "1";
    EXPECT_EQ(take(), atZero);
    settings.se_ss_quali.text = "80";
    EXPECT_NE(take(), atZero);
}

TEST_F(ScreenShotOnXvfb, TheDisplayIsReleasedWhenTheFileCannotBeCreated) {
    // Xvfb serves at most a few hundred clients at once: shots that kept their
    // connection would soon find the screen closed to them.
    settings.e_ss_file = h.dir.file("nicht/da.jpg");
    for (int i = 0; i < 300; ++i) {
        const std::string error = test::errorOf([&] { shot.take(); });
        ASSERT_EQ(error.rfind("Datei \"" + settings.e_ss_file + "\" kann nicht erstellt werden.", 0), 0u)
            << i << ": " << error;
    }
    settings.e_ss_file = h.dir.file("da.jpg");
    EXPECT_EQ(test::decodeJpeg(take()).width, 320);
}

}  // namespace
}  // namespace velora
