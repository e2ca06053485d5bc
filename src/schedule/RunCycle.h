#pragma once
// One run: prepare every active file, and only when something changed connect,
// upload, disconnect and save the counters. Keeps the flag `in_work` and the order of
// the steps. The online check's echo comes from the EchoCheck it is given; its reply
// handler and the rule that the check and the proxy exclude each other are here.
#include <functional>
#include <string>

#include "app/EventLog.h"
#include "app/RunLock.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "ftp/FtpSession.h"
#include "schedule/EchoCheck.h"
#include "schedule/RunState.h"
#include "schedule/RunStatistics.h"
#include "schedule/ScreenShotStep.h"
#include "settings/Settings.h"
#include "transfer/UploadPass.h"

namespace velora {

class PreparationPass;

// How the latest run ended, for those who report it (velora-cli's exit code).
enum class RunOutcome {
    Done,               // prepared; sent what changed, or nothing had changed
    ServerUnreachable,  // the online check or the connect failed: nothing could be sent
    Skipped,            // another run held the scratch folder; the next turn tries again
    Failed,             // the scratch folder cannot be used
};

class RunCycle {
public:
    RunCycle(Settings& settings, RunState& state, PreparationPass& preparation, FileTable& files, FtpSession& ftp,
             UploadPass& upload, RunStatistics& stats, EchoCheck& echo, RunLock& lock, EventLog& log, UiHost& ui,
             ScreenShotStep& screenShot);

    // Button "Start" and the scheduler. The whole run holds the scratch folder's lock;
    // when another process holds it the run is skipped with one log line.
    void B_StartClick();
    RunOutcome lastOutcome() const { return outcome_; }
    // Buttons "Einlesen" and "Versenden": one pass alone. Both work in the scratch
    // folder, so they wait their turn like a run: false when another run holds it or it
    // cannot be used (lockRefusal() tells which; the log says so).
    bool B_einlesenClick();
    bool B_versendenClick();
    RunLock::Refusal lockRefusal() const { return lock_.lastRefusal(); }
    // Runs begun (skipped ones too), so a watcher can tell that one took place.
    long runsBegun() const { return runsBegun_; }
    // The steps of a run after the online check (also called from the echo reply).
    void RunTransfer();
    // Label "Restart nach Online Error": manual reset of both flags.
    void Label12Click();
    // Check box "Aktiv".
    void cb_activClick();

    // The online check: the echo's reply handler (an answer while a run attempt waits
    // starts that run), button "Test Onlinestatus", and the click handlers of
    // "Onlinstatus Prüfen" and of "Proxy" / "Ext. IP abfragen": the echo cannot pass a
    // proxy, so the proxy switches the check off.
    void IdIcmpClient1Reply(const EchoReply& reply);
    void Button2Click();
    void cb_pingClick();
    void cb_proxyClick();

    bool inWork() const { return state_.in_work; }
    void setInWork(bool on) { state_.in_work = on; }


private:
    void logRunEnd();
    void uncheckPing();

    Settings& settings_;
    RunState& state_;
    PreparationPass& preparation_;
    FileTable& files_;
    FtpSession& ftp_;
    UploadPass& upload_;
    RunStatistics& stats_;
    EchoCheck& echo_;
    RunLock& lock_;
    EventLog& log_;
    UiHost& ui_;
    ScreenShotStep& screenShot_;
    bool transferRan_ = false;
    RunOutcome outcome_ = RunOutcome::Done;
    long runsBegun_ = 0;
};

}  // namespace velora
