#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace velora {

namespace {

constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;


void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int weekdayOfDays(std::int64_t days) {
    // Day 0 (1970-01-01) was a Thursday, weekday 5.
    const std::int64_t w = ((days + 4) % 7 + 7) % 7;  // 0 = Sunday
    return static_cast<int>(w) + 1;
}

}  // namespace

// Counted in 400-year eras so that every leap rule falls out of whole cycles.
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t DateTime::msOfDay() const {
    return ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
}

int weekdayOf(int year, int month, int day) {
    return weekdayOfDays(daysFromCivil(year, month, day));
}

std::tm brokenDown(const DateTime& t) {
    std::tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    parts.tm_isdst = -1;
    return parts;
}

DateTime SystemClock::now() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const time_t seconds = ts.tv_sec;
    tm local{};
    localtime_r(&seconds, &local);
    DateTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    // A leap second is shown as the last ordinary second of its minute.
    t.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    t.weekday = local.tm_wday + 1;
    return t;
}

std::int64_t SystemClock::tickMs() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SystemClock::sleepMs(int ms) {
    if (ms <= 0) return;
    timespec wait{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    timespec rest{};
    while (nanosleep(&wait, &rest) != 0 && errno == EINTR) wait = rest;
}

ManualClock::ManualClock(DateTime start) : now_(start) {}

void ManualClock::advanceMs(std::int64_t ms) {
    tick_ += ms;
    // Work on the absolute day number so that month ends, leap days and year ends
    // (and steps backwards) all come out of the same arithmetic.
    std::int64_t day = daysFromCivil(now_.year, now_.month, now_.day);
    std::int64_t msOfDay = now_.msOfDay() + ms;
    std::int64_t dayShift = msOfDay / kMsPerDay;
    msOfDay %= kMsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMsPerDay;
        --dayShift;
    }
    day += dayShift;
    civilFromDays(day, now_.year, now_.month, now_.day);
    now_.hour = static_cast<int>(msOfDay / 3600000);
    now_.minute = static_cast<int>(msOfDay / 60000 % 60);
    now_.second = static_cast<int>(msOfDay / 1000 % 60);
    now_.millisecond = static_cast<int>(msOfDay % 1000);
    now_.weekday = weekdayOfDays(day);
}

}  // namespace velora
