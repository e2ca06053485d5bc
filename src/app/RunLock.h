#pragma once
// Runs on one scratch folder never overlap: a cron run beside the window, two cron runs
// of which one is slow, or the daemon beside either would write the same transfer copy
// and send each other's bytes. A run holds an advisory lock on a file in the scratch
// folder from its start to its end; the kernel drops it if the process dies. A run
// nested inside a run of the same process (a button pressed while events are pumped)
// shares the lock.
#include <string>
#include <utility>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "platform/FileLock.h"

namespace velora {

class RunLock {
public:
    RunLock(TempFolder& temp, EventLog& log) : temp_(temp), log_(log) {}

    class Hold {
    public:
        Hold() = default;
        explicit Hold(RunLock* owner) : owner_(owner) {}
        ~Hold() {
            if (owner_) owner_->leave();
        }
        Hold(Hold&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
        Hold& operator=(Hold&&) = delete;
        Hold(const Hold&) = delete;
        explicit operator bool() const { return owner_ != nullptr; }

    private:
        RunLock* owner_ = nullptr;
    };

    enum class Refusal { None, Busy, Unusable };

    // A true Hold while the caller may work. Otherwise one log line names `what`
    // ("Lauf", "Einlesen", ...) and why it does not happen now; lastRefusal() tells
    // whether another run holds the folder or the folder cannot be used.
    Hold enter(const std::string& what);
    Refusal lastRefusal() const { return refusal_; }

private:
    void leave();

    TempFolder& temp_;
    EventLog& log_;
    FileLock lock_;
    int depth_ = 0;
    Refusal refusal_ = Refusal::None;
};

}  // namespace velora
