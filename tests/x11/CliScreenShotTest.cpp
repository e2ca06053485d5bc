// velora-cli run with the screen shot switched on and DISPLAY naming a private Xvfb:
// the picture is taken as the run's first step.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliCommands.h"
#include "platform/Registry.h"
#include "settings/SettingsStore.h"
#include "support/JpegDecoder.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"

namespace velora {
namespace {

TEST(CliScreenShotTest, RunTakesTheShotFirstOnTheDisplayDisplayNames) {
    test::XvfbServer x({{200, 150, 24}});
    ASSERT_EQ(x.run({"xsetroot", "-solid", "#308050"}), 0);
    test::TempDir home;
    test::ScopedEnv vars[] = {{"HOME", home.path().c_str()},
                              {"TEMP", home.path().c_str()},
                              {"temp", nullptr},
                              {"VELORA_REGISTRY", home.file("registry.sqlite3").c_str()},
                              {"DISPLAY", x.display().c_str()}};
    {
        Registry reg(home.file("registry.sqlite3"));
        auto key = reg.openKey(kSettingsKey);
        key.writeString("Log_Datei", home.file("cli.log"));
        key.writeInteger("Liste_row_count", 1);
        key.writeBool("T_SS_Activ", true);
        key.writeString("T_SS_FileName", home.file("shot.jpg"));
    }
    std::ostringstream out, err;
    EXPECT_EQ(cli::main({"run"}, out, err), cli::kOk) << err.str();
    const std::string log = out.str();
    const auto shot = log.find(" Speichere Screenshot -> " + home.file("shot.jpg") + "\n");
    ASSERT_NE(shot, std::string::npos) << log;
    EXPECT_GT(log.find(" Einlesen\n"), shot);
    const auto jpeg = test::decodeJpeg(test::readFileBytes(home.file("shot.jpg")));
    EXPECT_EQ(jpeg.width, 200);
    EXPECT_EQ(jpeg.height, 150);
    EXPECT_NEAR(jpeg.at(100, 75)[1], 0x80, 3);
}

}  // namespace
}  // namespace velora
