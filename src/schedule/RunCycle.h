#pragma once
// One run: prepare every active file, and only when something changed connect,
// upload, disconnect and save the counters. Owns the flag `in_work` and the order of
// the steps; the online check and the screen shot plug in through the seams below.
#include <functional>
#include <string>

#include "app/EventLog.h"
#include "app/RunLock.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "ftp/FtpSession.h"
#include "schedule/RunStatistics.h"
#include "schedule/ScreenShotStep.h"
#include "settings/Settings.h"
#include "transfer/UploadPass.h"

namespace velora {

class PreparationPass;

// The login and proxy fields of the settings as a connect takes them; read at every
// connect, so an edit made since the last one counts.
FtpSessionSettings ftpSessionSettings(const Settings& settings);

// How the latest run ended, for those who report it (velora-cli's exit code).
enum class RunOutcome {
    Done,               // prepared; sent what changed, or nothing had changed
    ServerUnreachable,  // the online check or the connect failed: nothing could be sent
    Skipped,            // another run held the scratch folder; the next turn tries again
    Failed,             // the scratch folder cannot be used
};

class RunCycle {
public:
    RunCycle(Settings& settings, PreparationPass& preparation, FileTable& files, FtpSession& ftp, UploadPass& upload,
             RunStatistics& stats, RunLock& lock, EventLog& log, UiHost& ui, ScreenShotStep& screenShot);

    // Button "Start" and the scheduler. The whole run holds the scratch folder's lock;
    // when another process holds it the run is skipped with one log line.
    void B_StartClick();
    RunOutcome lastOutcome() const { return outcome_; }
    // The steps of a run after the online check (also called from the echo reply).
    void RunTransfer();
    // Label "Restart nach Online Error": manual reset of both flags.
    void Label12Click();
    // Check box "Aktiv".
    void cb_activClick();

    bool inWork() const { return inWork_; }
    void setInWork(bool on) { inWork_ = on; }

    // The scheduler's restart countdown; every start begins it again.
    int RestartCounter = 0;
    // The online check: true when the echo went out (the reply handler then runs
    // RunTransfer before returning). Unset counts as a failed check.
    std::function<bool(const std::string& host, int sequence)> PingHost;
    // Told the new state of "Onlinstatus Prüfen" after the proxy switched it off, so
    // the window can show it.
    std::function<void(bool)> proxyExcludesPing;

private:
    void applyProxyExcludesPing();
    void logRunEnd();

    Settings& settings_;
    PreparationPass& preparation_;
    FileTable& files_;
    FtpSession& ftp_;
    UploadPass& upload_;
    RunStatistics& stats_;
    RunLock& lock_;
    EventLog& log_;
    UiHost& ui_;
    ScreenShotStep& screenShot_;
    bool inWork_ = false;
    bool transferRan_ = false;
    RunOutcome outcome_ = RunOutcome::Done;
};

}  // namespace velora
