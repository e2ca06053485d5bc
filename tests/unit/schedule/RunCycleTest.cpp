// The order of a run with the real passes: nothing changed, a connect that fails, the
// online check with its reply handler and the proxy rule, and the manual reset. No
// server is contacted: the FTP host is 127.0.0.1 on a port nobody listens on, and the
// echo answers from a script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "support/LoopbackPort.h"
#include "transfer/Checksums.h"
#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

using test::RunWorld;
using test::ScriptedEcho;

const std::string kStart = std::string(58, '-') + " Transfer Start";
const std::string kStars(58, '*');

class RunCycleTest : public ::testing::Test {
protected:
    RunWorld w;
    void SetUp() override { w.ftp.setServerPort(test::refusingLoopbackPort()); }

    // A row whose file was already uploaded in this very state.
    void addUnchangedRow() {
        const std::string path = w.dir.write("same.txt", "unchanged");
        const int r = w.addRow(path, "/", "same.txt");
        const std::string fingerprint = std::to_string(FileChecksum(path));
        w.files.setCell(PsNeu, r, fingerprint);
        w.files.setCell(PsAlt, r, fingerprint);
    }
};

TEST_F(RunCycleTest, NothingChangedEndsBeforeConnectingAndSavesNothing) {
    addUnchangedRow();
    w.state.RestartCounter = 77;

    w.cycle.B_StartClick();

    ASSERT_GE(w.lines.size(), 5u);
    EXPECT_EQ(w.lines[0], kStart);
    EXPECT_EQ(w.lines[1], "Timer (Procedure Start) --> Stop");
    const std::vector<std::string> tail(w.lines.end() - 3, w.lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{" - - - Nichts geändert. - - -", "Timer (Procedure Start) --> Start", kStars}));
    EXPECT_EQ(w.state.RestartCounter, 0);
    EXPECT_FALSE(w.loggedStartingWith("Procedure --> Connect"));
    EXPECT_FALSE(fileio::exists(w.settings.e_Transfer_Log));
    EXPECT_FALSE(w.countersSaved());
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_EQ(w.files.cell(Msg, 1), "OK");
}

TEST_F(RunCycleTest, FailedConnectEndsTheRunWithoutUploadTransferLogOrSaving) {
    const int r = w.addRow(w.dir.write("new.txt", "new content"), "/", "new.txt");
    // Whether each repaint showed the run at work.
    struct WorkPanel : StatusDisplay::Listener {
        explicit WorkPanel(const StatusDisplay& status) : status(status) {}
        void statusChanged() override { seen.push_back(status.panels[1] == "Work"); }
        const StatusDisplay& status;
        std::vector<bool> seen;
    } panel(w.status);
    w.status.setListener(&panel);
    const std::vector<bool>& workSeen = panel.seen;

    w.cycle.B_StartClick();

    EXPECT_TRUE(w.logged("Procedure --> Connect"));
    EXPECT_TRUE(w.loggedStartingWith("FTP_CONNECTED ERROR:"));
    EXPECT_FALSE(w.logged(std::string(58, '-') + " Transfer Ende"));
    EXPECT_FALSE(w.loggedStartingWith("Procedure --> Disconnect"));
    EXPECT_FALSE(fileio::exists(w.settings.e_Transfer_Log));
    EXPECT_FALSE(w.countersSaved());
    EXPECT_EQ(w.files.cell(Msg, r), "NEU");
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_EQ(w.lines.back(), kStars);
    // Refreshed before and after the connect, both times while the run was at work.
    EXPECT_EQ(workSeen, (std::vector<bool>{true, true}));
}

TEST_F(RunCycleTest, EchoThatCannotBeMadeEndsTheAttemptBeforeAnyPreparation) {
    w.settings.cb_ping = true;
    addUnchangedRow();

    w.cycle.B_StartClick();

    EXPECT_EQ(w.lines, (std::vector<std::string>{kStart, "Timer (Procedure Start) --> Stop",
                                                 "PING (Procedure Start) --> Test Onlinestatus",
                                                 "PING (Procedure Start) --> Konnte Host nicht finden.",
                                                 "Timer (Procedure Start) --> Start", kStars}));
    EXPECT_EQ(w.echo.pings, (std::vector<std::pair<std::string, int>>{{"127.0.0.1", 1}}));
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_EQ(w.cycle.lastOutcome(), RunOutcome::ServerUnreachable);
}

