#include "cli/RunAftermath.h"

#include "program/Program.h"
#include "platform/Errors.h"
#include "schedule/RunCycle.h"

namespace velora::cli {

void RunAftermath::runEnded(const DateTime& begun) {
    RunCycle& cycle = program_.runCycle();
    // A skipped run did nothing; the one at work will keep its own record.
    if (cycle.lastOutcome() == RunOutcome::Skipped) return;
    const Settings& settings = program_.settings();
    RunRecord record;
    FailureHook::Change change = FailureHook::Change::None;
    try {
        std::optional<RunRecord> previous;
        try {
            previous = readRunRecord(program_.registry());
        } catch (const GeneralError& e) {
            // An unreadable record is replaced; the rows' last stores begin anew.
            program_.log().write(e.what());
        }
        std::vector<std::string> panels(program_.status().panels.begin(), program_.status().panels.end());
        // The bar was last painted while the run worked; its next paint, a second
        // later, shows what this does.
        if (panels.size() > 1 && !program_.runState().in_work) panels[1].clear();
        record = recordRun(program_.files(), previous, cycle.lastOutcome(),
                           "Server " + settings.e_host_ziel + " nicht erreichbar", begun, clock_.now(),
                           panels);
        change = FailureHook::changeOf(previous, record);
        writeRunRecord(program_.registry(), record);
    } catch (const std::exception& e) {
        // The hook still fires: a store that cannot be written is itself worth a call,
        // and the next run compares with the record kept before.
        program_.log().write(std::string("Record of the last run not saved: ") + e.what());
    }
    if (change != FailureHook::Change::None)
        hook_.fire(settings.e_on_error_command, record, change == FailureHook::Change::Recovered);
}

}  // namespace velora::cli
