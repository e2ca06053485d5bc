// The weekly calendar: the start-up reset of today, the grid handlers and the commands
// of `pm_kalender`, and what RedrawCalendar and the drawing rules say the page shows.
// German formats; the clock stands at Tuesday (3) 08.12.2026 14:05:09.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

using test::RunWorld;

// A pattern that differs from minute to minute and day to day: 0, 1 and 2 all occur.
std::int32_t pattern(int day, int minute) { return (day + minute) % 3; }

// The fixture counts the redraws the window would paint.
class WeekCalendarTest : public ::testing::Test, public CalendarView::Listener {
protected:
    RunWorld w;
    WeekCalendar& cal = w.calendar;
    CalendarView& view = w.calendarView;
    int redraws = 0;

    void SetUp() override { view.setListener(this); }
    void calendarRedrawn() override { ++redraws; }

    void fill(const std::function<std::int32_t(int, int)>& f) {
        for (int d = 1; d <= 7; ++d)
            for (int m = 0; m < kMinutesPerDay; ++m) cal.setState(d, m, f(d, m));
    }
    // The first minute (day, minute) whose state differs from `expected`, or "".
    std::string firstDifference(const std::function<std::int32_t(int, int)>& expected) const {
        for (int d = 1; d <= 7; ++d)
            for (int m = 0; m < kMinutesPerDay; ++m)
                if (cal.state(d, m) != expected(d, m))
                    return "day " + std::to_string(d) + " minute " + std::to_string(m) + ": " +
                           std::to_string(cal.state(d, m)) + " instead of " + std::to_string(expected(d, m));
        return "";
    }
};

TEST_F(WeekCalendarTest, StartUpResetPlansTheRestOfTodayAndNothingElse) {
    struct Case {
        int hour, minute;
        int firstReset;   // minute of the day from which started minutes become planned
    };
    for (const Case c : {Case{23, 59, 1439}, Case{10, 30, 630}, Case{0, 0, 0}}) {
        SCOPED_TRACE(std::to_string(c.hour) + ":" + std::to_string(c.minute));
        fill([](int, int) { return kStarted; });
        cal.setState(3, 1439, kFree);   // a free minute stays free
        cal.resetRestOfToday({2026, 12, 8, c.hour, c.minute, 59, 0, 3});
        EXPECT_EQ(firstDifference([&](int d, int m) {
                      if (d == 3 && m == 1439) return kFree;
                      return d == 3 && m >= c.firstReset ? kPlanned : kStarted;
                  }),
                  "");
    }
}

