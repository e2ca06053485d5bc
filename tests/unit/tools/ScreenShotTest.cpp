// The screen shot from a picture the test chose to the JPEG file on disk, read back
// with libjpeg: what the file shows, how the quality and "Grayscale" act, the one log
// line, and the errors that leave it with the screen released.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "support/ErrorOf.h"
#include "support/FakeScreen.h"
#include "support/JpegDecoder.h"
#include "support/LogHarness.h"
#include "tools/ScreenShot.h"

namespace velora {
namespace {

using test::decodeJpeg;
using test::readFileBytes;

// 16 x 16 pixels: red top left, green top right, blue bottom left, white bottom right,
// so a picture upside down, mirrored or with red and blue swapped shows it.
ScreenPicture quarters() {
    ScreenPicture p;
    p.width = 16;
    p.height = 16;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool right = x >= 8;
            const bool bottom = y >= 8;
            if (!bottom && !right) p.rgb.insert(p.rgb.end(), {255, 0, 0});
            if (!bottom && right) p.rgb.insert(p.rgb.end(), {0, 255, 0});
            if (bottom && !right) p.rgb.insert(p.rgb.end(), {0, 0, 255});
            if (bottom && right) p.rgb.insert(p.rgb.end(), {255, 255, 255});
        }
    }
    return p;
}

void expectNear(const std::array<int, 3>& got, const std::array<int, 3>& want, int tolerance, const char* where) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << where << " channel " << i;
}

struct ScreenShotFixture : ::testing::Test {
    test::LogHarness h;
    FixedEnvironment env{{}, h.dir.path()};
    Settings settings = Settings::defaults(env);
    test::FakeScreen screen;
    ScreenShot shot{settings, env, screen, h.log};

    test::DecodedJpeg takeAndRead() {
        shot.take();
        return decodeJpeg(readFileBytes(settings.e_ss_file));
    }
};

TEST_F(ScreenShotFixture, FileShowsThePictureUprightInTrueColours) {
    screen.picture = quarters();
    settings.se_ss_quali.text = "100";
    const auto jpeg = takeAndRead();
    ASSERT_EQ(jpeg.width, 16);
    ASSERT_EQ(jpeg.height, 16);
    EXPECT_EQ(jpeg.components, 3);
    // The centre of each quarter, away from the edges the 2x2 colour sampling blurs.
    expectNear(jpeg.at(3, 3), {255, 0, 0}, 6, "top left");
    expectNear(jpeg.at(12, 3), {0, 255, 0}, 6, "top right");
    expectNear(jpeg.at(3, 12), {0, 0, 255}, 6, "bottom left");
    expectNear(jpeg.at(12, 12), {255, 255, 255}, 6, "bottom right");
}

TEST_F(ScreenShotFixture, QualityScalesTheStandardTablesOfABaselineFile) {
    // libjpeg's standard luminance table starts with 16; the quality scales it by
    // 5000/q percent below 50 and by 200-2q percent from 50, kept within 1..255.
    struct Case {
        std::string field;
        bool gray;
        int firstQuant;
        int components;
    };
    const Case cases[] = {
        {"0", false, 255, 3},   {"1", false, 255, 3}, {"25", false, 32, 3}, {"50", false, 16, 3},
        {"80", false, 6, 3},    {"100", false, 1, 3}, {"80", true, 6, 1},   {"abc", true, 255, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("quality \"" + c.field + "\"" + (c.gray ? " gray" : ""));
        settings.se_ss_quali.text = c.field;
        settings.cb_ss_sw = c.gray;
        const auto jpeg = takeAndRead();
        EXPECT_EQ(jpeg.firstLumaQuant, c.firstQuant);
        EXPECT_EQ(jpeg.components, c.components);
        EXPECT_FALSE(jpeg.progressive);
    }
}

TEST_F(ScreenShotFixture, LogsOneLineBeforeTheCaptureThenReadsTheTargetAgainAndOverwritesIt) {
    settings.e_ss_file = "alt.jpg";
    test::writeFileBytes(h.dir.file("Bilder.jpg"), "old picture");
    int acquiredWhenLogged = -1;
    // The log line lets window events run; an edit made meanwhile names the file,
    // a relative name is taken in the home folder.
    h.ui.onPump = [&] {
        acquiredWhenLogged = screen.acquired;
        settings.e_ss_file = "Bilder.jpg";
    };
    shot.take();
    EXPECT_EQ(h.lines, std::vector<std::string>{"Speichere Screenshot -> alt.jpg"});
    EXPECT_EQ(acquiredWhenLogged, 0);
    EXPECT_FALSE(fileio::exists(h.dir.file("alt.jpg")));
    EXPECT_EQ(decodeJpeg(readFileBytes(h.dir.file("Bilder.jpg"))).width, 8);
    EXPECT_EQ(screen.released, 1);
}

TEST_F(ScreenShotFixture, FailuresComeAfterTheLogLineWithTheScreenReleased) {
    test::writeFileBytes(h.dir.file("keep.jpg"), "old picture");
    ::mkdir(h.dir.file("folder.jpg").c_str(), 0755);
    struct Case {
        std::string target;
        std::string refusal;   // the screen's
        std::string error;
        int acquired;
    };
    const std::string missing = h.dir.file("nicht/da/shot.jpg");
    const std::string folder = h.dir.file("folder.jpg");
    const Case cases[] = {
        {missing, "",
         "Datei \"" + missing + "\" kann nicht erstellt werden. Das System kann den angegebenen Pfad nicht finden", 1},
        {folder, "", "Datei \"" + folder + "\" kann nicht erstellt werden. Dateizugriff verweigert", 1},
        {h.dir.file("keep.jpg"), "Screenshot nicht möglich: kein Bildschirm (DISPLAY ist nicht gesetzt)",
         "Screenshot nicht möglich: kein Bildschirm (DISPLAY ist nicht gesetzt)", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        h.lines.clear();
        screen.acquired = screen.released = 0;
        screen.refusal = c.refusal;
        settings.e_ss_file = c.target;
        EXPECT_EQ(test::errorOf([&] { shot.take(); }), c.error);
        EXPECT_EQ(h.lines, std::vector<std::string>{"Speichere Screenshot -> " + c.target});
        EXPECT_EQ(screen.acquired, c.acquired);
        EXPECT_EQ(screen.released, c.acquired);
    }
    EXPECT_FALSE(fileio::exists(h.dir.file("nicht")));
    EXPECT_TRUE(fileio::isDirectory(folder));
    EXPECT_EQ(readFileBytes(h.dir.file("keep.jpg")), "old picture");
    // No half-written file is left beside any target.
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    for (const auto& entry : std::filesystem::directory_iterator(h.dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".~"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace velora
