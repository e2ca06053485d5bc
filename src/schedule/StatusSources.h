#pragma once
// What the status display reads besides the settings and the counters: the run flags
// and the scheduler's interval counter and last fixed start.
#include <string>

#include "ftp/FtpSession.h"
#include "schedule/RunState.h"

namespace velora {

class StatusSources {
public:
    virtual ~StatusSources() = default;
    virtual bool inWork() const = 0;
    virtual bool ftpOpen() const = 0;
    virtual int intervalCounter() const = 0;
    virtual std::string lastFixedStart() const = 0;
};

// The program's own: the shared run state and the FTP session.
class RunStateSources final : public StatusSources {
public:
    RunStateSources(const RunState& state, const FtpSession& ftp) : state_(state), ftp_(ftp) {}
    bool inWork() const override { return state_.in_work; }
    bool ftpOpen() const override { return ftp_.ftpOpen(); }
    int intervalCounter() const override { return state_.IntervalCounter; }
    std::string lastFixedStart() const override { return state_.LastFixedStart; }

private:
    const RunState& state_;
    const FtpSession& ftp_;
};

}  // namespace velora