TEST_F(WeekCalendarTest, MenuCommandsChangeOnlyTheMinuteStatesTheyName) {
    using Expect = std::function<std::int32_t(int, int)>;
    struct Case {
        const char* name;
        int day, hour;
        Expect expected;
    };
    const std::vector<Case> cases{
        {"allesLschen1", 2, 9, [](int, int) { return 0; }},
        {"aglschen1", 2, 9, [](int d, int m) { return d == 2 ? 0 : pattern(d, m); }},
        {"StundeLschen1", 2, 9, [](int d, int m) { return d == 2 && m / 60 == 9 ? 0 : pattern(d, m); }},
        {"CopyaufganzenTag1", 2, 9,
         [](int d, int m) { return d == 2 && m / 60 > 9 ? pattern(2, 540 + m % 60) : pattern(d, m); }},
        {"CopyaufganzenTag1", 2, 23, pattern},
        {"CopydiesenTagaufvorigenTagederWoche1", 4, 0, [](int d, int m) { return d < 4 ? pattern(4, m) : pattern(d, m); }},
        {"CopydiesenTagaufvorigenTagederWoche1", 1, 0, pattern},
        {"CopydiesenTagaufAlleTage1", 4, 0, [](int d, int m) { return d > 4 ? pattern(4, m) : pattern(d, m); }},
        {"CopydiesenTagaufAlleTage1", 7, 0, pattern},
        {"agaufgeplantSetzen1", 2, 9,
         [](int d, int m) { return d == 2 && pattern(d, m) == kStarted ? kPlanned : pattern(d, m); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " on day " + std::to_string(c.day) + " hour " + std::to_string(c.hour));
        fill(pattern);
        for (int d = 1; d <= 7; ++d) {
            w.counters.filesPerWeekday[static_cast<std::size_t>(d)] = 10 + d;
            w.counters.bytesPerWeekday[static_cast<std::size_t>(d)] = 1000 * d;
        }
        view.SelectedDay = c.day;
        view.SelectedHour = c.hour;
        const auto& items = CalendarView::pm_kalender();
        const auto item = std::find_if(items.begin(), items.end(),
                                       [&](const CalendarView::MenuItem& i) { return std::string(i.name) == c.name; });
        ASSERT_NE(item, items.end());
        redraws = 0;

        (view.*(item->command))();

        EXPECT_EQ(firstDifference(c.expected), "");
        EXPECT_EQ(redraws, 1);
        for (int d = 1; d <= 7; ++d) {
            EXPECT_EQ(cal.files(d), 10 + d);
            EXPECT_EQ(cal.bytes(d), 1000 * d);
        }
    }
}

TEST_F(WeekCalendarTest, DoubleClickFreesAnyMarkedMinuteAndPlansAFreeOne) {
    view.sg_stdSelectCell(10, 2);   // Monday, hour 9
    view.sg_minSelectCell(5);
    for (const auto& [before, after] : std::vector<std::pair<std::int32_t, std::int32_t>>{{0, 1}, {1, 0}, {2, 0}}) {
        cal.setState(2, 9 * 60 + 5, before);
        view.sg_minDblClick();
        EXPECT_EQ(cal.state(2, 9 * 60 + 5), after) << "from " << before;
        EXPECT_EQ(view.display().minuteRow[5], after ? "X" : "");
    }
}

TEST_F(WeekCalendarTest, RedrawShowsTheSelectionTheMinuteRowAndTheSums) {
    cal.setState(2, 9 * 60 + 0, kPlanned);
    cal.setState(2, 9 * 60 + 59, kStarted);
    cal.setState(2, 10 * 60, kPlanned);
    cal.setState(7, 0, kPlanned);
    w.counters.filesPerWeekday[2] = 3;
    w.counters.bytesPerWeekday[2] = 1023;
    w.counters.bytesPerWeekday[3] = 1024;
    w.counters.bytesPerWeekday[7] = -1;   // shown unsigned: 4294967295 bytes
    w.state.LastFixedStart = "Montag den 07.12.2026 um 9:5";
    w.stats.noteUploadDuration(7000);

    view.sg_stdSelectCell(0, 3);    // the fixed column selects nothing
    view.sg_stdSelectCell(10, 0);   // nor the fixed row
    EXPECT_EQ(redraws, 0);
    view.sg_stdSelectCell(10, 2);
    view.sg_minSelectCell(37);

    const CalendarDisplay& d = view.display();
    EXPECT_EQ(d.l_sel_tag, "Tag 2");
    EXPECT_EQ(d.l_sel_std, "Stunde 9");
    EXPECT_EQ(d.l_sel_zeit, "Select Montag um 9:37");
    EXPECT_EQ(d.l_sel_min, "37");
    EXPECT_EQ(d.l_sel_min_offset, 37 * 8);
    std::vector<int> marked;
    for (int m = 0; m < 60; ++m)
        if (d.minuteRow[static_cast<std::size_t>(m)] == "X") marked.push_back(m);
    EXPECT_EQ(marked, (std::vector<int>{0, 59}));
    struct Line {
        int day;
        const char *soll, *ist, *byte;
    };
    for (const Line l : {Line{1, "0", "0", "0 KB"}, Line{2, "3", "3", "0 KB"}, Line{3, "0", "0", "1 KB"},
                         Line{7, "1", "0", "4.194.303 KB"}}) {
        SCOPED_TRACE(l.day);
        EXPECT_EQ(d.days[static_cast<std::size_t>(l.day)].soll, l.soll);
        EXPECT_EQ(d.days[static_cast<std::size_t>(l.day)].ist, l.ist);
        EXPECT_EQ(d.days[static_cast<std::size_t>(l.day)].byte, l.byte);
    }
    // The week's bytes wrap at 32 bits: 1023 + 1024 + 4294967295 = 2046.
    EXPECT_EQ(d.totals.soll, "4");
    EXPECT_EQ(d.totals.ist, "3");
    EXPECT_EQ(d.totals.byte, "1 KB");
    EXPECT_EQ(d.l_zeit_start_alt, "Montag den 07.12.2026 um 9:5");
    EXPECT_EQ(d.l_dauer_max, "00:00:07");
}

TEST_F(WeekCalendarTest, HourCellsDrawEachMarkedMinuteAsATwoByThreeMark) {
    cal.setState(2, 9 * 60 + 0, kPlanned);
    cal.setState(2, 9 * 60 + 13, kStarted);
    cal.setState(2, 9 * 60 + 59, 5);   // never written by the program: drawn as planned
    cal.setState(2, 9 * 60 + 30, -1);  // not marked
    view.sg_stdSelectCell(10, 2);

    const HourCellPaint selected = view.sg_stdDrawCell(10, 2);
    EXPECT_TRUE(selected.selected);
    EXPECT_EQ(selected.marks, (std::vector<MinuteMark>{{0, 0, 2, 3, CalendarColour::Red},
                                                       {6, 3, 2, 3, CalendarColour::Blue},
                                                       {18, 15, 2, 3, CalendarColour::Red}}));
    const HourCellPaint other = view.sg_stdDrawCell(11, 2);
    EXPECT_FALSE(other.selected);
    EXPECT_TRUE(other.marks.empty());
    EXPECT_TRUE(view.sg_stdDrawCell(0, 2).marks.empty());
}

TEST_F(WeekCalendarTest, MinuteGridFillsTheSelectedDigitsAquaAndMarkedMinutesRed) {
    cal.setState(1, 12, kStarted);
    view.sg_minSelectCell(7);
    struct Case {
        int column, row;
        std::optional<CalendarColour> fill;
    };
    for (const Case c : {Case{7, 0, CalendarColour::Aqua}, Case{7, 1, CalendarColour::Aqua}, Case{7, 2, std::nullopt},
                         Case{12, 0, std::nullopt}, Case{12, 2, CalendarColour::Red}, Case{13, 2, std::nullopt}}) {
        EXPECT_EQ(view.sg_minDrawCell(c.column, c.row), c.fill) << c.column << "," << c.row;
    }
}

}  // namespace
}  // namespace velora
