#pragma once
// The whole configuration as one readable JSON document, for velora-cli export and
// import: the settings by their value names, the column widths, the file table rows
// ("Aktiv", "TAG", "Quelle", "FTP Pfad", "FTP Name"), the FTP folder presets, the
// weekly calendar (each day's planned minutes in the compact form of "velora-cli
// calendar") and the counters. "format" and "version" say what it is; a reader takes
// only the version it knows.
#include <array>
#include <string>
#include <vector>

#include "filetable/FileTable.h"
#include "schedule/WeekCalendar.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"

namespace velora::cli {

inline constexpr const char* kDocumentFormat = "velora-config";
inline constexpr int kDocumentVersion = 1;

struct Configuration {
    Settings settings;
    RunCounters counters;
    std::array<int, kFileColumns> widths{};
    std::vector<FileTable::Row> rows;   // as loaded: Aktiv, TAG, Quelle, FTP Pfad, FTP Name
    std::array<WeekCalendar::Day, 8> days{};   // index 1..7: the minute states
    // Whether the document gave each password (an export without them leaves the
    // store's own in place on import).
    bool hasLoginPwd = true;
    bool hasProxyPwd = true;
};

// The document's text (two-space indents, a line break at the end). Passwords only
// with `withPasswords`. Throws std::runtime_error naming a value that is not UTF-8.
std::string writeDocument(Configuration& config, bool withPasswords);

// Reads and checks a whole document over the built-in defaults. The first problem
// found ends the reading: `error` names it (the field's path, what it takes).
struct ReadDocument {
    Configuration config;
    std::string error;
};
ReadDocument readDocument(const std::string& text, const Environment& env);

}  // namespace velora::cli
