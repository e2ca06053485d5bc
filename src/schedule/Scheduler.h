#pragma once
// The one-second scheduler `Timer1Timer`: shows the second, refreshes the status, and
// while no run is in progress and "Aktiv" is checked starts runs every `se_interval`
// seconds or at the minutes marked in the weekly calendar. While a run is in progress
// it counts down to the forced restart that ends an attempt which did not finish in
// time. One object in the core; the window's timer and the daemon tick it.
#include <bitset>
#include <string>
#include <vector>

#include "app/EventLog.h"
#include "ftp/FtpSession.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "schedule/CalendarView.h"
#include "schedule/RunCycle.h"
#include "schedule/RunState.h"
#include "schedule/RunStatistics.h"
#include "schedule/StartupTicks.h"
#include "schedule/StatusDisplay.h"
#include "schedule/WeekCalendar.h"
#include "settings/Settings.h"

namespace velora {

// A restart delay below this is raised to it as soon as it is entered; a stored one of
// 0 or less counts as this.
inline constexpr int kMinRestartSeconds = 180;
inline constexpr int kRestartPanel = 6;

// The marked minutes already started, by calendar day. The start text alone lets a
// minute start again when the clock shows it twice in one day (the autumn night
// repeats an hour; a time server pulls back a clock that ran ahead). Two days are
// kept, so a step back over midnight is covered as well.
class StartedMinutes {
public:
    // True the first time the minute of `now` is asked for on its date; it is then
    // remembered as started.
    bool firstStart(const DateTime& now);

private:
    struct Day {
        int date = 0;   // yyyymmdd
        std::bitset<kMinutesPerDay> minutes;
    };
    std::vector<Day> days_;   // at most two, the one seen last at the end
};

struct SchedulerParts {
    Settings& settings;
    RunState& state;
    RunCycle& cycle;
    FtpSession& ftp;
    WeekCalendar& calendar;
    CalendarView& calendarView;
    RunStatistics& stats;
    StatusDisplay& status;
    EventLog& log;
    const Clock& clock;
    const Locale& locale;
};

class Scheduler {
public:
    explicit Scheduler(SchedulerParts parts) : p_(parts) {}

    // One tick. The front end's minimised-start step runs first.
    void Timer1Timer(StartupTicks& minimisedStart);
    // True when a fixed-time run is due now (marks the minute started).
    bool CheckFixedTimeDue();
    // Change of `se_restart`: below 180 it is raised to 180; then it is the delay.
    void se_restartChange();

    // "Montag den 07.12.2026 um 9:5"
    std::string startText(const DateTime& now) const;
    // The delay in force: `RestartSeconds`, or 180 for a stored 0 or less.
    int restartSeconds() const;

private:
    void countDownToRestart();
    void startWhenDue();

    SchedulerParts p_;
    StartedMinutes started_;
};

}  // namespace velora
