#pragma once
// Time as the program sees it: local calendar time and a millisecond tick. Every rule
// that depends on time takes a Clock, so tests pin midnight, weekdays and the
// two-second steps of file stamps without sleeping.
#include <cstdint>
#include <ctime>

namespace velora {

struct DateTime {
    int year = 1970;
    int month = 1;        // 1..12
    int day = 1;          // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 5;      // 1 = Sunday ... 7 = Saturday (1970-01-01 was a Thursday)

    // Milliseconds since local midnight: the "time of day" the passes measure with.
    std::int64_t msOfDay() const;
    bool operator==(const DateTime&) const = default;
};

// Weekday (1 = Sunday ... 7 = Saturday) of a Gregorian date.
int weekdayOf(int year, int month, int day);

// The C library's broken-down time of a calendar time, built from the fields alone
// (no time zone applied, daylight saving left for mktime to decide).
std::tm brokenDown(const DateTime& t);

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, int m, int d);

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;
    // A monotonic millisecond counter.
    virtual std::int64_t tickMs() const = 0;
    // The program's fixed short waits (100 ms before each upload) go through here.
    virtual void sleepMs(int ms) = 0;
};

class SystemClock final : public Clock {
public:
    DateTime now() const override;
    std::int64_t tickMs() const override;
    void sleepMs(int ms) override;
};

// A clock that moves only when told; sleeping advances it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(DateTime start = {2026, 12, 8, 14, 5, 9, 0, 3});
    DateTime now() const override { return now_; }
    std::int64_t tickMs() const override { return tick_; }
    void sleepMs(int ms) override { advanceMs(ms); }

    void set(const DateTime& t) { now_ = t; }
    void advanceMs(std::int64_t ms);  // rolls over seconds, minutes, days, months

private:
    DateTime now_;
    std::int64_t tick_ = 1000;
};

}  // namespace velora
