#pragma once
// The setting "On_Error_Command": a program run once after a run in which a row failed
// and once again when the failures have ended, never once per row. It runs without a
// shell (the words of the setting, split on blanks, with double quotes around a word
// that holds blanks), with the run's outcome in its environment:
//   VELORA_STATE        "failed" or "recovered"
//   VELORA_ROWS_FAILED  the number of active rows not made current
//   VELORA_SOURCES      their "Quelle", one a line
//   VELORA_REMOTE_NAMES their "FTP Pfad"/"FTP Name", one a line
//   VELORA_FIRST_ERROR  the first failure's text
//   VELORA_TIME         when the run began, "YYYY-MM-DD HH:MM:SS"
// It may take kTimeoutSeconds, then its process group is killed. Its exit code and the
// first line of its output go to the event log; the rest of the output is dropped. A
// command that cannot be started is a log line too: the daemon goes on either way.
#include <string>
#include <vector>

#include "app/EventLog.h"
#include "cli/RunRecord.h"
#include "platform/BoundedCommand.h"

namespace velora::cli {

class FailureHook {
public:
    static constexpr int kTimeoutSeconds = 30;

    // `environment` ("NAME=value") is what the command inherits besides its own values.
    FailureHook(EventLog& log, std::vector<std::string> environment,
                CommandLimits limits = {kTimeoutSeconds * 1000, 400});

    // The environment the command gets for this record.
    std::vector<std::string> environmentFor(const RunRecord& record, bool recovered) const;
    // Runs `commandLine` (nothing when it is empty).
    void fire(const std::string& commandLine, const RunRecord& record, bool recovered);

    // When to fire after a run: on the change from no failure to failure and back.
    enum class Change { None, Failed, Recovered };
    static Change changeOf(const std::optional<RunRecord>& previous, const RunRecord& current);

private:
    EventLog& log_;
    std::vector<std::string> environment_;
    CommandLimits limits_;
};

// The process's own environment, for the daemon's and run's hook.
std::vector<std::string> processEnvironment();

}  // namespace velora::cli
