#pragma once
// The weekly calendar: for every minute of the seven weekdays (1 = Sunday ... 7 =
// Saturday) whether a run is planned there (1) or was started there (2), and each
// weekday's counters of files and bytes sent. The counters are the statistics' own
// (RunCounters); the calendar shows them as the last two numbers of the day record,
// so both always agree.
#include <array>
#include <cstdint>
#include <vector>

#include "platform/Clock.h"
#include "settings/RunCounters.h"

namespace velora {

inline constexpr int kMinutesPerDay = 1440;
inline constexpr int kDayRecordSize = kMinutesPerDay + 2;
inline constexpr int kFilesIndex = 1440;
inline constexpr int kBytesIndex = 1441;

// Day names of the calendar's and the scheduler's texts, by weekday number.
inline constexpr std::array<const char*, 8> kDayNames{"",         "Sonntag",    "Montag",  "Dinstag",
                                                      "Mitwoch",  "Donnerstag", "Freitag", "Samstag"};

enum MinuteState : std::int32_t { kFree = 0, kPlanned = 1, kStarted = 2 };

class WeekCalendar {
public:
    using Day = std::array<std::int32_t, kMinutesPerDay>;

    explicit WeekCalendar(RunCounters& counters) : counters_(counters) {}

    static bool validDay(int day) { return day >= 1 && day <= 7; }
    static bool validMinute(int minute) { return minute >= 0 && minute < kMinutesPerDay; }

    // Outside the week or the day: 0, and a write does nothing.
    std::int32_t state(int day, int minuteOfDay) const;
    void setState(int day, int minuteOfDay, std::int32_t value);
    bool marked(int day, int minuteOfDay) const { return state(day, minuteOfDay) > 0; }

    // The minute states of a day (1..7).
    const Day& minutes(int day) const { return days_.at(static_cast<std::size_t>(day)); }
    Day& minutes(int day) { return days_.at(static_cast<std::size_t>(day)); }

    std::int32_t files(int day) const;
    std::int32_t bytes(int day) const;
    // The day record: the 1440 minute states, then files and bytes.
    std::vector<std::int32_t> record(int day) const;
    // Minutes with a state above 0.
    int plannedCount(int day) const;

    // Every minute state of the day above 0 becomes `value` (1: planned again).
    void markedMinutesBecome(int day, std::int32_t value);
    // A new day has begun: its counters restart at 0 and its started minutes are
    // planned again.
    void resetDay(int day);
    // At start-up: the marked minutes of today from the current minute to 23:59 are
    // planned again; earlier minutes and other days keep their states.
    void resetRestOfToday(const DateTime& now);

private:
    RunCounters& counters_;
    std::array<Day, 8> days_{};   // index 1..7
};

}  // namespace velora
