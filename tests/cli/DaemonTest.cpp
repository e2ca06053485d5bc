// velora-cli daemon with a hand-moved clock and scripted signals: a tick at every whole
// second, interval runs, SIGHUP reloading the settings, SIGTERM ending as "Beenden",
// signals that arrive in the middle of a run or a store, and messages that become log
// lines.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/CliCommands.h"
#include "cli/Daemon.h"
#include "platform/Errors.h"
#include "platform/Registry.h"
#include "program/Program.h"
#include "schedule/RunState.h"
#include "settings/SettingsStore.h"
#include "support/FakeScreen.h"
#include "unit/ftp/FakeFtpServer.h"
#include "unit/ftp/SessionHarness.h"
#include "support/LogHarness.h"
#include "support/RecordingShell.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"

using namespace velora;

namespace {

// Each wait asks the script; without a signal the clock moves by the whole wait. The
// daemon waits between ticks (numbered 1, 2, ...) and looks without waiting at every
// pumped point (number 0).
struct ScriptedSignals final : SignalSource {
    ManualClock& clock;
    // (number of this wait or 0 for a look, its time-out) -> a signal, or nullopt.
    std::function<std::optional<ProcessSignal>(int, int)> script;
    int waits = 0;
    explicit ScriptedSignals(ManualClock& c) : clock(c) {}
    std::optional<ProcessSignal> wait(int timeoutMs) override {
        const int n = timeoutMs > 0 ? ++waits : 0;
        if (script)
            if (auto s = script(n, timeoutMs)) return s;
        clock.advanceMs(timeoutMs);
        return std::nullopt;
    }
};

// The fixture keeps every log line the daemon writes, without its stamp.
struct DaemonFixture : ::testing::Test, EventLog::Echo {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}, {"COMPUTERNAME", "WETTER"}, {"OS", "Linux"}}, home.path()};
    ManualClock clock{DateTime{2026, 12, 8, 14, 5, 9, 0, 3}};
    std::ostringstream err;
    cli::DaemonUiHost ui{err};
    std::string registryFile = home.file("registry.sqlite3");
    test::FakeScreen screen;
    test::RecordingShell shell;
    test::TestNetwork network;
    std::unique_ptr<Program> program;
    ScriptedSignals signals{clock};
    std::unique_ptr<cli::Daemon> daemon;
    std::vector<std::string> lines;

    // A saved configuration: interval mode every `interval` seconds, "Aktiv", no rows.
    void storeSettings(int interval) {
        Registry reg(registryFile);
        auto key = reg.openKey(kSettingsKey);
        key.writeString("Log_Datei", home.file("daemon.log"));
        key.writeBool("Autostart", true);
        key.writeBool("Modus_Intervall", true);
        key.writeInteger("Intervall", interval);
        key.writeInteger("Liste_row_count", 1);
    }
    void makeDaemon() {
        program = std::make_unique<Program>(Program::Services{env, clock, Locale::german(), ui, registryFile, {}, screen,
                                                              shell, network.resolver, network.connector,
                                                              network.icmpSockets});
        program->log().setEcho(this);
        daemon = std::make_unique<cli::Daemon>(*program, signals, clock, err);
        ui.attach(daemon.get());
    }
    void TearDown() override { ui.attach(nullptr); }

    // Waits (1-based) after which a run began.
    std::vector<int> runStarts;
    bool recordingRunStarts = false;
    void recordRunStarts() { recordingRunStarts = true; }

    void echoLine(const std::string& l) override {
        lines.push_back(test::withoutStamp(l));
        if (recordingRunStarts && lines.back() == "Modus -> Intervall") runStarts.push_back(signals.waits);
    }
};

TEST_F(DaemonFixture, TicksEverySecondReloadsOnHangupAndEndsOnTerminate) {
    storeSettings(10);
    makeDaemon();
    recordRunStarts();
    std::vector<int> timeouts;
    signals.script = [&](int n, int timeoutMs) -> std::optional<ProcessSignal> {
        if (n > 0) timeouts.push_back(timeoutMs);
        if (n == 0) return std::nullopt;
        if (n == 25) {
            Registry(registryFile).openKey(kSettingsKey).writeInteger("Intervall", 20);
            return ProcessSignal::Reload;
        }
        if (n == 50) return ProcessSignal::Terminate;
        return std::nullopt;
    };

    EXPECT_EQ(daemon->run(), cli::kOk);

    // Waits 1 to 24 are ticks; wait 25 is the reload (no tick); the 11th idle tick after
    // each start starts the next run: ticks 11 and 22, then with 20 seconds tick 43
    // (counted on from 2 at the reload), which is wait 44.
    EXPECT_EQ(runStarts, (std::vector<int>{11, 22, 44}));
    EXPECT_EQ(daemon->ticks(), 48);
    // The first wait reaches just past the next whole second, the others a second each.
    EXPECT_EQ(timeouts.at(0), 1005);
    EXPECT_EQ(timeouts.at(1), 1000);
    EXPECT_EQ(program->settings().se_interval.value(), 20);
    // Start-up loaded once, the hangup once more, each with the calendar.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Load Config"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Load Kalender"), 2);
    EXPECT_EQ(lines.back(), "Programm -> END");
    EXPECT_TRUE(Registry(registryFile).openKeyReadOnly(kSettingsKey).valueExists("Send_Files_7"));
}

