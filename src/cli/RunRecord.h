#pragma once
// What the last run of the daemon or of velora-cli run left behind, for velora-cli
// status and the failure hook: when it began and ended, how it ended, the status bar's
// panels, and per active row its mark, the size of what it sends and when it was last
// stored successfully. It lives in a key of its own beside the program's values
// (kRunRecordKey), one JSON text written in one transaction, so the program's own
// values are never touched and a reader never sees half a record.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filetable/FileTable.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "schedule/RunCycle.h"

namespace velora::cli {

inline constexpr const char* kRunRecordKey = "\\SOFTWARE\\Norvex\\Kesta\\FTP\\Letzter_Lauf";
inline constexpr const char* kRunRecordValue = "Stand";
inline constexpr int kRunRecordVersion = 1;

struct RowRecord {
    int row = 0;
    std::string source;      // "Quelle"
    std::string remote;      // "FTP Pfad" joined with "FTP Name"
    std::string mark;        // "MSG" after the run
    std::int64_t size = -1;  // bytes of the file the row sends; -1 when it cannot be read
    std::string lastStored;  // stamp of the last run that left the row current; empty: never
    bool failed = false;
};

struct RunRecord {
    std::string started;     // stamps as PlannedRuns' stampText writes them
    std::string finished;
    std::string outcome;     // "done", "server unreachable", "failed"
    std::string firstError;  // empty when nothing failed
    std::vector<std::string> panels;   // the status bar
    std::vector<RowRecord> rows;       // active rows only

    int rowsFailed() const;
};

// A row a run should have made current and did not: "Error", "NF", "IOERROR", "BUSY" or
// still "NEU".
bool markFailed(const std::string& mark);

// The record after a run that ended `outcome`, begun at `started`: rows that are current
// now take `started` as their last store, the others keep what `previous` said of the
// same row (same source and remote name).
RunRecord recordRun(const FileTable& files, const std::optional<RunRecord>& previous, RunOutcome outcome,
                    const std::string& serverText, const DateTime& started, const DateTime& finished,
                    const std::vector<std::string>& panels);

// Nothing when no run was recorded yet; a record that cannot be parsed is a
// GeneralError with a text that says so.
std::optional<RunRecord> readRunRecord(Registry& registry);
void writeRunRecord(Registry& registry, const RunRecord& record);

}  // namespace velora::cli
