#include "schedule/RunCycle.h"

#include "schedule/FtpLoginFromSettings.h"
#include "transfer/Checksums.h"
#include "transfer/PreparationPass.h"

namespace velora {

namespace {
const std::string kDashes(58, '-');
const std::string kStars(58, '*');
}  // namespace

RunCycle::RunCycle(Settings& settings, RunState& state, PreparationPass& preparation, FileTable& files,
                   FtpSession& ftp, UploadPass& upload, RunStatistics& stats, EchoCheck& echo, RunLock& lock,
                   EventLog& log, UiHost& ui, ScreenShotStep& screenShot)
    : settings_(settings),
      state_(state),
      preparation_(preparation),
      files_(files),
      ftp_(ftp),
      upload_(upload),
      stats_(stats),
      echo_(echo),
      lock_(lock),
      log_(log),
      ui_(ui),
      screenShot_(screenShot) {}

bool RunCycle::B_einlesenClick() {
    const RunLock::Hold hold = lock_.enter("Einlesen");
    if (hold) preparation_.run();
    return static_cast<bool>(hold);
}

bool RunCycle::B_versendenClick() {
    const RunLock::Hold hold = lock_.enter("Versenden");
    if (hold) upload_.B_versendenClick();
    return static_cast<bool>(hold);
}

void RunCycle::B_StartClick() {
    ++runsBegun_;
    const RunLock::Hold hold = lock_.enter("Lauf");
    if (!hold) {
        outcome_ = lock_.lastRefusal() == RunLock::Refusal::Busy ? RunOutcome::Skipped : RunOutcome::Failed;
        return;
    }
    outcome_ = RunOutcome::Done;
    transferRan_ = false;
    state_.in_work = true;
    state_.RestartCounter = 0;
    log_.write(kDashes + " Transfer Start");
    log_.write("Timer (Procedure Start) --> Stop");
    ui_.showLogPage();
    cb_pingClick();
    if (settings_.cb_ping) {
        log_.write("PING (Procedure Start) --> Test Onlinestatus");
        const std::optional<EchoReply> reply = echo_.PingHost(settings_.e_host_ziel, 1);
        if (reply) {
            // An answer runs the transfer in here; a time-out leaves the attempt to the
            // restart countdown.
            IdIcmpClient1Reply(*reply);
        } else {
            log_.write("PING (Procedure Start) --> Konnte Host nicht finden.");
            log_.write("Timer (Procedure Start) --> Start");
            log_.write(kStars);
            state_.in_work = false;
        }
        if (!transferRan_) outcome_ = RunOutcome::ServerUnreachable;
        return;
    }
    RunTransfer();
    state_.in_work = false;
    logRunEnd();
}

void RunCycle::IdIcmpClient1Reply(const EchoReply& reply) {
    log_.write("PING (Procedure Ping Replay) --> " + formatEchoReply(reply));
    if (reply.ttl == 0 || !state_.in_work) return;
    // The run that waited for this answer works in the scratch folder like any run:
    // inside "Start" it shares that run's hold; after "Test Onlinestatus" it waits its
    // turn (refused, the attempt stays for the restart countdown to end).
    const RunLock::Hold hold = lock_.enter("Lauf");
    if (!hold) return;
    log_.write("PING (Procedure Ping Replay) --> Test Online = OK");
    RunTransfer();
    state_.in_work = false;
    log_.write("Timer (Procedure Ping Replay) -> Start");
    log_.write(kStars);
}

void RunCycle::Button2Click() {
    ui_.showLogPage();
    const std::optional<EchoReply> reply = echo_.PingHost(settings_.e_host_ziel, 1);
    if (reply) IdIcmpClient1Reply(*reply);
}

void RunCycle::uncheckPing() {
    settings_.cb_ping = false;
    ui_.settingsChanged();
}

void RunCycle::cb_pingClick() {
    if (!settings_.cb_proxy || !settings_.cb_ping) return;
    ui_.showMessage("Ping geht nicht mit Proxy.");
    uncheckPing();
}

void RunCycle::cb_proxyClick() {
    if (!settings_.cb_ping) return;
    ui_.showMessage("Ping geht nicht mit Proxy.");
    uncheckPing();
}

void RunCycle::logRunEnd() {
    log_.write("Timer (Procedure Start) --> Start");
    log_.write(kStars);
}

void RunCycle::RunTransfer() {
    transferRan_ = true;
    if (settings_.cb_ss_aktiv) screenShot_.takeScreenShot();
    preparation_.run();
    if (!AnyRowChanged(files_)) {
        log_.write(" - - - Nichts geändert. - - -");
        return;
    }
    // Told to end meanwhile: nothing would be sent, and the rows stay "NEU" for the
    // next start.
    if (ui_.endRequested()) return;
    stats_.UpdateStatusDisplay();
    ftp_.B_connectClick(ftpLoginFromSettings(settings_));
    stats_.UpdateStatusDisplay();
    if (!ftp_.ftpOpen()) {
        outcome_ = RunOutcome::ServerUnreachable;
        return;
    }
    upload_.B_versendenClick();
    stats_.UpdateStatusDisplay();
    ftp_.B_DisconnectClick();
    stats_.UpdateStatusDisplay();
    stats_.SaveRunCounters();
}

void RunCycle::Label12Click() {
    state_.in_work = false;
    ftp_.clearFtpOpen();
    log_.write("Label12Click --> in_work=false _ftpopen=false");
}

void RunCycle::cb_activClick() { stats_.UpdateStatusDisplay(); }

}  // namespace velora