// At the pumped points of a run a second passes each time: the ticks that come in
// between only count down; a signal that arrives there takes effect once the run is
// over: the end, or the reload.
TEST_F(DaemonFixture, SignalsDuringARunTakeEffectAfterIt) {
    for (const ProcessSignal signal : {ProcessSignal::Terminate, ProcessSignal::Reload}) {
        const bool terminate = signal == ProcessSignal::Terminate;
        SCOPED_TRACE(terminate ? "terminate" : "reload");
        lines.clear();
        storeSettings(10);
        makeDaemon();
        // Each new text of the countdown panel, as the window would paint it.
        struct Countdown : StatusDisplay::Listener {
            explicit Countdown(const StatusDisplay& status) : status(status) {}
            void statusChanged() override {
                const std::string& p6 = status.panels[6];
                if (!p6.empty() && (texts.empty() || texts.back() != p6)) texts.push_back(p6);
            }
            const StatusDisplay& status;
            std::vector<std::string> texts;
        } shown(program->status());
        program->status().setListener(&shown);
        const std::vector<std::string>& countdown = shown.texts;
        int pumped = 0;
        signals.script = [&](int, int timeoutMs) -> std::optional<ProcessSignal> {
            const bool working = program->runState().in_work;
            if (timeoutMs > 0) {
                // Between ticks: once a run has been, end the test's daemon.
                return pumped > 0 && !working ? std::optional(ProcessSignal::Terminate) : std::nullopt;
            }
            if (!working) return std::nullopt;
            ++pumped;
            clock.advanceMs(400);
            return pumped == 12 ? std::optional(signal) : std::nullopt;
        };
        EXPECT_EQ(daemon->run(), cli::kOk);
        const auto start = std::find(lines.begin(), lines.end(), std::string(58, '-') + " Transfer Start");
        ASSERT_NE(start, lines.end());
        const auto endLine = std::find(start, lines.end(), "Programm -> END");
        const auto load = std::find(start, lines.end(), "Load Config");
        const auto runEnd = std::find(start, lines.end(), "Timer (Procedure Start) --> Start");
        ASSERT_NE(endLine, lines.end());
        ASSERT_NE(runEnd, lines.end());
        ASSERT_GE(countdown.size(), 2u);
        EXPECT_EQ(countdown.front(), "Restart in 599 sec.");
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Modus -> Intervall"), 1);
        if (terminate) {
            EXPECT_LT(runEnd, endLine) << "the run ends before the program";
            EXPECT_EQ(load, lines.end());
        } else {
            ASSERT_NE(load, lines.end());
            EXPECT_LT(runEnd, load) << "the reload waits for the run's end";
        }
        EXPECT_TRUE(Registry(registryFile).openKeyReadOnly(kSettingsKey).valueExists("Send_Files_3"));
        ui.attach(nullptr);
    }
}

TEST_F(DaemonFixture, MessageBecomesALogLineAndAnErrorLine) {
    storeSettings(10);
    makeDaemon();
    signals.script = [&](int n, int) -> std::optional<ProcessSignal> {
        if (n == 1) ui.showMessage("Ping geht nicht mit Proxy.");
        return n == 2 ? std::optional(ProcessSignal::Terminate) : std::nullopt;
    };
    EXPECT_EQ(daemon->run(), cli::kOk);
    EXPECT_NE(err.str().find("Ping geht nicht mit Proxy.\n"), std::string::npos);
    EXPECT_TRUE(test::contains(lines, "Ping geht nicht mit Proxy."));
}

// A start-up that fails ends with its reason; an end asked for while it waited (for a
// store another program keeps locked) ends as "Beenden" does, never by the signal.
TEST_F(DaemonFixture, StartUpThatFailsEndsWithItsReason) {
    for (const bool terminated : {false, true}) {
        test::writeFileBytes(registryFile, "no store");
        makeDaemon();
        signals.script = [&](int, int) { return terminated ? std::optional(ProcessSignal::Terminate) : std::nullopt; };
        EXPECT_EQ(daemon->run(), terminated ? cli::kOk : cli::kFailed);
        EXPECT_NE(err.str().find(registryFile), std::string::npos) << err.str();
        EXPECT_EQ(signals.waits, 0);
        EXPECT_EQ(lines.back() == "Programm -> END", terminated);
    }
}

