#include "cli/Daemon.h"

#include <ostream>

#include "cli/CliCommands.h"
#include "program/Program.h"
#include "schedule/RunCycle.h"
#include "schedule/StartupTicks.h"
#include "settings/SentMemory.h"

namespace velora::cli {

namespace {

// Ticks fall this far past the whole second, so the second shown is the new one.
constexpr int kPastTheSecondMs = 5;

bool sameSecond(const DateTime& a, const DateTime& b) {
    return a.second == b.second && a.minute == b.minute && a.hour == b.hour && a.day == b.day &&
           a.month == b.month && a.year == b.year;
}

}  // namespace

Daemon::Daemon(Program& program, SignalSource& signals, const Clock& clock, std::ostream& err)
    : program_(program), signals_(signals), clock_(clock), err_(err) {}

int Daemon::run() {
    try {
        program_.FormCreate();
    } catch (const std::exception& e) {
        err_ << e.what() << '\n';
        // The start-up may have waited long (a store another program keeps locked);
        // an end asked for meanwhile is still an end as "Beenden" does it.
        if (signals_.wait(0) != ProcessSignal::Terminate) return kFailed;
        beenden();
        return kOk;
    }
    started_ = true;
    if (observer_) observer_->started();
    while (!endRequested_) {
        if (reloadPending_) {
            reload();
            continue;
        }
        const std::optional<ProcessSignal> signal = signals_.wait(msToNextSecond());
        if (signal == ProcessSignal::Terminate) break;
        if (signal == ProcessSignal::Reload) {
            reload();
            continue;
        }
        tickIfDue();
    }
    beenden();
    return kOk;
}

int Daemon::msToNextSecond() const { return 1000 - clock_.now().millisecond + kPastTheSecondMs; }

void Daemon::tickIfDue() {
    const DateTime now = clock_.now();
    if (ticked_ && sameSecond(now, lastTick_)) return;
    ticked_ = true;
    lastTick_ = now;
    ++ticks_;
    NoStartupTicks noWindow;
    if (observer_) observer_->ticked();
    const long runsBefore = program_.runCycle().runsBegun();
    try {
        program_.Timer1Timer(noWindow);
    } catch (const std::exception& e) {
        showMessage(e.what());
    }
    if (observer_ && program_.runCycle().runsBegun() != runsBefore) observer_->runEnded(now);
}

void Daemon::pumpEvents() {
    // No tick before start-up has finished, and nothing more once the end has begun.
    if (!started_ || ending_) return;
    takeSignal();
    // Once the end is asked for no tick runs: none may start a run.
    if (!endRequested_) tickIfDue();
}

// Signals taken inside a run only take note: a reload waits for the run's end, and an
// end lets the run wind down.
void Daemon::takeSignal() {
    const std::optional<ProcessSignal> signal = signals_.wait(0);
    if (!signal) return;
    if (*signal == ProcessSignal::Reload) {
        reloadPending_ = true;
        return;
    }
    if (endRequested_) return;
    endRequested_ = true;
    endRequestedAtMs_ = clock_.tickMs();
    program_.log().write("Programm -> Ende angefordert");
}

bool Daemon::endRequested() {
    if (started_ && !ending_) takeSignal();
    return endRequested_;
}

bool Daemon::endGraceOver() {
    return endRequested() && clock_.tickMs() - endRequestedAtMs_ >= kStoreGraceSeconds * 1000LL;
}

void Daemon::reload() {
    reloadPending_ = false;
    try {
        // "Load Config" starts every row afresh; rows that did not change keep what
        // they last sent, so a reload does not send them all again.
        const std::vector<FileTable::Row> before = program_.files().rows();
        const std::string serverBefore = program_.settings().e_host_ziel;
        program_.LoadConfig1Click();
        keepSentOfUnchangedRows(before, serverBefore, program_.files(), program_.settings().e_host_ziel);
    } catch (const std::exception& e) {
        showMessage(e.what());
    }
}

void Daemon::beenden() {
    ending_ = true;
    if (observer_) observer_->stopping();
    try {
        program_.Beenden1Click();
    } catch (const std::exception& e) {
        err_ << e.what() << '\n';
    }
}

void Daemon::showMessage(const std::string& text) {
    err_ << text << '\n' << std::flush;
    try {
        program_.log().write(text);
    } catch (const std::exception&) {
        // The line is on standard error already.
    }
}

void DaemonUiHost::pumpEvents() {
    if (daemon_) daemon_->pumpEvents();
}

bool DaemonUiHost::endRequested() { return daemon_ && daemon_->endRequested(); }

bool DaemonUiHost::endGraceOver() { return daemon_ && daemon_->endGraceOver(); }

void DaemonUiHost::transferProgress(const TransferProgress& progress) {
    CliUiHost::transferProgress(progress);
    if (daemon_) daemon_->transferProgress(progress);
}

void DaemonUiHost::showMessage(const std::string& text) {
    if (daemon_) {
        daemon_->showMessage(text);
    } else {
        CliUiHost::showMessage(text);
    }
}

}  // namespace velora::cli
