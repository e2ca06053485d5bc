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

// How the process ends when told to while a run is in progress: at once.
class ProcessEnd {
public:
    virtual ~ProcessEnd() = default;
    virtual void endNow(int exitCode) = 0;
};

class Daemon {
public:
    Daemon(Program& program, SignalSource& signals, const Clock& clock, ProcessEnd& end, std::ostream& err);

    // Start-up, then ticks until told to end. The exit code: 0 after SIGTERM or SIGINT,
    // 1 when start-up failed (the reason is on standard error).
    int run();

    // The pumped points of a run.
    void pumpEvents();
    void showMessage(const std::string& text);

    // Ticks run so far (nested ones included).
    long ticks() const { return ticks_; }

private:
    void tickIfDue();
    void reload();
    void beenden();
    // Milliseconds to wait for the next whole second (a little past it).
    int msToNextSecond() const;

    Program& program_;
    SignalSource& signals_;
    const Clock& clock_;
    ProcessEnd& end_;
    std::ostream& err_;
    DateTime lastTick_{};
    bool ticked_ = false;
    bool reloadPending_ = false;
    bool started_ = false;
    bool ending_ = false;
    long ticks_ = 0;
};

// The headless stand-in for the window while the daemon runs: the pumped points serve
// the daemon's ticks and signals, and a message also becomes a log line.
class DaemonUiHost final : public CliUiHost {
public:
    using CliUiHost::CliUiHost;
    void attach(Daemon* daemon) { daemon_ = daemon; }

    void pumpEvents() override;
    void showMessage(const std::string& text) override;

private:
    Daemon* daemon_ = nullptr;
};

}  // namespace velora::cli
