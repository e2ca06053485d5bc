#include "cli/Daemon.h"

#include <ostream>

#include "cli/CliCommands.h"
#include "program/Program.h"
#include "schedule/StartupTicks.h"

namespace velora::cli {

namespace {

// Ticks fall this far past the whole second, so the second shown is the new one.
constexpr int kPastTheSecondMs = 5;

bool sameSecond(const DateTime& a, const DateTime& b) {
    return a.second == b.second && a.minute == b.minute && a.hour == b.hour && a.day == b.day &&
           a.month == b.month && a.year == b.year;
}

}  // namespace

Daemon::Daemon(Program& program, SignalSource& signals, const Clock& clock, ProcessEnd& end, std::ostream& err)
    : program_(program), signals_(signals), clock_(clock), end_(end), err_(err) {}

int Daemon::run() {
    try {
        program_.FormCreate();
    } catch (const std::exception& e) {
        err_ << e.what() << '\n';
        return kFailed;
    }
    started_ = true;
    for (;;) {
        if (reloadPending_) reload();
        const std::optional<ProcessSignal> signal = signals_.wait(msToNextSecond());
        if (signal == ProcessSignal::Terminate) {
            beenden();
            return kOk;
        }
        if (signal == ProcessSignal::Reload) {
            reload();
            continue;
        }
        tickIfDue();
    }
}

int Daemon::msToNextSecond() const { return 1000 - clock_.now().millisecond + kPastTheSecondMs; }

void Daemon::tickIfDue() {
    const DateTime now = clock_.now();
    if (ticked_ && sameSecond(now, lastTick_)) return;
    ticked_ = true;
    lastTick_ = now;
    ++ticks_;
    NoStartupTicks noWindow;
    try {
        program_.Timer1Timer(noWindow);
    } catch (const std::exception& e) {
        showMessage(e.what());
    }
}

void Daemon::pumpEvents() {
    // No tick before start-up has finished, and nothing more once the end has begun.
    if (!started_ || ending_) return;
    if (const std::optional<ProcessSignal> signal = signals_.wait(0)) {
        if (*signal == ProcessSignal::Terminate) {
            beenden();
            end_.endNow(kOk);
            return;
        }
        reloadPending_ = true;
    }
    tickIfDue();
}

void Daemon::reload() {
    reloadPending_ = false;
    try {
        program_.LoadConfig1Click();
    } catch (const std::exception& e) {
        showMessage(e.what());
    }
}

void Daemon::beenden() {
    ending_ = true;
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

void DaemonUiHost::showMessage(const std::string& text) {
    if (daemon_) {
        daemon_->showMessage(text);
    } else {
        CliUiHost::showMessage(text);
    }
}

}  // namespace velora::cli
