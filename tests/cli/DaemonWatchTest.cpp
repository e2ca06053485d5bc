// The daemon as a service manager and velora-cli status see it: the notify messages on
// a socket the test makes (ready after start-up, a ping from each tick and from nothing
// else, the end), and the process id file that tells a running daemon from a dead one.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "cli/CliCommands.h"
#include "cli/Daemon.h"
#include "cli/DaemonPidFile.h"
#include "cli/FailureHook.h"
#include "cli/RunAftermath.h"
#include "cli/ServiceWatch.h"
#include "platform/Registry.h"
#include "program/Program.h"
#include "settings/SettingsStore.h"
#include "support/FakeScreen.h"
#include "support/LogHarness.h"
#include "support/RecordingShell.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"

using namespace velora;

namespace {

struct ScriptedSignals final : SignalSource {
    ManualClock& clock;
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

// The service manager's end of the notify socket; the test reads it without waiting.
struct ManagerSocket {
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    explicit ManagerSocket(const std::string& path) {
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot bind " + path);
    }
    ~ManagerSocket() { ::close(fd); }
    void drainInto(std::vector<std::string>& out) {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
            out.emplace_back(buffer, static_cast<std::size_t>(n));
    }
};

// What watches the daemon, put together as velora-cli daemon does it.
struct Watch {
    ServiceNotifier notifier;
    cli::FailureHook hook;
    cli::RunAftermath aftermath;
    cli::ServiceWatch watch;
    Watch(Program& p, const Clock& clock, const std::string& socket, std::vector<std::string> hookEnvironment)
        : notifier(socket), hook(p.log(), std::move(hookEnvironment)), aftermath(p, clock, hook),
          watch(notifier, p, clock, aftermath) {}
};

struct DaemonWatchFixture : ::testing::Test, EventLog::Echo {
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
    std::vector<std::string> lines;

    void storeSettings(int interval) {
        Registry reg(registryFile);
        auto key = reg.openKey(kSettingsKey);
        key.writeString("Log_Datei", home.file("daemon.log"));
        key.writeBool("Autostart", true);
        key.writeBool("Modus_Intervall", true);
        key.writeInteger("Intervall", interval);
        key.writeInteger("Liste_row_count", 1);
    }
    std::unique_ptr<cli::Daemon> started;
    std::unique_ptr<Watch> watched;   // after the daemon: ends before it

