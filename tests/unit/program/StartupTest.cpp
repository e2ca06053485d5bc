#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "program/Program.h"
#include "support/ErrorOf.h"
#include "support/FakeScreen.h"
#include "support/LogHarness.h"
#include "support/QuietUiHost.h"
#include "support/RecordingShell.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"

using namespace velora;
using velora::test::readFileBytes;
using velora::test::textsOf;

namespace {

struct StartupFixture : ::testing::Test {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}, {"COMPUTERNAME", "WETTER PC"}, {"OS", "Linux"}}, home.path()};
    ManualClock clock{DateTime{2026, 12, 8, 14, 5, 9, 0, 3}};
    test::QuietUiHost ui;
    test::FakeScreen screen;
    test::RecordingShell shell;
    test::TestNetwork network;
    std::string registryFile = home.file("registry.sqlite3");

    std::unique_ptr<Program> makeProgram() {
        return std::make_unique<Program>(
            Program::Services{env, clock, Locale::german(), ui, registryFile, {}, screen, shell, network.resolver,
                              network.connector, network.icmpSockets});
    }
};

}  // namespace

TEST_F(StartupFixture, FirstStartLogsItsStepsInOrderAndSwitchesTheTimerOn) {
    auto p = makeProgram();
    p->FormCreate();
    EXPECT_TRUE(p->timerEnabled());
    EXPECT_EQ(textsOf(p->Memo1()), (std::vector<std::string>{
                                     "Programm -> RUN",
                                     "Save Config ",
                                     "Load Config",
                                     "Save Kalender",
                                     "Load Kalender",
                                     "Nx_Temp -> " + home.path() + "/velora-" + std::to_string(::geteuid()) +
                                         " = neu Erstellt",
                                     "ClientName -> WETTER",
                                     "PlatformDescription -> Linux",
                                     "ClientVersion -> VELORA",
                                 }));
    EXPECT_EQ(p->identity().identificationString(), "WETTER VELORA Linux");
    EXPECT_EQ(p->currentWeekday(), 3);
    // The built-in log file is in the home folder and got every line.
    const std::string file = readFileBytes(home.file("VELORA.Log"));
    EXPECT_EQ(file.rfind("08.12.2026 14:05:09 Programm -> RUN\r\n", 0), 0u);
    EXPECT_NE(file.find("ClientVersion -> VELORA\r\n"), std::string::npos);
}

TEST_F(StartupFixture, FirstStartStoresAndLoadsBackTheSampleRows) {
    auto p = makeProgram();
    p->FormCreate();
    EXPECT_TRUE(p->registry().keyExists(kSettingsKey));
    ASSERT_EQ(p->files().rowCount(), 5);
    EXPECT_EQ(p->files().cell(Quelle, 4), "[_CAM_1_LAST_FOTO_NAME]");
    EXPECT_EQ(p->files().cell(Msg, 1), "");  // "No" before the load, empty after it
    EXPECT_EQ(p->files().cell(PsAlt, 5), "0");
}

TEST_F(StartupFixture, RunLineGoesToTheDefaultFileAndTheRestToTheConfiguredOne) {
    {
        auto p = makeProgram();
        p->FormCreate();
        p->settings().E_logfile = home.file("elsewhere.log");
        p->SaveConfig1Click();
    }
    const std::string defaultFile = home.file("VELORA.Log");
    const std::size_t before = readFileBytes(defaultFile).size();
    const std::size_t configuredBefore = readFileBytes(home.file("elsewhere.log")).size();
    auto p = makeProgram();
    p->FormCreate();
    const std::string defaultTail = readFileBytes(defaultFile).substr(before);
    EXPECT_EQ(defaultTail, "08.12.2026 14:05:09 Programm -> RUN\r\n");
    const std::string configured = readFileBytes(home.file("elsewhere.log")).substr(configuredBefore);
    EXPECT_EQ(configured.find("Programm -> RUN"), std::string::npos);
    EXPECT_EQ(configured.rfind("08.12.2026 14:05:09 Load Config\r\n", 0), 0u);
}

TEST_F(StartupFixture, StoreThatIsNoDatabaseStopsStartUpAndStaysUntouched) {
    const std::string garbage = "this is not a settings store\n\x01\x02\x03";
    test::writeFileBytes(registryFile, garbage);
    auto p = makeProgram();
    const std::string error = test::errorOf<RegistryError>([&] { p->FormCreate(); });
    EXPECT_NE(error.find(registryFile), std::string::npos) << error;
    EXPECT_FALSE(p->timerEnabled());
    EXPECT_EQ(readFileBytes(registryFile), garbage);
    // Steps before the failing one ran; the sample rows are still shown.
    EXPECT_EQ(textsOf(p->Memo1()).front(), "Programm -> RUN");
    EXPECT_EQ(p->files().rowCount(), 5);
}

// A home folder that is full or gone must not leave the scheduler off for good.
TEST_F(StartupFixture, LogFileThatCannotBeWrittenNeverStopsStartUp) {
    env = FixedEnvironment{{{"temp", home.path()}}, home.file("no/such/home")};
    auto p = makeProgram();
    EXPECT_NO_THROW(p->FormCreate());
    EXPECT_TRUE(p->timerEnabled());
    EXPECT_TRUE(p->registry().keyExists(kSettingsKey));
    const auto texts = textsOf(p->Memo1());
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.find("kann nicht geschrieben werden") != std::string::npos; }),
              1);
}

TEST_F(StartupFixture, EndLogsAndSavesTheRunCounters) {
    auto p = makeProgram();
    p->FormCreate();
    p->counters().Send_Files_ges = 17;
    p->counters().filesPerWeekday[3] = 4;
    p->Beenden1Click();
    EXPECT_EQ(textsOf(p->Memo1()).back(), "Programm -> END");
    auto key = p->registry().openKeyReadOnly(kSettingsKey);
    EXPECT_EQ(key.readInteger("Send_Files_ges"), 17);
    EXPECT_EQ(key.readInteger("Send_Files_3"), 4);
}

TEST_F(StartupFixture, MissingEnvironmentGivesEmptyIdentity) {
    env = FixedEnvironment{{{"temp", home.path()}}, home.path()};
    auto p = makeProgram();
    p->FormCreate();
    const auto t = textsOf(p->Memo1());
    EXPECT_NE(std::find(t.begin(), t.end(), "ClientName -> "), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), "PlatformDescription -> "), t.end());
}

TEST_F(StartupFixture, EndSavesTheCountersEvenWhenTheLogCannotBeWritten) {
    auto p = makeProgram();
    p->FormCreate();
    p->counters().Send_Bytes_ges = 4096;
    p->settings().E_logfile = home.file("missing/VELORA.Log");
    EXPECT_NO_THROW(p->Beenden1Click());
    EXPECT_EQ(textsOf(p->Memo1()).at(textsOf(p->Memo1()).size() - 2), "Programm -> END");
    auto key = p->registry().openKeyReadOnly(kSettingsKey);
    EXPECT_EQ(key.readQword("Send_Bytes_ges"), 4096u);
}

// The program's log takes both passwords from the settings, as they are at each line.
TEST_F(StartupFixture, BothPasswordsOfTheSettingsAreMaskedInTheLog) {
    auto p = makeProgram();
    p->FormCreate();
    p->settings().ME_pwd_ziel = "ftp-geheim";
    p->settings().ME_Pasword = "proxy-geheim";
    p->log().write("530 PASS ftp-geheim / proxy-geheim");
    EXPECT_NE(readFileBytes(home.file("VELORA.Log")).find(" 530 PASS ******** / ********\r\n"), std::string::npos);
}
