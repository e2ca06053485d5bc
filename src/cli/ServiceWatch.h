#pragma once
// The daemon as the service manager sees it (a systemd unit of Type=notify): "READY=1"
// once start-up has finished, a status line ("next run 14:05", "exporting 3 of 7
// files"), "WATCHDOG=1" from every tick and "STOPPING=1" when the end begins. The
// pings come from the tick alone: a daemon stuck in a wait sends none, and the manager
// restarts it once WatchdogSec= has passed. From start-up to the end it also holds the
// process id file that velora-cli status looks at. What follows a run is handed on.
#include <memory>
#include <string>

#include "cli/Daemon.h"
#include "cli/DaemonPidFile.h"
#include "platform/ServiceNotifier.h"

namespace velora {
class Program;
}

namespace velora {
class Clock;
}

namespace velora::cli {

// Told when a run the daemon began is over.
class AfterRun {
public:
    virtual ~AfterRun() = default;
    virtual void runEnded(const DateTime& begun) = 0;
};

class ServiceWatch final : public DaemonObserver {
public:
    ServiceWatch(ServiceNotifier& notifier, Program& program, const Clock& clock, AfterRun& afterRun);

    void started() override;
    void ticked() override;
    void runEnded(const DateTime& begun) override;
    void transferProgress(const TransferProgress& progress) override;
    void stopping() override;

    // What the status line says now.
    std::string statusText();

private:
    void send(const std::string& lines);

    ServiceNotifier& notifier_;
    Program& program_;
    const Clock& clock_;
    AfterRun& afterRun_;
    std::string lastStatus_;
    std::string storeName_;
    bool storeFinished_ = true;
    int storeNumber_ = 0;   // of this run, 1 for the first
    int storesDue_ = 0;
    bool failureLogged_ = false;
    std::unique_ptr<DaemonPidFile> pidFile_;
};

}  // namespace velora::cli
