// When the schedule plans runs: the next one and how far back three of them reach, in
// both modes, across a week's end; and calendar seconds there and back.
#include <gtest/gtest.h>

#include "cli/PlannedRuns.h"

using namespace velora;

TEST(PlannedRuns, NextRunAndSpanOfPlannedRunsInBothModes) {
    Settings settings;
    settings.cb_activ = true;
    settings.se_interval.setValue(60);
    RunCounters counters;
    WeekCalendar calendar(counters);
    // Tuesday (3) 14:00 and 14:30, Wednesday (4) 06:00.
    calendar.setState(3, 14 * 60, kPlanned);
    calendar.setState(3, 14 * 60 + 30, kPlanned);
    calendar.setState(4, 6 * 60, kPlanned);
    const DateTime now{2026, 12, 8, 14, 5, 9, 0, 3};   // a Tuesday

    // Interval: the 61st idle second starts the run; three runs are 183 s.
    EXPECT_EQ(cli::stampText(*cli::nextPlannedRun(settings, calendar, now, 20)), "2026-12-08 14:05:50");
    EXPECT_EQ(cli::stampText(*cli::nextPlannedRun(settings, calendar, now, 90)), "2026-12-08 14:05:09");
    EXPECT_EQ(cli::plannedSpan(settings, calendar, now, 3), 183);

    settings.rb_intervall = false;
    settings.rb_feste_zeiten = true;
    EXPECT_EQ(cli::stampText(*cli::nextPlannedRun(settings, calendar, now, 0)), "2026-12-08 14:30:00");
    // Back from now: today 14:00, last Wednesday 06:00, last Tuesday 14:30.
    EXPECT_EQ(cli::plannedSpan(settings, calendar, now, 1), 309);
    EXPECT_EQ(cli::plannedSpan(settings, calendar, now, 3), 603309);
    // After Wednesday's run the next is Tuesday's 14:00, a week's end away.
    const DateTime thursday{2026, 12, 10, 9, 0, 0, 0, 5};
    EXPECT_EQ(cli::stampText(*cli::nextPlannedRun(settings, calendar, thursday, 0)), "2026-12-15 14:00:00");

    WeekCalendar empty(counters);
    EXPECT_FALSE(cli::nextPlannedRun(settings, empty, now, 0));
    EXPECT_FALSE(cli::plannedSpan(settings, empty, now, 3));
    settings.cb_activ = false;
    EXPECT_FALSE(cli::nextPlannedRun(settings, calendar, now, 0));
}

TEST(PlannedRuns, CalendarSecondsRoundTripAndStampsParseStrictly) {
    for (const DateTime t : {DateTime{1970, 1, 1, 0, 0, 0, 0, 5}, DateTime{2024, 2, 29, 23, 59, 59, 0, 5},
                             DateTime{2026, 12, 31, 12, 0, 1, 0, 5}, DateTime{2100, 3, 1, 0, 0, 0, 0, 2}}) {
        const DateTime back = cli::civilTime(cli::civilSeconds(t));
        EXPECT_EQ(cli::stampText(back), cli::stampText(t));
        EXPECT_EQ(back.weekday, t.weekday) << cli::stampText(t);
        EXPECT_EQ(cli::stampText(*cli::parseStamp(cli::stampText(t))), cli::stampText(t));
    }
    for (const char* bad : {"", "2026-12-08", "2026-13-08 14:05:09", "2026-12-08 14:05:09x", "2026-12-08T14:05:09"})
        EXPECT_FALSE(cli::parseStamp(bad)) << bad;
}
