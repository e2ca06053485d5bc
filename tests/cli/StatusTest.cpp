// velora-cli status from a store, a run record and a process id file the test prepares:
// the health states and their exit codes, and the document for scripts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "cli/AdminStore.h"
#include "cli/CliCommands.h"
#include "cli/DaemonPidFile.h"
#include "cli/PlannedRuns.h"
#include "cli/RunRecord.h"
#include "platform/Registry.h"
#include "settings/SettingsStore.h"
#include "support/SampleSystemInfo.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"

using namespace velora;

namespace {

enum class Daemon { Running, Stale, Absent };

struct StatusFixture : ::testing::Test {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}}, home.path()};
    // Tuesday 8 December 2026, 14:05:09.
    ManualClock clock{DateTime{2026, 12, 8, 14, 5, 9, 0, 3}};
    std::string store = home.file("registry.sqlite3");
    test::TestNetwork network;
    std::ostringstream out;
    std::ostringstream err;
    std::unique_ptr<cli::DaemonPidFile> pidFile;

    int status(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return cli::run(args, out, err,
                        {env, clock, Locale::german(), store, test::sampleSystemInfo(), network.resolver,
                         network.connector, network.icmpSockets});
    }
    // Interval mode every 60 s: three planned runs are 183 s.
    void storeSettings() {
        Registry reg(store);
        auto key = reg.openKey(kSettingsKey);
        key.writeBool("Autostart", true);
        key.writeBool("Modus_Intervall", true);
        key.writeInteger("Intervall", 60);
    }
    // Rows last stored this many seconds ago (-1: never).
    void storeRecord(const std::vector<int>& agesSeconds) {
        cli::RunRecord record;
        const std::int64_t now = cli::civilSeconds(clock.now());
        record.started = record.finished = cli::stampText(cli::civilTime(now - 30));
        record.outcome = "done";
        for (int age : agesSeconds) {
            const int row = static_cast<int>(record.rows.size()) + 1;
            const std::string n = std::to_string(row);
            const bool current = age >= 0 && age < 60;
            record.rows.push_back({row, "/data/cam" + n + ".jpg", "/webcam/cam" + n + ".jpg",
                                   current ? "OK" : "Error", -1,
                                   age >= 0 ? cli::stampText(cli::civilTime(now - age)) : "", !current});
        }
        Registry reg(store);
        cli::writeRunRecord(reg, record);
    }
    void daemon(Daemon d) {
        Registry reg(store);
        std::ostringstream quiet;
        const std::string folder = cli::scratchFolder({env, clock, Locale::german(), reg, quiet, quiet});
        // The daemon's start-up makes the folder; here the test does.
        std::filesystem::create_directories(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        if (d == Daemon::Running) pidFile = std::make_unique<cli::DaemonPidFile>(folder);
        if (d == Daemon::Stale) test::writeFileBytes(folder + "/" + cli::kDaemonPidFileName, "4242\n");
    }
};

}  // namespace

TEST_F(StatusFixture, CheckGivesTheMonitoringStateOfStoreRecordAndDaemon) {
    struct Case {
        const char* what;
        std::vector<int> ages;   // empty: no record at all
        Daemon daemon;
        std::vector<std::string> extra;
        int code;
        const char* line;        // how the one line begins
    };
    const Case cases[] = {
        {"fresh", {5, 40}, Daemon::Running, {}, 0, "VELORA OK: 2 active rows stored within 3 m 3 s"},
        {"one late", {5, 3600}, Daemon::Running, {}, 1, "VELORA WARNING: 1 of 2 active rows not stored"},
        {"one never stored", {5, -1}, Daemon::Running, {}, 1, "VELORA WARNING: 1 of 2"},
        {"late within a longer limit", {5, 3600}, Daemon::Running, {"--max-age", "2h"}, 0, "VELORA OK"},
        {"fresh beyond a shorter limit", {5, 40}, Daemon::Running, {"--max-age", "20s"}, 1, "VELORA WARNING"},
        {"failing", {600, 3600}, Daemon::Running, {}, 2, "VELORA CRITICAL: no successful run within"},
        {"no run yet", {}, Daemon::Running, {}, 2, "VELORA CRITICAL: no run recorded yet"},
        {"daemon died", {5, 40}, Daemon::Stale, {}, 2, "VELORA CRITICAL: daemon not running (it died"},
        {"daemon never ran", {5, 40}, Daemon::Absent, {}, 2, "VELORA CRITICAL: daemon not running"},
        {"bad limit", {5, 40}, Daemon::Running, {"--max-age", "soon"}, 3, "VELORA UNKNOWN: --max-age"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        env = FixedEnvironment{{{"temp", dir.path()}}, dir.path()};
        store = dir.file("registry.sqlite3");
        storeSettings();
        if (!c.ages.empty()) storeRecord(c.ages);
        daemon(c.daemon);
        std::vector<std::string> args{"status", "--check"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(status(args), c.code) << out.str();
        // One line, beginning as the case says.
        EXPECT_EQ(out.str().rfind(c.line, 0), 0u) << out.str();
        EXPECT_EQ(out.str().find('\n'), out.str().size() - 1) << out.str();
        pidFile.reset();
    }
}

// A store that is missing, not a store, or holds a record nobody can read: state 3, and
// looking creates nothing.
TEST_F(StatusFixture, UnreadableStateIsUnknownAndLeavesNothingBehind) {
    EXPECT_EQ(status({"status", "--check"}), 3);
    EXPECT_NE(out.str().find("does not exist"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(store));
    EXPECT_EQ(status({"status"}), cli::kFailed);

    test::writeFileBytes(store, "not a database, just text that is long enough to be read as a header......");
    EXPECT_EQ(status({"status", "--check"}), 3);
    EXPECT_EQ(test::readFileBytes(store).rfind("not a database", 0), 0u);

    std::filesystem::remove(store);
    storeSettings();
    Registry(store).openKey(cli::kRunRecordKey).writeString(cli::kRunRecordValue, "{\"version\": 1, \"rows\": 7}");
    daemon(Daemon::Running);
    EXPECT_EQ(status({"status", "--check"}), 3);
    EXPECT_NE(out.str().find("cannot be read"), std::string::npos);
}

TEST_F(StatusFixture, JsonCarriesFormatVersionScheduleRowsAndLateRows) {
    storeSettings();
    storeRecord({5, 3600});
    daemon(Daemon::Running);
    ASSERT_EQ(status({"status", "--json"}), 0) << err.str();
    const auto doc = nlohmann::json::parse(out.str());
    EXPECT_EQ(doc["format_version"], 1);
    EXPECT_EQ(doc["daemon"]["running"], true);
    EXPECT_EQ(doc["daemon"]["pid"], static_cast<long>(::getpid()));
    EXPECT_EQ(doc["schedule"]["mode"], "interval");
    // The last run ended at 14:04:39; the 61st idle second after it is 14:05:40.
    EXPECT_EQ(doc["schedule"]["next_run"], "2026-12-08 14:05:40");
    EXPECT_EQ(doc["last_run"]["started"], "2026-12-08 14:04:39");
    ASSERT_EQ(doc["rows"].size(), 2u);
    EXPECT_EQ(doc["rows"][0]["last_stored"], "2026-12-08 14:05:04");
    EXPECT_EQ(doc["rows"][1]["mark"], "Error");
    EXPECT_EQ(doc["late_rows"], nlohmann::json::array({2}));
    EXPECT_EQ(doc["health"]["code"], 1);
}