    void makeProgram() {
        program = std::make_unique<Program>(Program::Services{env, clock, Locale::german(), ui, registryFile, {}, screen,
                                                              shell, network.resolver, network.connector,
                                                              network.icmpSockets});
        program->log().setEcho(this);
    }
    cli::Daemon& startDaemon(const std::string& socket, std::vector<std::string> hookEnvironment = {}) {
        makeProgram();
        started = std::make_unique<cli::Daemon>(*program, signals, clock, err);
        watched = std::make_unique<Watch>(*program, clock, socket, std::move(hookEnvironment));
        started->setObserver(&watched->watch);
        ui.attach(started.get());
        return *started;
    }
    void echoLine(const std::string& l) override { lines.push_back(test::withoutStamp(l)); }
    void TearDown() override { ui.attach(nullptr); }
};

std::size_t countStartingWith(const std::vector<std::string>& items, const std::string& prefix) {
    return static_cast<std::size_t>(
        std::count_if(items.begin(), items.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
}

}  // namespace

// Ready once the start-up is over, with the next run; a ping from every tick, and none
// for the minute the process spends stuck in a wait (the clock jumps, no tick runs);
// the status follows the schedule; the end says so last.
TEST_F(DaemonWatchFixture, ReadyThenOnePingPerTickAndNoneWhileStuckThenStopping) {
    ManagerSocket manager(home.file("notify"));
    storeSettings(10);
    cli::Daemon& daemon = startDaemon(home.file("notify"));
    // The socket queues few datagrams: the test reads them at every wait, as a manager would.
    std::vector<std::string> received;
    std::vector<std::string> beforeStuck;
    long ticksBeforeStuck = 0;
    cli::DaemonProbe whileRunning;
    signals.script = [&](int n, int) -> std::optional<ProcessSignal> {
        manager.drainInto(received);
        if (n == 3) whileRunning = cli::probeDaemon(program->tempFolder().path());
        if (n == 5) {
            beforeStuck.swap(received);
            ticksBeforeStuck = daemon.ticks();
            clock.advanceMs(60000);
        }
        return n == 30 ? std::optional(ProcessSignal::Terminate) : std::nullopt;
    };
    EXPECT_EQ(daemon.run(), cli::kOk);
    std::vector<std::string> after = received;
    manager.drainInto(after);

    ASSERT_FALSE(beforeStuck.empty());
    // Started at 14:05:09, the 11th idle second starts the first run.
    EXPECT_EQ(beforeStuck.front(), "READY=1\nSTATUS=next run 14:05");
    EXPECT_EQ(countStartingWith(beforeStuck, "WATCHDOG=1"), static_cast<std::size_t>(ticksBeforeStuck));
    ASSERT_FALSE(after.empty());
    // The tick after the stuck minute pings once; then every tick again.
    EXPECT_EQ(countStartingWith(after, "WATCHDOG=1"), static_cast<std::size_t>(daemon.ticks() - ticksBeforeStuck));
    EXPECT_EQ(after.back(), "STOPPING=1\nSTATUS=stopping");
    // After a run at 14:06:21 (the jump) the next one is planned for the following minute.
    EXPECT_GT(countStartingWith(after, "WATCHDOG=1\nSTATUS=next run 14:06"), 0u);

    EXPECT_EQ(whileRunning.state, cli::DaemonProbe::Running);
    EXPECT_EQ(whileRunning.pid, static_cast<long>(::getpid()));
    EXPECT_EQ(cli::probeDaemon(program->tempFolder().path()).state, cli::DaemonProbe::NotRunning);
}

// A process id file nobody holds is left from a daemon that died; one held is a
// running daemon, and a second daemon cannot take it.
TEST(DaemonPidFile, TellsRunningStaleAndAbsentApart) {
    test::TempDir dir;
    EXPECT_EQ(cli::probeDaemon(dir.path()).state, cli::DaemonProbe::NotRunning);
    test::writeFileBytes(dir.file(cli::kDaemonPidFileName), "4242\n");
    const cli::DaemonProbe stale = cli::probeDaemon(dir.path());
    EXPECT_EQ(stale.state, cli::DaemonProbe::Stale);
    EXPECT_EQ(stale.pid, 4242);
    {
        cli::DaemonPidFile held(dir.path());
        ASSERT_TRUE(held.held()) << held.error();
        const cli::DaemonProbe running = cli::probeDaemon(dir.path());
        EXPECT_EQ(running.state, cli::DaemonProbe::Running);
        EXPECT_EQ(running.pid, static_cast<long>(::getpid()));
        cli::DaemonPidFile second(dir.path());
        EXPECT_FALSE(second.held());
        EXPECT_NE(second.error().find("another daemon"), std::string::npos);
    }
    EXPECT_EQ(cli::probeDaemon(dir.path()).state, cli::DaemonProbe::NotRunning);
}

// Through the daemon: every run leaves its record; the hook fires when the rows begin
// to fail (the server's name is unknown) and not again while they go on failing, then
// once more when no active row fails any longer (the row was switched off and the
// settings reloaded).
TEST_F(DaemonWatchFixture, RunsLeaveTheirRecordAndTheHookFiresOnTheChangesOnly) {
    storeSettings(10);
    const std::string fired = home.file("fired.txt");
    {
        Registry reg(registryFile);
        auto key = reg.openKey(kSettingsKey);
        key.writeString("Login_Host", "ftp.unknown.test");
        key.writeInteger("Liste_row_count", 2);
        key.writeString("Liste_8_1", "Ja");
        key.writeString("Liste_1_1", "Nein");
        key.writeString("Liste_2_1", home.write("cam.jpg", "jpeg bytes"));
        key.writeString("Liste_7_1", "/webcam");
        key.writeString("Liste_3_1", "cam.jpg");
        key.writeString("On_Error_Command", "/usr/bin/python3 -I -c \"import os; open('" + fired +
                                                "', 'a').write(os.environ['VELORA_STATE'] + ' ' + "
                                                "os.environ['VELORA_ROWS_FAILED'] + chr(10))\"");
    }
    cli::Daemon& daemon = startDaemon("", {"PATH=/usr/bin:/bin"});
    std::optional<cli::RunRecord> whileFailing;
    signals.script = [&](int n, int) -> std::optional<ProcessSignal> {
        if (n == 40) {
            Registry reg(registryFile);
            whileFailing = cli::readRunRecord(reg);
            reg.openKey(kSettingsKey).writeString("Liste_8_1", "Nein");
            return ProcessSignal::Reload;
        }
        return n == 60 ? std::optional(ProcessSignal::Terminate) : std::nullopt;
    };
    EXPECT_EQ(daemon.run(), cli::kOk);

    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Modus -> Intervall"), 5);
    EXPECT_EQ(test::readFileBytes(fired), "failed 1\nrecovered 0\n");
    ASSERT_TRUE(whileFailing);
    ASSERT_EQ(whileFailing->rows.size(), 1u);
    const cli::RowRecord& row = whileFailing->rows[0];
    EXPECT_EQ(std::make_tuple(row.source, row.remote, row.mark, row.size, row.lastStored),
              std::make_tuple(home.file("cam.jpg"), std::string("/webcam/cam.jpg"), std::string("NEU"),
                              std::int64_t{10}, std::string()));
    EXPECT_EQ(whileFailing->outcome, "server unreachable");
    EXPECT_EQ(whileFailing->firstError, "Server ftp.unknown.test nicht erreichbar");
    Registry reg(registryFile);
    const std::optional<cli::RunRecord> last = cli::readRunRecord(reg);
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->rows.empty());
    EXPECT_EQ(last->outcome, "done");
    // The status bar as it stands once the run is over.
    ASSERT_EQ(last->panels.size(), 9u);
    EXPECT_EQ(last->panels[0], "Timer ON");
}

// The status line while a run sends: the store under way counted among the rows due
// when the first store began; the progress of one store does not count it again.
TEST_F(DaemonWatchFixture, StatusLineCountsTheStoresOfARun) {
    storeSettings(60);
    makeProgram();
    Watch parts(*program, clock, "", {});
    cli::ServiceWatch& watch = parts.watch;
    FileTable& files = program->files();
    files.setRowCount(4);
    // Due: the active rows not yet "OK" (rows 1 and 3).
    for (int r = 1; r <= 4; ++r) {
        files.setCell(Aktiv, r, r == 4 ? "Nein" : "Ja");
        files.setCell(Msg, r, r == 2 ? "OK" : "NEU");
    }
    program->runState().in_work = true;
    EXPECT_EQ(watch.statusText(), "run in progress");
    struct Step {
        TransferProgress progress;
        const char* status;
    };
    const Step steps[] = {
        {{"a.jpg", 0, 100, false}, "exporting 1 of 2 files"},
        {{"a.jpg", 100, 100, true}, "exporting 1 of 2 files"},
        {{"c.jpg", 0, 10, false}, "exporting 2 of 2 files"},
        // The same name once more is a new store (a second row sending it).
        {{"c.jpg", 10, 10, true}, "exporting 2 of 2 files"},
        {{"c.jpg", 0, 10, false}, "exporting 3 of 3 files"},
    };
    for (const Step& s : steps) {
        watch.transferProgress(s.progress);
        EXPECT_EQ(watch.statusText(), s.status) << s.progress.name << " " << s.progress.bytes;
    }
    program->runState().in_work = false;
    watch.runEnded(clock.now());
    // Without the start-up's load the settings are set here: "Aktiv", every 60 s.
    program->settings().cb_activ = true;
    program->settings().se_interval.setValue(60);
    // Started at 14:05:09 with nothing counted yet: the 61st idle second is 14:06:10.
    EXPECT_EQ(watch.statusText(), "next run 14:06");
    program->settings().cb_activ = false;
    EXPECT_EQ(watch.statusText(), "timer off (Aktiv not checked)");
}
