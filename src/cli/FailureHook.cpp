#include "cli/FailureHook.h"

#include <unistd.h>

extern char** environ;

namespace velora::cli {

namespace {

const char* const kLogName = "On_Error_Command";

std::string joinedLines(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) out += '\n';
        out += item;
    }
    return out;
}

std::string describe(const CommandResult& r, int timeoutSeconds) {
    if (r.timedOut) return "did not end within " + std::to_string(timeoutSeconds) + " s and was killed";
    if (r.signal) return "ended by signal " + std::to_string(r.signal);
    return "exit code " + std::to_string(r.exitCode);
}

}  // namespace

std::vector<std::string> processEnvironment() {
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e) out.emplace_back(*e);
    return out;
}

FailureHook::FailureHook(EventLog& log, std::vector<std::string> environment, CommandLimits limits)
    : log_(log), environment_(std::move(environment)), limits_(limits) {}

FailureHook::Change FailureHook::changeOf(const std::optional<RunRecord>& previous, const RunRecord& current) {
    const bool failedBefore = previous && previous->rowsFailed() > 0;
    const bool failedNow = current.rowsFailed() > 0;
    if (failedNow && !failedBefore) return Change::Failed;
    if (!failedNow && failedBefore) return Change::Recovered;
    return Change::None;
}

std::vector<std::string> FailureHook::environmentFor(const RunRecord& record, bool recovered) const {
    std::vector<std::string> sources;
    std::vector<std::string> remotes;
    for (const RowRecord& row : record.rows) {
        if (!row.failed) continue;
        sources.push_back(row.source);
        remotes.push_back(row.remote);
    }
    const std::vector<std::string> own{
        "VELORA_STATE=" + std::string(recovered ? "recovered" : "failed"),
        "VELORA_ROWS_FAILED=" + std::to_string(record.rowsFailed()),
        "VELORA_SOURCES=" + joinedLines(sources),
        "VELORA_REMOTE_NAMES=" + joinedLines(remotes),
        "VELORA_FIRST_ERROR=" + record.firstError,
        "VELORA_TIME=" + record.started,
    };
    // Values of the same names inherited from outside give way to the run's.
    std::vector<std::string> env;
    for (const std::string& e : environment_)
        if (e.rfind("VELORA_", 0) != 0) env.push_back(e);
    env.insert(env.end(), own.begin(), own.end());
    return env;
}

void FailureHook::fire(const std::string& commandLine, const RunRecord& record, bool recovered) {
    if (commandLine.empty()) return;
    const std::string label = std::string(kLogName) + " (" + (recovered ? "recovered" : "failed") + ")";
    std::string error;
    const std::vector<std::string> words = splitCommandLine(commandLine, error);
    if (words.empty()) {
        log_.write(label + ": not run: " + (error.empty() ? "no command given" : error));
        return;
    }
    const CommandResult r = runBounded(words, environmentFor(record, recovered), limits_);
    if (!r.started) {
        log_.write(label + ": not run: " + r.error);
        return;
    }
    std::string line = label + ": " + words[0] + " " + describe(r, limits_.timeoutMs / 1000);
    if (!r.firstLine.empty()) line += ": " + r.firstLine;
    if (r.outputBytes > r.firstLine.size() + 2)
        line += " (" + std::to_string(r.outputBytes) + " bytes of output, only the first line kept)";
    log_.write(line);
}

}  // namespace velora::cli
