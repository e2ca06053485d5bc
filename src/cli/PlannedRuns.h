#pragma once
// When the schedule plans runs, for the daemon's status line and for velora-cli status:
// the next planned run and how far back a number of planned runs reaches. Times are the
// local calendar times the program's clock gives; seconds between them are counted on
// the calendar alone (no time zone applied), so an hour changed by daylight saving
// moves an age by that hour at most.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "schedule/WeekCalendar.h"
#include "settings/Settings.h"

namespace velora::cli {

// Seconds since 1970-01-01 00:00 of a calendar time, and back (weekday included).
std::int64_t civilSeconds(const DateTime& t);
DateTime civilTime(std::int64_t seconds);
// "14:05" and "2026-12-09 14:05:09".
std::string clockText(const DateTime& t);
std::string stampText(const DateTime& t);
// A stamp as stampText writes it; nullopt for anything else.
std::optional<DateTime> parseStamp(const std::string& text);

// The next run the schedule plans after `now`. In interval mode a run starts once
// "Intervall" + 1 idle ticks are counted; `idleSeconds` have been counted so far. In
// the mode "feste Zeiten", the next marked minute of the calendar after the current
// one. Nothing when "Aktiv" is off or no minute is marked.
std::optional<DateTime> nextPlannedRun(const Settings& settings, const WeekCalendar& calendar, const DateTime& now,
                                       std::int64_t idleSeconds);

// Seconds back from `now` that `count` planned runs take: in interval mode `count`
// intervals, in fixed times back to the `count`-th marked minute before now (within
// three weeks). Nothing when "Aktiv" is off or no minute is marked.
std::optional<std::int64_t> plannedSpan(const Settings& settings, const WeekCalendar& calendar, const DateTime& now,
                                        int count);

}  // namespace velora::cli