// SIGTERM while row 1 of 2 is stored: the store is counted when the server confirms it
// within the grace, or fails once the grace is used up; either way the pass is logged,
// row 2 never starts, the transfer copy goes and the end follows.
TEST_F(DaemonFixture, TerminateDuringAStoreLetsItFinishWithinTheGrace) {
    struct Case {
        std::size_t size;
        test::FakeAction receive;
        int msPerLook;   // the clock's step at each look once the end is asked for
        const char* rowState;
    } const cases[] = {{600 * 1024, test::receivePassive("150 go\r\n", "226 done\r\n"), 0, msg::kSend},
                       {1000, test::receivePassiveNeverReading("150 go\r\n"), 5000, msg::kError}};
    for (const Case& c : cases) {
        const bool sent = c.rowState == msg::kSend;
        SCOPED_TRACE(c.rowState);
        lines.clear();
        std::filesystem::remove(registryFile);
        std::filesystem::remove(home.file("transfer.csv"));
        storeSettings(10);
        auto key = Registry(registryFile).openKey(kSettingsKey);
        key.writeString("Login_Host", "127.0.0.1");
        key.writeString("Transfer_Log_Datei", home.file("transfer.csv"));
        key.writeInteger("Liste_row_count", 3);
        for (const std::string r : {"1", "2"}) {
            const std::array<std::pair<const char*, std::string>, 5> row = {
                {{"8", "Ja"}, {"1", "No"}, {"2", home.write("file" + r, test::patterned(c.size))}, {"7", "/"},
                 {"3", "remote" + r}}};
            for (const auto& [code, value] : row) key.writeString("Liste_" + std::string(code) + "_" + r, value);
        }
        key.close();
        test::FakeFtpServer server(test::withLogin({{"CWD", test::send("250 ok\r\n")},
                                                    {"PASV", test::pasv("227 Entering Passive Mode (%s)\r\n")},
                                                    {"STOR", c.receive}}));
        makeDaemon();
        program->ftp().setServerPort(server.port());
        bool asked = false;
        signals.script = [&](int, int timeoutMs) -> std::optional<ProcessSignal> {
            if (timeoutMs > 0 || !test::containsStartOf(lines, "Status --> Size : ")) return std::nullopt;
            if (asked) clock.advanceMs(c.msPerLook);
            return asked ? std::nullopt : (asked = true, std::optional(ProcessSignal::Terminate));
        };

        EXPECT_EQ(daemon->run(), cli::kOk);
        EXPECT_EQ(program->files().cell(Msg, 1), c.rowState);
        EXPECT_EQ(program->files().cell(Msg, 2), msg::kNeu);
        EXPECT_FALSE(test::contains(lines, "Zeile : 2 ist NEU"));
        EXPECT_TRUE(test::contains(lines, sent ? "akt.anzahl -> 1" : "akt.anzahl -> 0"));
        EXPECT_NE(sent, test::contains(lines, "FTP_PUT_SENDE ERROR: Exception: Übertragung abgebrochen nach 1000 "
                                              "von 1000 Bytes: Programmende"));
        EXPECT_EQ(lines.back(), "Programm -> END");
        const std::string transferLog = test::readFileBytes(home.file("transfer.csv"));
        EXPECT_EQ(std::count(transferLog.begin(), transferLog.end(), '\n'), 2) << transferLog;
        EXPECT_FALSE(std::filesystem::exists(program->tempFolder().transferCopyPath()));
        EXPECT_EQ(Registry(registryFile).openKeyReadOnly(kSettingsKey).readInteger("Send_Files_ges"), sent ? 1 : 0);
        server.finish();
        EXPECT_EQ(server.data().size(), sent ? c.size : 0u);
    }
}

}  // namespace

namespace {

// "Load Config" on SIGHUP sets every "PS alt" to "0"; the daemon gives back what the
// rows that did not change had sent, so the next run does not send them again.
TEST_F(DaemonFixture, AReloadKeepsWhatUnchangedRowsSent) {
    storeSettings(3601);
    {
        auto key = Registry(registryFile).openKey(kSettingsKey);
        key.writeInteger("Liste_row_count", 4);
        for (const std::string r : {"1", "2", "3"}) {
            key.writeString("Liste_8_" + r, "Ja");
            key.writeString("Liste_1_" + r, "No");
            key.writeString("Liste_2_" + r, home.file("source" + r));
            key.writeString("Liste_7_" + r, "/");
            key.writeString("Liste_3_" + r, "remote" + r);
        }
    }
    makeDaemon();
    signals.script = [&](int n, int timeoutMs) -> std::optional<ProcessSignal> {
        if (timeoutMs == 0) return std::nullopt;
        if (n == 2) {
            // As if a run had sent rows 1 and 2; row 3 was never sent.
            program->files().setCell(PsAlt, 1, "111");
            program->files().setCell(PsAlt, 2, "222");
            Registry(registryFile).openKey(kSettingsKey).writeString("Liste_3_2", "renamed");
            return ProcessSignal::Reload;
        }
        return n == 4 ? std::optional(ProcessSignal::Terminate) : std::nullopt;
    };
    EXPECT_EQ(daemon->run(), cli::kOk);
    EXPECT_EQ(program->files().cell(FtpName, 2), "renamed");
    EXPECT_EQ(program->files().cell(PsAlt, 1), "111");
    EXPECT_EQ(program->files().cell(PsAlt, 2), kNotSent);
    EXPECT_EQ(program->files().cell(PsAlt, 3), kNotSent);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Load Config"), 2);
}

}  // namespace
