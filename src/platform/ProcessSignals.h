#pragma once
// The signals a service manager sends a headless program: SIGTERM and SIGINT ask it to
// end, SIGHUP to read its settings again. They are taken as events the main loop waits
// for, never as handlers that run in the middle of a pass.
#include <memory>
#include <optional>

namespace velora {

enum class ProcessSignal { Terminate, Reload };

class SignalSource {
public:
    virtual ~SignalSource() = default;
    // The next signal, waiting at most timeoutMs for it (0: only look); nullopt when
    // none came in that time.
    virtual std::optional<ProcessSignal> wait(int timeoutMs) = 0;
};

// SIGTERM, SIGINT and SIGHUP of this process. While the object lives they are blocked
// for the calling thread (create it before any other thread) and read from a
// descriptor; the old signal mask comes back when it goes, and signals still pending
// then are dropped.
class SystemSignals final : public SignalSource {
public:
    SystemSignals();
    ~SystemSignals() override;
    SystemSignals(const SystemSignals&) = delete;
    SystemSignals& operator=(const SystemSignals&) = delete;

    std::optional<ProcessSignal> wait(int timeoutMs) override;

private:
    int fd_ = -1;
    struct Mask;
    std::unique_ptr<Mask> oldMask_;
};

}  // namespace velora
