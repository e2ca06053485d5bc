// The order of a run with the real passes: nothing changed, a connect that fails, the
// online check and the proxy rule, and the manual reset. No server is contacted: the
// FTP host is 127.0.0.1 on a port nobody listens on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/FileIo.h"
#include "support/LoopbackPort.h"
#include "transfer/Checksums.h"
#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

using test::RunWorld;

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
    w.cycle.RestartCounter = 77;

    w.cycle.B_StartClick();

    ASSERT_GE(w.lines.size(), 5u);
    EXPECT_EQ(w.lines[0], kStart);
    EXPECT_EQ(w.lines[1], "Timer (Procedure Start) --> Stop");
    const std::vector<std::string> tail(w.lines.end() - 3, w.lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{" - - - Nichts geändert. - - -", "Timer (Procedure Start) --> Start", kStars}));
    EXPECT_EQ(w.cycle.RestartCounter, 0);
    EXPECT_FALSE(w.loggedStartingWith("Procedure --> Connect"));
    EXPECT_FALSE(fileio::exists(w.settings.e_Transfer_Log));
    EXPECT_FALSE(w.countersSaved());
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_EQ(w.files.cell(Msg, 1), "OK");
}

TEST_F(RunCycleTest, FailedConnectEndsTheRunWithoutUploadTransferLogOrSaving) {
    const int r = w.addRow(w.dir.write("new.txt", "new content"), "/", "new.txt");
    std::vector<bool> workSeen;
    w.status.listener = [&] { workSeen.push_back(w.status.panels[1] == "Work"); };

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

TEST_F(RunCycleTest, FailedOnlineCheckEndsTheAttemptBeforeAnyPreparation) {
    struct Case {
        const char* name;
        bool seamSet;
    };
    for (const Case c : {Case{"seam answers false", true}, Case{"no seam", false}}) {
        SCOPED_TRACE(c.name);
        w.lines.clear();
        w.settings.cb_ping = true;
        std::vector<std::pair<std::string, int>> pings;
        w.cycle.PingHost = nullptr;
        if (c.seamSet)
            w.cycle.PingHost = [&](const std::string& host, int seq) {
                pings.emplace_back(host, seq);
                return false;
            };
        addUnchangedRow();

        w.cycle.B_StartClick();

        EXPECT_EQ(w.lines, (std::vector<std::string>{kStart, "Timer (Procedure Start) --> Stop",
                                                     "PING (Procedure Start) --> Test Onlinestatus",
                                                     "PING (Procedure Start) --> Konnte Host nicht finden.",
                                                     "Timer (Procedure Start) --> Start", kStars}));
        EXPECT_FALSE(w.cycle.inWork());
        if (c.seamSet) {
            EXPECT_EQ(pings, (std::vector<std::pair<std::string, int>>{{"127.0.0.1", 1}}));
        }
    }
}

TEST_F(RunCycleTest, EchoSentLeavesTheRunToTheReplyHandler) {
    w.settings.cb_ping = true;
    w.cycle.PingHost = [](const std::string&, int) { return true; };

    w.cycle.B_StartClick();

    EXPECT_TRUE(w.cycle.inWork());
    EXPECT_EQ(w.lines.back(), "PING (Procedure Start) --> Test Onlinestatus");
}

TEST_F(RunCycleTest, ProxySwitchesTheOnlineCheckOffBeforeTheRun) {
    struct Case {
        bool proxy, ping;
        bool message, pinged;
    };
    const std::vector<Case> cases{
        {true, true, true, false},
        {true, false, false, false},
        {false, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("proxy ") + (c.proxy ? "on" : "off") + ", ping " + (c.ping ? "on" : "off"));
        w.ui.messages.clear();
        w.settings.cb_proxy = c.proxy;
        w.settings.cb_ping = c.ping;
        int pings = 0;
        std::vector<bool> told;
        w.cycle.PingHost = [&](const std::string&, int) {
            ++pings;
            return false;
        };
        w.cycle.proxyExcludesPing = [&](bool on) { told.push_back(on); };

        w.cycle.B_StartClick();

        EXPECT_EQ(w.ui.messages, c.message ? std::vector<std::string>{"Ping geht nicht mit Proxy."}
                                           : std::vector<std::string>{});
        EXPECT_EQ(pings, c.pinged ? 1 : 0);
        EXPECT_EQ(w.settings.cb_ping, c.ping && !c.proxy);
        EXPECT_EQ(told, c.message ? std::vector<bool>{false} : std::vector<bool>{});
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