// The reply handler: an answer (time to live above 0) while the attempt waits runs the
// transfer inside the echo; a time-out record leaves the attempt to the restart
// countdown; "Test Onlinestatus" with nothing waiting only logs the reply.
TEST_F(RunCycleTest, ReplyRecordDecidesWhetherTheWaitingRunHappens) {
    const std::string okLine = "PING (Procedure Ping Replay) --> 70 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0 ms";
    const std::string timeoutLine =
        "PING (Procedure Ping Replay) --> 0 bytes from 0.0.0.0: icmp_seq=1 ttl=0 time=5000 ms";
    const std::vector<std::string> ranTail{"PING (Procedure Ping Replay) --> Test Online = OK",
                                           " - - - Nichts geändert. - - -", "Timer (Procedure Ping Replay) -> Start",
                                           kStars};
    struct Case {
        const char* name;
        bool viaStart;          // "Start" (else "Test Onlinestatus")
        bool pending;           // in_work already set before "Test Onlinestatus"
        EchoReply reply;
        bool ran, inWorkAfter;
        bool otherRunWorks = false;   // another process holds the scratch folder
    };
    const std::vector<Case> cases{
        {"start, answer", true, false, ScriptedEcho::answer(), true, false},
        {"start, time-out", true, false, echoTimeoutRecord(1, 5000), false, true},
        {"test button, nothing waits", false, false, ScriptedEcho::answer(), false, false},
        {"test button, an attempt waits", false, true, ScriptedEcho::answer(), true, false},
        {"test button, time-out while waiting", false, true, echoTimeoutRecord(1, 5000), false, true},
        {"test button, an attempt waits, another run works", false, true, ScriptedEcho::answer(), false, true, true},
    };
    addUnchangedRow();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w.lines.clear();
        w.settings.cb_ping = true;
        w.state.in_work = c.pending;
        w.echo.replies = {c.reply};
        w.files.setCell(Msg, 1, "");
        bool workDuringEcho = false;
        w.echo.onPing = [&] { workDuringEcho = w.state.in_work; };
        FileLock other;
        std::string why;
        if (c.otherRunWorks) {
            ASSERT_EQ(other.tryLock(w.temp.lockPath(), why), FileLock::Result::Acquired) << why;
        }

        if (c.viaStart)
            w.cycle.B_StartClick();
        else
            w.cycle.Button2Click();

        const std::string replyLine = c.reply.ttl ? okLine : timeoutLine;
        std::vector<std::string> expected;
        if (c.viaStart)
            expected = {kStart, "Timer (Procedure Start) --> Stop", "PING (Procedure Start) --> Test Onlinestatus"};
        expected.push_back(replyLine);
        if (c.ran) {
            // The reply line, then the run between "Test Online = OK" and its end lines.
            expected.push_back(ranTail.front());
            ASSERT_GT(w.lines.size(), expected.size() + 2);
            EXPECT_EQ(std::vector<std::string>(w.lines.begin(), w.lines.begin() + static_cast<long>(expected.size())),
                      expected);
            EXPECT_EQ(std::vector<std::string>(w.lines.end() - 3, w.lines.end()),
                      std::vector<std::string>(ranTail.begin() + 1, ranTail.end()));
        } else {
            if (c.otherRunWorks) {
                expected.push_back("Lauf übersprungen: ein anderer Lauf arbeitet gerade mit " + w.temp.path());
            }
            EXPECT_EQ(w.lines, expected);
        }
        EXPECT_EQ(workDuringEcho, c.viaStart || c.pending);
        EXPECT_EQ(w.cycle.inWork(), c.inWorkAfter);
        EXPECT_EQ(w.files.cell(Msg, 1), c.ran ? "OK" : "");
        if (c.viaStart) {
            EXPECT_EQ(w.cycle.lastOutcome(), c.ran ? RunOutcome::Done : RunOutcome::ServerUnreachable);
        }
    }
}

