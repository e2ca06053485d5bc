#pragma once
// What velora-cli status tells: read from the settings store, the record of the last
// run and the daemon's process id file, without starting the program (no log view, no
// network, nothing written to the store). The health is the monitoring plugins' scale.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/AdminCommands.h"
#include "cli/DaemonPidFile.h"
#include "cli/RunRecord.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"

namespace velora::cli {

// Without a limit given, a row is late after this many planned runs.
inline constexpr int kLatePlannedRuns = 3;
// The limit when the schedule plans nothing ("Aktiv" off, no minute marked).
inline constexpr std::int64_t kUnplannedLimitSeconds = 24 * 3600;

enum class Health : int { Ok = 0, Late = 1, Critical = 2, Unknown = 3 };

struct RowStatus {
    RowRecord row;
    std::optional<std::int64_t> ageSeconds;   // since its last store; none: never stored
    bool late = false;
};

struct StatusReport {
    std::string storePath;
    std::string error;                   // set when the state cannot be read (Health::Unknown)
    DaemonProbe daemon;
    Settings settings;
    RunCounters counters;
    bool fixedTimes = false;
    std::optional<DateTime> nextRun;
    std::optional<RunRecord> lastRun;
    std::vector<RowStatus> rows;
    std::int64_t limitSeconds = 0;
    bool limitGiven = false;             // --max-age, else planned runs
    Health health = Health::Unknown;
    std::string healthText;              // the one line of --check, after its state word
};

// Reads everything and judges it. `maxAgeSeconds` replaces the limit of three planned runs.
StatusReport readStatus(const AdminServices& services, std::optional<std::int64_t> maxAgeSeconds);

// "30m", "2h", "90s", "1d" or plain seconds; nothing for anything else or for 0.
std::optional<std::int64_t> parseDuration(const std::string& text);
// "3 m 5 s"-style text of a number of seconds ("2 d 4 h", "59 s").
std::string durationText(std::int64_t seconds);

}  // namespace velora::cli
