#include "schedule/Scheduler.h"

#include <algorithm>

namespace velora {

namespace {
const std::string kRestartStars(21, '*');
}  // namespace

bool StartedMinutes::firstStart(const DateTime& now) {
    const int date = (now.year * 100 + now.month) * 100 + now.day;
    auto day = std::find_if(days_.begin(), days_.end(), [date](const Day& d) { return d.date == date; });
    if (day == days_.end()) {
        if (days_.size() == 2) days_.erase(days_.begin());
        days_.push_back({date, {}});
        day = days_.end() - 1;
    }
    const auto minute = static_cast<std::size_t>(now.hour * 60 + now.minute);
    if (day->minutes.test(minute)) return false;
    day->minutes.set(minute);
    return true;
}

int Scheduler::restartSeconds() const {
    return p_.settings.RestartSeconds > 0 ? p_.settings.RestartSeconds : kMinRestartSeconds;
}

std::string Scheduler::startText(const DateTime& now) const {
    const char* day = WeekCalendar::validDay(now.weekday) ? kDayNames[static_cast<std::size_t>(now.weekday)] : "";
    return std::string(day) + " den " + p_.locale.shortDate(now) + " um " + std::to_string(now.hour) + ":" +
           std::to_string(now.minute);
}

void Scheduler::Timer1Timer(StartupTicks& minimisedStart) {
    minimisedStart.minimisedStartTick();
    p_.status.progressPosition = p_.clock.now().second;
    p_.stats.UpdateStatusDisplay();
    if (p_.state.in_work)
        countDownToRestart();
    else
        startWhenDue();
}

void Scheduler::countDownToRestart() {
    RunState& s = p_.state;
    s.RestartCounter += 1;
    const int limit = restartSeconds();
    // A delay lowered below the count already reached shows 0 and restarts now.
    p_.status.panels[kRestartPanel] = "Restart in " + std::to_string(std::max(0, limit - s.RestartCounter)) + " sec.";
    p_.status.changed();
    if (s.RestartCounter < limit) return;
    s.RestartCounter = 0;
    s.in_work = false;
    p_.log.write(kRestartStars);
    p_.log.write("*** Timer Restart ***");
    p_.log.write(kRestartStars);
    if (p_.ftp.ftpOpen()) p_.ftp.B_DisconnectClick();
}

void Scheduler::startWhenDue() {
    if (!p_.status.panels[kRestartPanel].empty()) {
        p_.status.panels[kRestartPanel].clear();
        p_.status.changed();
    }
    if (!p_.settings.cb_activ) return;
    if (p_.settings.rb_feste_zeiten && CheckFixedTimeDue()) p_.cycle.B_StartClick();
    if (p_.settings.rb_intervall) {
        RunState& s = p_.state;
        s.IntervalCounter += 1;
        if (p_.settings.se_interval.value() < s.IntervalCounter) {
            p_.log.write("Modus -> Intervall");
            s.IntervalCounter = 0;
            p_.cycle.B_StartClick();
            p_.calendarView.RedrawCalendar();
        }
    }
}

bool Scheduler::CheckFixedTimeDue() {
    const DateTime now = p_.clock.now();
    const int day = now.weekday;
    const std::string text = startText(now);
    RunState& s = p_.state;
    if (day != s.LastWeekday) {
        p_.calendar.resetDay(day);
        s.LastWeekday = day;
        p_.calendarView.RedrawCalendar();
    }
    const int minute = now.hour * 60 + now.minute;
    if (p_.calendar.marked(day, minute) && text != s.LastFixedStart && started_.firstStart(now)) {
        s.LastFixedStart = text;
        p_.calendar.setState(day, minute, kStarted);
        p_.calendarView.RedrawCalendar();
        p_.log.write("Modus -> feste Zeiten");
        return true;
    }
    return false;
}

void Scheduler::se_restartChange() {
    SpinField& field = p_.settings.se_restart;
    if (field.value() < kMinRestartSeconds) field.setValue(kMinRestartSeconds);
    p_.settings.RestartSeconds = field.value();
}

}  // namespace velora
