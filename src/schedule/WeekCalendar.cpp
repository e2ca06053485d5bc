#include "schedule/WeekCalendar.h"

#include <algorithm>

namespace velora {

std::int32_t WeekCalendar::state(int day, int minuteOfDay) const {
    if (!validDay(day) || !validMinute(minuteOfDay)) return kFree;
    return minutes(day)[static_cast<std::size_t>(minuteOfDay)];
}

void WeekCalendar::setState(int day, int minuteOfDay, std::int32_t value) {
    if (!validDay(day) || !validMinute(minuteOfDay)) return;
    minutes(day)[static_cast<std::size_t>(minuteOfDay)] = value;
}

std::int32_t WeekCalendar::files(int day) const {
    return validDay(day) ? counters_.filesPerWeekday[static_cast<std::size_t>(day)] : 0;
}

std::int32_t WeekCalendar::bytes(int day) const {
    return validDay(day) ? counters_.bytesPerWeekday[static_cast<std::size_t>(day)] : 0;
}

std::vector<std::int32_t> WeekCalendar::record(int day) const {
    std::vector<std::int32_t> r(minutes(day).begin(), minutes(day).end());
    r.push_back(files(day));
    r.push_back(bytes(day));
    return r;
}

int WeekCalendar::plannedCount(int day) const {
    const Day& d = minutes(day);
    return static_cast<int>(std::count_if(d.begin(), d.end(), [](std::int32_t s) { return s > 0; }));
}

void WeekCalendar::markedMinutesBecome(int day, std::int32_t value) {
    for (auto& s : minutes(day))
        if (s > 0) s = value;
}

void WeekCalendar::resetDay(int day) {
    if (!validDay(day)) return;
    counters_.filesPerWeekday[static_cast<std::size_t>(day)] = 0;
    counters_.bytesPerWeekday[static_cast<std::size_t>(day)] = 0;
    markedMinutesBecome(day, kPlanned);
}

void WeekCalendar::resetRestOfToday(const DateTime& now) {
    if (!validDay(now.weekday)) return;
    Day& d = minutes(now.weekday);
    for (int m = std::max(0, now.hour * 60 + now.minute); m < kMinutesPerDay; ++m) {
        auto& s = d[static_cast<std::size_t>(m)];
        if (s > 0) s = kPlanned;
    }
}

}  // namespace velora
