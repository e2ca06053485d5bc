#include <climits>
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Locale.h"
#include "support/ScopedEnv.h"

namespace velora {
namespace {

TEST(LocaleTest, GermanDateAndTime) {
    const Locale de = Locale::german();
    const DateTime t{2026, 12, 8, 14, 5, 9, 0, 3};
    EXPECT_EQ(de.shortDate(t), "08.12.2026");
    EXPECT_EQ(de.longTime(t), "14:05:09");
    EXPECT_EQ(de.shortDate({2000, 2, 29, 0, 0, 0, 0, 3}), "29.02.2000");
    EXPECT_EQ(de.longTime({2000, 2, 29, 0, 0, 0, 999, 3}), "00:00:00");
    EXPECT_EQ(de.decimalSeparator(), ',');
}

TEST(LocaleTest, OtherPatternsAndSeparators) {
    const Locale us("%m/%d/%Y", "%I:%M:%S %p", '.', ",");
    const DateTime t{2026, 12, 8, 14, 5, 9, 0, 3};
    EXPECT_EQ(us.shortDate(t), "12/08/2026");
    EXPECT_EQ(us.longTime(t), "02:05:09 PM");
    EXPECT_EQ(us.withThousands(1234567), "1,234,567");
    EXPECT_EQ(us.fixed2(12.345), "12.35");
    const Locale weekday("%a %d.%m.", "%H.%M", ',', "");
    EXPECT_EQ(weekday.shortDate(t), "Tue 08.12.");  // from the weekday field, not the TZ
    EXPECT_EQ(weekday.withThousands(1234567), "1234567");
    EXPECT_EQ(Locale("%j", "", ',', "").shortDate({2024, 3, 1, 0, 0, 0, 0, 6}), "061");
    EXPECT_EQ(Locale("", "", ',', ".").longTime(t), "");
}

TEST(LocaleTest, DurationIsHoursMinutesSecondsInEveryLocale) {
    const struct {
        std::int64_t ms;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},       {999, "00:00:00"},        {1000, "00:00:01"},       {3723000, "01:02:03"},
        {86399999, "23:59:59"}, {90000000, "25:00:00"}, {-5000, "00:00:00"},      {INT64_MIN, "00:00:00"},
    };
    const Locale english("%m/%d/%Y", "%I:%M:%S %p", '.', ",");
    for (const auto& c : cases) {
        EXPECT_EQ(Locale::german().durationAsTime(c.ms), c.text) << c.ms;
        EXPECT_EQ(english.durationAsTime(c.ms), c.text) << c.ms;
    }
}

TEST(LocaleTest, ThousandsGrouping) {
    const Locale de = Locale::german();
    const struct {
        std::uint64_t value;
        const char* text;
    } cases[] = {
        {0, "0"},           {7, "7"},           {999, "999"},
        {1000, "1.000"},    {12345, "12.345"},  {1234567, "1.234.567"},
        {4294967295u, "4.294.967.295"}, {UINT64_MAX, "18.446.744.073.709.551.615"},
    };
    for (const auto& c : cases) EXPECT_EQ(de.withThousands(c.value), c.text) << c.value;
}

TEST(LocaleTest, TwoDecimalsRoundHalfAwayFromZero) {
    const Locale de = Locale::german();
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0,00"},       {12.345, "12,35"},   {0.125, "0,13"},    {2.675, "2,68"},
        {1.005, "1,01"},     {0.004, "0,00"},     {0.005, "0,01"},    {-0.005, "-0,01"},
        {-0.001, "0,00"},    {-12.345, "-12,35"}, {99.995, "100,00"}, {1234.5, "1234,50"},
        {0.1, "0,10"},       {1e-300, "0,00"},    {4294967295.0, "4294967295,00"},
        {1e20, "100000000000000000000,00"},
    };
    for (const auto& c : cases) EXPECT_EQ(de.fixed2(c.value), c.text) << c.value;
}

TEST(LocaleTest, SystemLocaleInTheCLocale) {
    test::ScopedEnv all("LC_ALL", "C");
    const Locale c = Locale::system();
    EXPECT_EQ(c.shortDate({2026, 12, 8, 14, 5, 9, 0, 3}), "12/08/26");
    EXPECT_EQ(c.longTime({2026, 12, 8, 14, 5, 9, 0, 3}), "14:05:09");
    EXPECT_EQ(c.decimalSeparator(), '.');
    EXPECT_EQ(c.withThousands(1234567), "1234567");
}

