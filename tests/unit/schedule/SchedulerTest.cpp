// The one-second scheduler with the injected clock: interval and fixed-time starts,
// ticks nested inside a run, the new-day reset, the restart countdown and its delay.
// The runs are real but find nothing to send, so no connection is made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

using test::RunWorld;

const std::string kTransferStart = std::string(58, '-') + " Transfer Start";

class SchedulerTest : public ::testing::Test {
protected:
    RunWorld w;

    void SetUp() override {
        w.settings.cb_activ = true;
        w.settings.se_interval.setValue(10);
    }
    void useFixedTimes() {
        w.settings.rb_intervall = false;
        w.settings.rb_feste_zeiten = true;
    }
    // One tick, one second after the last.
    void tick() {
        w.clock.advanceMs(1000);
        w.scheduler.Timer1Timer(w.noWindow);
    }
    int count(const std::string& text) const {
        return static_cast<int>(std::count(w.lines.begin(), w.lines.end(), text));
    }
    const std::string& panel6() const { return w.status.panels[6]; }
};

TEST_F(SchedulerTest, IntervalRunsStartOnTheEleventhIdleTick) {
    std::vector<int> startedOn;
    for (int t = 1; t <= 33; ++t) {
        const std::size_t before = w.lines.size();
        tick();
        if (std::find(w.lines.begin() + static_cast<long>(before), w.lines.end(), "Modus -> Intervall") != w.lines.end())
            startedOn.push_back(t);
    }
    EXPECT_EQ(startedOn, (std::vector<int>{11, 22, 33}));
    EXPECT_EQ(count(kTransferStart), 3);
    EXPECT_EQ(w.state.IntervalCounter, 0);
    // The display comes first in a tick: it shows the count the last tick left.
    tick();
    EXPECT_EQ(w.status.panels[4], "Ist : 0");
    EXPECT_EQ(w.state.IntervalCounter, 1);

    // "Aktiv" off: the ticks still show the second and refresh, nothing starts or counts.
    w.settings.cb_activ = false;
    w.clock.set({2026, 12, 8, 14, 7, 41, 0, 3});
    for (int t = 0; t < 30; ++t) w.scheduler.Timer1Timer(w.noWindow);
    EXPECT_EQ(count(kTransferStart), 3);
    EXPECT_EQ(w.state.IntervalCounter, 1);
    EXPECT_EQ(w.status.progressPosition, 41);
    EXPECT_EQ(w.status.panels[0], "Timer OFF");
}

TEST_F(SchedulerTest, MinimisedStartStepRunsFirstInEveryTick) {
    struct Recording final : StartupTicks {
        std::vector<std::string>* seen;
        const StatusDisplay* status;
        void minimisedStartTick() override { seen->push_back("minimised start, panel 0 '" + status->panels[0] + "'"); }
    };
    std::vector<std::string> seen;
    Recording first;
    first.seen = &seen;
    first.status = &w.status;
    w.scheduler.Timer1Timer(first);
    w.scheduler.Timer1Timer(first);
    EXPECT_EQ(seen, (std::vector<std::string>{"minimised start, panel 0 ''", "minimised start, panel 0 'Timer ON'"}));
}

TEST_F(SchedulerTest, TicksNestedInsideARunOnlyCountDown) {
    w.state.IntervalCounter = 10;
    int nested = 0;
    std::vector<std::string> panels;
    bool inNested = false;
    // Every pumped point of the run lets one more second's tick in.
    w.ui.onPump = [&] {
        if (inNested || !w.state.in_work) return;
        inNested = true;
        ++nested;
        tick();
        panels.push_back(panel6());
        inNested = false;
    };

    tick();   // the eleventh: starts the run

    ASSERT_GE(nested, 3);
    EXPECT_EQ(count(kTransferStart), 1);
    EXPECT_EQ(count("Modus -> Intervall"), 1);
    EXPECT_EQ(panels.front(), "Restart in 599 sec.");
    EXPECT_EQ(panels.back(), "Restart in " + std::to_string(600 - nested) + " sec.");
    EXPECT_EQ(w.state.RestartCounter, nested);
    EXPECT_EQ(w.state.IntervalCounter, 0);   // nested ticks are not counted
    EXPECT_FALSE(w.state.in_work);
    w.ui.onPump = nullptr;
    tick();
    EXPECT_EQ(panel6(), "");
    EXPECT_EQ(w.state.IntervalCounter, 1);
}

TEST_F(SchedulerTest, FixedTimeStartsExactlyOneRunInAMarkedMinute) {
    useFixedTimes();
    w.calendar.setState(3, 14 * 60 + 5, kPlanned);
    w.clock.set({2026, 12, 8, 14, 4, 30, 0, 3});
    w.state.LastWeekday = 3;
    for (int t = 0; t < 120; ++t) tick();   // 14:04:31 to 14:06:30

    EXPECT_EQ(count("Modus -> feste Zeiten"), 1);
    EXPECT_EQ(count(kTransferStart), 1);
    EXPECT_EQ(w.calendar.state(3, 14 * 60 + 5), kStarted);
    EXPECT_EQ(w.state.LastFixedStart, "Dinstag den 08.12.2026 um 14:5");
    EXPECT_EQ(w.status.l_zeit_start_alt, "Dinstag den 08.12.2026 um 14:5");
    EXPECT_EQ(w.calendarView.display().l_zeit_start_alt, "Dinstag den 08.12.2026 um 14:5");
    EXPECT_TRUE(w.status.panels[3].empty());

    // The same minute a week later starts again: the start text carries the date.
    w.calendar.setState(3, 14 * 60 + 5, kPlanned);
    w.clock.set({2026, 12, 15, 14, 4, 59, 0, 3});
    tick();
    EXPECT_EQ(count("Modus -> feste Zeiten"), 2);
}

