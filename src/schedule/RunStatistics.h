#pragma once
// The statistics of what was sent (totals and per weekday, the longest upload pass),
// the status display built from them and from the run flags, and the transfer log,
// a CSV file with one line per upload pass.
#include <cstdint>
#include <string>

#include "app/UiHost.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "schedule/StatusDisplay.h"
#include "schedule/StatusSources.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"
#include "settings/SettingsLogSources.h"
#include "settings/SettingsStore.h"
#include "transfer/UploadPass.h"

namespace velora {

inline constexpr const char* kTransferLogHeader = "Datum;Zeit;Dauer;Anzahl;Bytes";

class RunStatistics : public UploadStatistics {
public:
    RunStatistics(RunCounters& counters, StatusDisplay& status, const StatusSources& sources, const Settings& settings,
                  const Environment& env, const Clock& clock, const Locale& locale, UiHost& ui, SettingsStore& store);

    // The file count and the weekday counters keep their 32-bit format (a file adds
    // its size's low 32 bits there); the byte total takes the whole size.
    void countFile(std::int64_t bytes) override;
    void noteUploadDuration(std::int64_t elapsedMs) override;
    // A relative "Transfer Log" lies in the user's home folder.
    // A full log ("Log_Rotate_KB") is moved aside first.
    std::string AppendTransferLog(std::int32_t files, std::int64_t bytes, std::int64_t elapsedMs) override;
    void UpdateStatusDisplay() override;

    // The totals and the weekday counters into the settings key.
    void SaveRunCounters();
    // Button "Lösche" beside "Max Onlinedauer :".
    void b_dauer_max_clrClick();
    // Milliseconds of the longest upload pass since start (0 at start, not persisted).
    std::int64_t MaxUploadDuration() const { return maxUploadDuration_; }

    // The transfer-log line for a pass, CR LF included, dated now.
    std::string transferLogLine(std::int32_t files, std::int64_t bytes, std::int64_t elapsedMs) const;

private:
    RunCounters& counters_;
    StatusDisplay& status_;
    const StatusSources& sources_;
    const Settings& settings_;
    const Environment& env_;
    const Clock& clock_;
    const Locale& locale_;
    UiHost& ui_;
    SettingsStore& store_;
    std::int64_t maxUploadDuration_ = 0;
};

}  // namespace velora
