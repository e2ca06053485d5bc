#pragma once
// velora-cli calendar: the weekly calendar's planned minutes ("feste Zeiten") in the
// store, shown compactly and marked or cleared by day and time range.
#include <string>
#include <vector>

#include "cli/AdminStore.h"
#include "schedule/WeekCalendar.h"

namespace velora::cli {

std::string calendarHelp();
// `args` are the words after "calendar".
int runCalendar(const std::vector<std::string>& args, const AdminContext& context);

// The marked minutes of one day as ranges and single times: "06:00-06:55 every 5 min,
// 12:00-12:02, 18:30"; "none" when nothing is marked.
std::string compactMinutes(const WeekCalendar::Day& day);
// The minutes such a text names (each once), or the reason it names none.
struct ParsedMinutes {
    std::vector<int> minutes;
    std::string error;   // empty when the text was read
};
ParsedMinutes parseCompactMinutes(const std::string& text);

}  // namespace velora::cli
