#include "schedule/RunCycle.h"

#include "transfer/Checksums.h"
#include "transfer/PreparationPass.h"

namespace velora {

namespace {
const std::string kDashes(58, '-');
const std::string kStars(58, '*');
}  // namespace

FtpSessionSettings ftpSessionSettings(const Settings& settings) {
    FtpSessionSettings s;
    s.host = settings.e_host_ziel;
    s.user = settings.e_user_ziel;
    s.password = settings.ME_pwd_ziel;
    s.passive = settings.cb_passiv;
    s.useProxy = settings.cb_proxy;
    s.proxyHost = settings.E_Host;
    s.proxyUser = settings.E_User_name;
    s.proxyPassword = settings.ME_Pasword;
    s.proxyPort = settings.E_ftp_Port;
    return s;
}

RunCycle::RunCycle(Settings& settings, PreparationPass& preparation, FileTable& files, FtpSession& ftp,
                   UploadPass& upload, RunStatistics& stats, RunLock& lock, EventLog& log, UiHost& ui,
                   ScreenShotStep& screenShot)
    : settings_(settings), preparation_(preparation), files_(files), ftp_(ftp), upload_(upload), stats_(stats),
      lock_(lock), log_(log), ui_(ui), screenShot_(screenShot) {}

void RunCycle::B_StartClick() {
    const RunLock::Hold hold = lock_.enter("Lauf");
    if (!hold) {
        outcome_ = lock_.lastRefusal() == RunLock::Refusal::Busy ? RunOutcome::Skipped : RunOutcome::Failed;
        return;
    }
    outcome_ = RunOutcome::Done;
    transferRan_ = false;
    inWork_ = true;
    RestartCounter = 0;
    log_.write(kDashes + " Transfer Start");
    log_.write("Timer (Procedure Start) --> Stop");
    ui_.showLogPage();
    applyProxyExcludesPing();
    if (settings_.cb_ping) {
        log_.write("PING (Procedure Start) --> Test Onlinestatus");
        const bool sent = PingHost && PingHost(settings_.e_host_ziel, 1);
        if (!sent) {
            log_.write("PING (Procedure Start) --> Konnte Host nicht finden.");
            log_.write("Timer (Procedure Start) --> Start");
            log_.write(kStars);
            inWork_ = false;
        }
        // Otherwise the echo-reply handler has run the transfer (or the echo timed
        // out and the restart countdown ends the attempt).
        if (!transferRan_) outcome_ = RunOutcome::ServerUnreachable;
        return;
    }
    RunTransfer();
    inWork_ = false;
    logRunEnd();
}

void RunCycle::applyProxyExcludesPing() {
    if (!settings_.cb_proxy) return;
    if (settings_.cb_ping) {
        ui_.showMessage("Ping geht nicht mit Proxy.");
        settings_.cb_ping = false;
        if (proxyExcludesPing) proxyExcludesPing(false);
    }
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
    stats_.UpdateStatusDisplay();
    ftp_.B_connectClick(ftpSessionSettings(settings_));
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
    inWork_ = false;
    ftp_.clearFtpOpen();
    log_.write("Label12Click --> in_work=false _ftpopen=false");
}

void RunCycle::cb_activClick() { stats_.UpdateStatusDisplay(); }

}  // namespace velora