// "Onlinstatus Prüfen" and "Proxy" exclude each other: with the proxy on, the check is
// switched off with a message whenever it was on, before a run and on either click.
TEST_F(RunCycleTest, ProxySwitchesTheOnlineCheckOff) {
    enum Trigger { Start, PingClick, ProxyClick };
    struct Case {
        Trigger trigger;
        bool proxy, ping;
        bool message, pinged;
    };
    const std::vector<Case> cases{
        {Start, true, true, true, false},       {Start, true, false, false, false},
        {Start, false, true, false, true},      {PingClick, true, true, true, false},
        {PingClick, true, false, false, false}, {PingClick, false, true, false, false},
        {PingClick, false, false, false, false},
        // Any click of "Proxy" or "Ext. IP abfragen", checking or unchecking the proxy.
        {ProxyClick, true, true, true, false},  {ProxyClick, false, true, true, false},
        {ProxyClick, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("trigger " + std::to_string(c.trigger) + ", proxy " + (c.proxy ? "on" : "off") + ", ping " +
                     (c.ping ? "on" : "off"));
        w.ui.messages.clear();
        w.ui.settingsShown = 0;
        w.echo.pings.clear();
        w.settings.cb_proxy = c.proxy;
        w.settings.cb_ping = c.ping;

        if (c.trigger == Start) w.cycle.B_StartClick();
        if (c.trigger == PingClick) w.cycle.cb_pingClick();
        if (c.trigger == ProxyClick) w.cycle.cb_proxyClick();

        EXPECT_EQ(w.ui.messages, c.message ? std::vector<std::string>{"Ping geht nicht mit Proxy."}
                                           : std::vector<std::string>{});
        EXPECT_EQ(w.echo.pings.size(), c.pinged ? 1u : 0u);
        EXPECT_EQ(w.settings.cb_ping, c.ping && !c.message);
        // The window is told to show the box unchecked exactly when the rule changed it.
        EXPECT_EQ(w.ui.settingsShown, c.message ? 1 : 0);
        EXPECT_FALSE(w.cycle.inWork());
    }
}

TEST_F(RunCycleTest, ScreenShotIsTheFirstStepWhenItsAktivIsCheckedAndItsErrorEndsTheRun) {
    struct Case {
        bool aktiv;
        std::string failure;
        int taken;
        bool prepared;   // "Einlesen" logged
        bool inWorkAfter;
    };
    const Case cases[] = {
        {false, "", 0, true, false},
        {true, "", 1, true, false},
        // Like every error a step does not catch: nothing prepared, nothing sent, and
        // in_work waits for the restart countdown.
        {true, "Screenshot nicht möglich: kein Bildschirm", 1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aktiv ? (c.failure.empty() ? "aktiv" : "aktiv, failing") : "off");
        RunWorld world;
        world.settings.cb_ss_aktiv = c.aktiv;
        world.screenShot.failure = c.failure;
        std::string raised;
        try {
            world.cycle.B_StartClick();
        } catch (const Error& e) {
            raised = e.what();
        }
        EXPECT_EQ(raised, c.failure);
        EXPECT_EQ(world.screenShot.taken, c.taken);
        if (c.taken) {
            EXPECT_EQ(world.screenShot.linesBefore, 2u);   // after "Transfer Start" and "--> Stop"
        }
        EXPECT_EQ(world.logged("Einlesen"), c.prepared);
        EXPECT_EQ(world.logged("Timer (Procedure Start) --> Start"), c.failure.empty());
        EXPECT_EQ(world.cycle.inWork(), c.inWorkAfter);
    }
}

TEST_F(RunCycleTest, Label12ClickClearsBothFlagsAndSaysSo) {
    w.cycle.setInWork(true);
    w.cycle.Label12Click();
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_FALSE(w.ftp.ftpOpen());
    EXPECT_EQ(w.lines, std::vector<std::string>{"Label12Click --> in_work=false _ftpopen=false"});
}

TEST_F(RunCycleTest, AktivClickRefreshesTheStatusAtOnce) {
    w.settings.cb_activ = true;
    w.cycle.cb_activClick();
    EXPECT_EQ(w.status.panels[0], "Timer ON");
    EXPECT_EQ(w.status.progress, ProgressColour::Lime);
    w.settings.cb_activ = false;
    w.cycle.cb_activClick();
    EXPECT_EQ(w.status.panels[0], "Timer OFF");
    EXPECT_EQ(w.status.progress, ProgressColour::Red);
}

}  // namespace
}  // namespace velora
