#include "cli/PlannedRuns.h"

#include <cstdio>

namespace velora::cli {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Far enough to pass a week with one marked minute three times.
constexpr int kFixedScanMinutes = 3 * 7 * kMinutesPerDay + 1;

bool markedAt(const WeekCalendar& calendar, const DateTime& t) {
    return calendar.marked(t.weekday, t.hour * 60 + t.minute);
}

std::int64_t minuteStart(const DateTime& now) { return civilSeconds(now) - now.second; }

}  // namespace

std::int64_t civilSeconds(const DateTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

DateTime civilTime(std::int64_t seconds) {
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    DateTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    t.weekday = weekdayOf(t.year, t.month, t.day);
    return t;
}

std::string clockText(const DateTime& t) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", t.hour % 100, t.minute % 100);
    return text;
}

std::string stampText(const DateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year % 10000, t.month % 100, t.day % 100,
                  t.hour % 100, t.minute % 100, t.second % 100);
    return text;
}

std::optional<DateTime> parseStamp(const std::string& text) {
    DateTime t;
    char tail = 0;
    if (text.size() != 19 || std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.year, &t.month, &t.day,
                                         &t.hour, &t.minute, &t.second, &tail) != 6)
        return std::nullopt;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return civilTime(civilSeconds(t));
}

std::optional<DateTime> nextPlannedRun(const Settings& settings, const WeekCalendar& calendar, const DateTime& now,
                                       std::int64_t idleSeconds) {
    if (!settings.cb_activ) return std::nullopt;
    if (settings.rb_intervall) {
        const std::int64_t left = settings.se_interval.value() + 1 - idleSeconds;
        return civilTime(civilSeconds(now) + (left > 0 ? left : 0));
    }
    const std::int64_t from = minuteStart(now);
    for (int m = 1; m <= kFixedScanMinutes; ++m) {
        const DateTime t = civilTime(from + m * 60LL);
        if (markedAt(calendar, t)) return t;
    }
    return std::nullopt;
}

std::optional<std::int64_t> plannedSpan(const Settings& settings, const WeekCalendar& calendar, const DateTime& now,
                                        int count) {
    if (!settings.cb_activ || count < 1) return std::nullopt;
    if (settings.rb_intervall) return static_cast<std::int64_t>(count) * (settings.se_interval.value() + 1);
    const std::int64_t nowSeconds = civilSeconds(now);
    const std::int64_t from = minuteStart(now);
    int seen = 0;
    for (int m = 0; m < kFixedScanMinutes; ++m) {
        const std::int64_t at = from - m * 60LL;
        if (!markedAt(calendar, civilTime(at))) continue;
        if (++seen == count) return nowSeconds - at;
    }
    return std::nullopt;
}

}  // namespace velora::cli
