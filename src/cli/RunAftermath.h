#pragma once
// What follows every run of the daemon and of velora-cli run: the run record is kept
// (see RunRecord) and the failure hook fires when failures begin or end. Neither may
// stop the program: a store that cannot be written is a log line.
#include "cli/FailureHook.h"
#include "cli/ServiceWatch.h"

namespace velora::cli {

class RunAftermath final : public AfterRun {
public:
    RunAftermath(Program& program, const Clock& clock, FailureHook& hook)
        : program_(program), clock_(clock), hook_(hook) {}
    void runEnded(const DateTime& begun) override;

private:
    Program& program_;
    const Clock& clock_;
    FailureHook& hook_;
};

}  // namespace velora::cli
