#pragma once
// velora-cli daemon: the program without a window, for months on end. Start-up as the
// window does it, then the same scheduler ticking at every whole second until SIGTERM
// or SIGINT, which end it as "Beenden" does ("Programm -> END", run counters saved).
// SIGHUP runs "Load Config" with the calendar load, so settings saved by the window
// take effect without a restart. A message box becomes a log line and a line on
// standard error.
//
// The window lets pending messages run at fixed points of a run; here those points
// look for signals and run the tick of a second that began meanwhile, so the restart
// countdown goes on during a run. A reload asked for during a run waits for its end.
// An end asked for during a run lets that run wind down first: the store in progress
// finishes (or, after kStoreGraceSeconds, fails), is counted and logged with the
// transfer-log line, no further row starts and no tick runs, the connection closes and
// the transfer copy goes; then the end follows.
#include <cstdint>
#include <iosfwd>
#include <string>

#include "app/UiHost.h"
#include "cli/CliUiHost.h"
#include "platform/Clock.h"
#include "platform/ProcessSignals.h"

namespace velora {
class Program;
}

namespace velora::cli {

// Told of the daemon's life: the service manager's messages and the run record hang
// here, so the daemon itself stays the scheduler's loop.
class DaemonObserver {
public:
    virtual ~DaemonObserver() = default;
    virtual void started() = 0;                              // start-up finished
    virtual void ticked() = 0;                               // a tick begins (nested ones too)
    virtual void runEnded(const DateTime& begun) = 0;        // a run a tick began is over
    virtual void transferProgress(const TransferProgress&) {}
    virtual void stopping() = 0;                             // the end as "Beenden" begins
};

class Daemon {
public:
    // After the end was asked for, a store in progress may go on this long.
    static constexpr int kStoreGraceSeconds = 10;

    Daemon(Program& program, SignalSource& signals, const Clock& clock, std::ostream& err);

    // Start-up, then ticks until told to end. The exit code: 0 after SIGTERM or SIGINT,
    // 1 when start-up failed (the reason is on standard error).
    int run();

    // The pumped points of a run.
    void pumpEvents();
    void showMessage(const std::string& text);
    // Whether the end has been asked for (a look for signals first), and whether the
    // store under way has used up its grace since.
    bool endRequested();
    bool endGraceOver();

    void transferProgress(const TransferProgress& progress) {
        if (observer_) observer_->transferProgress(progress);
    }
    // One observer; nullptr for none.
    void setObserver(DaemonObserver* observer) { observer_ = observer; }

    // Ticks run so far (nested ones included).
    long ticks() const { return ticks_; }

private:
    void tickIfDue();
    void takeSignal();
    void reload();
    void beenden();
    // Milliseconds to wait for the next whole second (a little past it).
    int msToNextSecond() const;

    Program& program_;
    SignalSource& signals_;
    const Clock& clock_;
    std::ostream& err_;
    DateTime lastTick_{};
    bool ticked_ = false;
    bool reloadPending_ = false;
    bool started_ = false;
    bool ending_ = false;
    bool endRequested_ = false;
    std::int64_t endRequestedAtMs_ = 0;
    long ticks_ = 0;
    DaemonObserver* observer_ = nullptr;
};

// The headless stand-in for the window while the daemon runs: the pumped points serve
// the daemon's ticks and signals, and a message also becomes a log line.
class DaemonUiHost final : public CliUiHost {
public:
    using CliUiHost::CliUiHost;
    void attach(Daemon* daemon) { daemon_ = daemon; }

    void pumpEvents() override;
    void showMessage(const std::string& text) override;
    bool endRequested() override;
    bool endGraceOver() override;
    void transferProgress(const TransferProgress& progress) override;

private:
    Daemon* daemon_ = nullptr;
};

}  // namespace velora::cli