TEST(ClockTest, WeekdaysOfKnownDates) {
    const struct {
        int y, m, d, weekday;
    } cases[] = {
        {1970, 1, 1, 5},  {2026, 12, 8, 3}, {2000, 2, 29, 3}, {2024, 3, 1, 6},
        {1900, 1, 1, 2},  {2010, 1, 31, 1}, {2027, 1, 2, 7},  {1600, 1, 1, 7},
    };
    for (const auto& c : cases)
        EXPECT_EQ(weekdayOf(c.y, c.m, c.d), c.weekday) << c.y << "-" << c.m << "-" << c.d;
}

TEST(ClockTest, MillisecondsOfDay) {
    EXPECT_EQ((DateTime{2026, 1, 1, 0, 0, 0, 0, 5}).msOfDay(), 0);
    EXPECT_EQ((DateTime{2026, 1, 1, 23, 59, 59, 999, 5}).msOfDay(), 86399999);
    EXPECT_EQ((DateTime{2026, 1, 1, 1, 2, 3, 4, 5}).msOfDay(), 3723004);
}

TEST(ClockTest, ManualClockRollsOverCalendarBoundaries) {
    const struct {
        DateTime start;
        std::int64_t step;
        DateTime expected;
    } cases[] = {
        {{2026, 12, 8, 23, 59, 59, 900, 3}, 200, {2026, 12, 9, 0, 0, 0, 100, 4}},
        {{2026, 12, 8, 14, 5, 9, 0, 3}, 1000, {2026, 12, 8, 14, 5, 10, 0, 3}},
        {{2026, 12, 8, 14, 59, 59, 0, 3}, 1000, {2026, 12, 8, 15, 0, 0, 0, 3}},
        {{2026, 1, 31, 23, 59, 59, 0, 7}, 1000, {2026, 2, 1, 0, 0, 0, 0, 1}},
        {{2023, 2, 28, 23, 59, 59, 0, 3}, 1000, {2023, 3, 1, 0, 0, 0, 0, 4}},
        {{2024, 2, 28, 23, 59, 59, 0, 4}, 1000, {2024, 2, 29, 0, 0, 0, 0, 5}},
        {{2000, 2, 28, 12, 0, 0, 0, 2}, 86400000, {2000, 2, 29, 12, 0, 0, 0, 3}},
        {{2100, 2, 28, 12, 0, 0, 0, 1}, 86400000, {2100, 3, 1, 12, 0, 0, 0, 2}},
        {{2026, 12, 31, 23, 59, 59, 999, 5}, 1, {2027, 1, 1, 0, 0, 0, 0, 6}},
        {{2026, 12, 8, 14, 5, 9, 0, 3}, 7 * 86400000LL, {2026, 12, 15, 14, 5, 9, 0, 3}},
        {{2026, 12, 8, 14, 5, 9, 0, 3}, 400 * 86400000LL, {2028, 1, 12, 14, 5, 9, 0, 4}},
        {{2027, 1, 1, 0, 0, 0, 0, 6}, -1, {2026, 12, 31, 23, 59, 59, 999, 5}},
        {{2026, 3, 1, 0, 0, 0, 500, 1}, -1000, {2026, 2, 28, 23, 59, 59, 500, 7}},
    };
    for (const auto& c : cases) {
        ManualClock clock(c.start);
        clock.advanceMs(c.step);
        EXPECT_EQ(clock.now(), c.expected)
            << c.start.year << "-" << c.start.month << "-" << c.start.day << " +" << c.step;
    }
}

TEST(ClockTest, ManualClockTicksAndSleepsOnlyWhenTold) {
    ManualClock clock;
    const std::int64_t tick = clock.tickMs();
    const DateTime start = clock.now();
    EXPECT_EQ(clock.now(), start);
    clock.sleepMs(100);
    EXPECT_EQ(clock.tickMs(), tick + 100);
    EXPECT_EQ(clock.now().msOfDay(), start.msOfDay() + 100);
    clock.set({2026, 6, 1, 8, 0, 0, 0, 2});
    EXPECT_EQ(clock.tickMs(), tick + 100);  // the tick is independent of the calendar
    clock.advanceMs(60000);
    EXPECT_EQ(clock.now(), (DateTime{2026, 6, 1, 8, 1, 0, 0, 2}));
}

TEST(ClockTest, SystemClockIsConsistent) {
    SystemClock clock;
    const DateTime now = clock.now();
    EXPECT_EQ(now.weekday, weekdayOf(now.year, now.month, now.day));
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LT(now.millisecond, 1000);
    const std::int64_t before = clock.tickMs();
    clock.sleepMs(20);
    EXPECT_GE(clock.tickMs() - before, 20);
}

}  // namespace
}  // namespace velora