TEST_F(SchedulerTest, MarkedMinuteStartsOnceADayWhenTheClockGoesBack) {
    useFixedTimes();
    const auto runFrom = [&](const DateTime& from, int minutes) {
        w.clock.set(from);
        for (int t = 0; t < minutes * 60; ++t) tick();
    };
    for (int minute : {2 * 60 + 20, 2 * 60 + 58, 23 * 60 + 57, 23 * 60 + 59}) w.calendar.setState(1, minute, kPlanned);
    // The autumn night: 01:59 summer time to 03:00, which is 02:00 winter time again.
    runFrom({2026, 10, 25, 1, 59, 0, 0, 1}, 61);
    runFrom({2026, 10, 25, 2, 0, 0, 0, 1}, 61);
    EXPECT_EQ(count("Modus -> feste Zeiten"), 2);
    // A time server pulls a clock that ran ahead back over midnight.
    w.calendar.setState(2, 0, kPlanned);
    runFrom({2026, 10, 25, 23, 56, 0, 0, 1}, 5);
    runFrom({2026, 10, 25, 23, 56, 0, 0, 1}, 5);
    EXPECT_EQ(count("Modus -> feste Zeiten"), 5);
}

TEST_F(SchedulerTest, FirstCheckOfANewDayResetsOnlyThatDay) {
    useFixedTimes();
    for (int d : {3, 4}) {
        w.calendar.setState(d, 600, kStarted);
        w.calendar.setState(d, 601, kPlanned);
        w.counters.filesPerWeekday[static_cast<std::size_t>(d)] = 5;
        w.counters.bytesPerWeekday[static_cast<std::size_t>(d)] = 5000;
    }
    w.state.LastWeekday = 3;
    w.clock.set({2026, 12, 9, 0, 0, 1, 0, 4});   // Wednesday

    EXPECT_FALSE(w.scheduler.CheckFixedTimeDue());

    EXPECT_EQ(w.state.LastWeekday, 4);
    EXPECT_EQ(w.calendar.state(4, 600), kPlanned);
    EXPECT_EQ(w.calendar.state(4, 601), kPlanned);
    EXPECT_EQ(w.calendar.files(4), 0);
    EXPECT_EQ(w.calendar.bytes(4), 0);
    EXPECT_EQ(w.calendar.state(3, 600), kStarted);
    EXPECT_EQ(w.calendar.files(3), 5);
    EXPECT_EQ(w.calendar.bytes(3), 5000);
    // Later checks of the same day reset nothing.
    w.counters.filesPerWeekday[4] = 2;
    w.calendar.setState(4, 600, kStarted);
    w.clock.advanceMs(60000);
    w.scheduler.CheckFixedTimeDue();
    EXPECT_EQ(w.calendar.files(4), 2);
    EXPECT_EQ(w.calendar.state(4, 600), kStarted);
}

// A run attempt left waiting (an echo that timed out) is ended by the countdown. A
// stored delay of 0 or less must not switch the restart off.
TEST_F(SchedulerTest, CountdownShowsTheSecondsLeftAndRestartsOnTheLastTick) {
    for (const int stored : {180, 0, -5}) {
        SCOPED_TRACE("stored delay " + std::to_string(stored));
        w.settings.cb_activ = false;
        w.settings.RestartSeconds = stored;
        w.state.in_work = true;
        w.state.RestartCounter = 0;
        w.lines.clear();
        for (int t = 1; t <= 179; ++t) {
            tick();
            ASSERT_EQ(panel6(), "Restart in " + std::to_string(180 - t) + " sec.") << "tick " << t;
            ASSERT_TRUE(w.state.in_work);
        }
        EXPECT_TRUE(w.lines.empty());
        tick();
        EXPECT_FALSE(w.state.in_work);
        EXPECT_EQ(w.state.RestartCounter, 0);
        EXPECT_EQ(w.lines, (std::vector<std::string>{std::string(21, '*'), "*** Timer Restart ***", std::string(21, '*')}));
        tick();
        EXPECT_EQ(panel6(), "");
    }
}

TEST_F(SchedulerTest, DelayLoweredBelowTheCountReachedRestartsAtTheNextTick) {
    w.settings.cb_activ = false;
    w.state.in_work = true;
    w.state.RestartCounter = 300;
    w.settings.se_restart.setValue(200);
    w.scheduler.se_restartChange();
    tick();
    EXPECT_FALSE(w.state.in_work);
    EXPECT_EQ(panel6(), "Restart in 0 sec.");
    EXPECT_TRUE(w.logged("*** Timer Restart ***"));
}

}  // namespace
}  // namespace velora
