#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/CliCommands.h"
#include "filetable/FileTable.h"
#include "platform/Registry.h"
#include "settings/SettingsStore.h"
#include "support/SampleSystemInfo.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"

using namespace velora;

namespace {

// Each command runs on a fresh home, store and scratch folder, a clock that stands
// still and the German formats; the process environment is never touched.
struct CliFixture : ::testing::Test {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}, {"COMPUTERNAME", "CLIHOST"}, {"OS", "Linux"}}, home.path()};
    ManualClock clock;
    test::TestNetwork network;
    std::ostringstream out, err;
    int run(std::vector<std::string> args) {
        return cli::run(args, out, err,
                        {env, clock, Locale::german(), home.file("registry.sqlite3"), test::sampleSystemInfo(),
                         network.resolver, network.connector, network.icmpSockets});
    }

    // Writes a store with the given rows (Aktiv, TAG, Quelle) as a saved configuration.
    void storeRows(const std::vector<std::array<std::string, 3>>& rows) {
        Registry reg(home.file("registry.sqlite3"));
        auto key = reg.openKey(kSettingsKey);
        key.writeString("Log_Datei", home.file("cli.log"));
        key.writeInteger("Liste_row_count", static_cast<int>(rows.size()) + 1);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string r = std::to_string(i + 1);
            key.writeString("Liste_8_" + r, rows[i][0]);
            key.writeString("Liste_1_" + r, rows[i][1]);
            key.writeString("Liste_2_" + r, rows[i][2]);
            key.writeString("Liste_3_" + r, "remote" + r);
        }
    }
};

std::vector<std::string> splitLines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

}  // namespace

TEST_F(CliFixture, HelpNamesEveryCommandAndExitsZero) {
    // The entry on the system's services; help touches none of them.
    EXPECT_EQ(cli::main({"--help"}, out, err), 0);
    for (const char* word : {"prepare", "run", "help", "config", "rows", "calendar", "Exit code"})
        EXPECT_NE(out.str().find(word), std::string::npos) << word;
}

TEST_F(CliFixture, NoOrUnknownCommandIsAnErrorWithUsage) {
    EXPECT_EQ(run({}), cli::kFailed);
    EXPECT_EQ(run({"fly"}), cli::kFailed);
    EXPECT_NE(err.str().find("Unbekannter Befehl: fly"), std::string::npos);
    EXPECT_EQ(run({"run", "extra"}), cli::kFailed);
}

TEST_F(CliFixture, PreparePrintsHeaderAndOneTabSeparatedLinePerRow) {
    home.write("a.txt", "hello");
    storeRows({{"Ja", "No", home.file("a.txt")}, {"Ja", "No", home.file("missing.txt")}, {"No", "No", "x"}});
    ASSERT_EQ(run({"prepare"}), 0) << err.str();
    std::vector<std::string> table;
    for (const auto& l : splitLines(out.str()))
        if (std::count(l.begin(), l.end(), '\t') == 9) table.push_back(l);
    ASSERT_EQ(table.size(), 4u) << out.str();
    EXPECT_EQ(table[0], "Nr.\tAktiv\tTAG\tQuelle\tFTP Pfad\tFTP Name\tPS neu\tPS alt\tMSG\ttmp-Quelle");
    EXPECT_EQ(table[1].rfind("1\tJa\tNo\t" + home.file("a.txt") + "\t\tremote1\t", 0), 0u) << table[1];
    EXPECT_NE(table[1].find("\tNEU\t" + home.file("a.txt")), std::string::npos) << table[1];
    EXPECT_NE(table[2].find("\tNF\t"), std::string::npos) << table[2];
    EXPECT_NE(table[3].find("\tremote3\t?\t0\t?\t"), std::string::npos) << table[3];
    // Log lines reach standard output too.
    EXPECT_NE(out.str().find(" Einlesen\n"), std::string::npos);
}

TEST_F(CliFixture, PrepareEndedByAnErrorExitsNonZeroWithItsText) {
    storeRows({{"Ja", "Ja", home.file("a.txt")}});
    home.write("a.txt", "[SYS_DATE]");
    // The scratch folder cannot be made: its parent is a file.
    home.write("notafolder", "x");
    env.set("temp", home.file("notafolder"));
    EXPECT_EQ(run({"prepare"}), cli::kFailed);
    EXPECT_FALSE(err.str().empty());
}

TEST_F(CliFixture, StartUpErrorIsReportedOnStandardError) {
    home.write("registry.sqlite3", "garbage, not a store");
    EXPECT_EQ(run({"prepare"}), cli::kFailed);
    EXPECT_NE(err.str().find(home.file("registry.sqlite3")), std::string::npos) << err.str();
}

TEST_F(CliFixture, RunWithTheScreenShotButNoDisplayEndsBeforePreparingWithTheReason) {
    storeRows({{"Ja", "No", home.write("a.txt", "hello")}});
    {
        Registry reg(home.file("registry.sqlite3"));
        auto key = reg.openKey(kSettingsKey);
        key.writeBool("T_SS_Activ", true);
        key.writeString("T_SS_FileName", home.file("shot.jpg"));
    }
    EXPECT_EQ(run({"run"}), cli::kRunHadErrors);
    EXPECT_NE(err.str().find("Screenshot nicht möglich: kein Bildschirm (DISPLAY ist nicht gesetzt)\n"),
              std::string::npos)
        << err.str();
    EXPECT_NE(out.str().find(" Speichere Screenshot -> " + home.file("shot.jpg") + "\n"), std::string::npos);
    EXPECT_EQ(out.str().find(" Einlesen\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(home.file("shot.jpg")));
}

TEST(CliRowsTest, RowsNotExportedAreActiveRowsWithFailureMarks) {
    FileTable t;
    t.setRowCount(7);
    const char* marks[] = {"Send", "Error", "NF", "IOERROR", "NEU", "OK", "BUSY"};
    for (int r = 1; r <= 7; ++r) {
        t.setCell(Aktiv, r, "ja");
        t.setCell(Msg, r, marks[r - 1]);
    }
    EXPECT_EQ(cli::rowsNotExported(t).size(), 5u);
    t.setCell(Aktiv, 2, "No");
    EXPECT_EQ(cli::rowsNotExported(t).size(), 4u);
}
