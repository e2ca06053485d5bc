#include "schedule/CalendarView.h"

#include <algorithm>

#include "schedule/RunStatistics.h"

namespace velora {

namespace {

// The counters are 32-bit values the display takes unsigned.
std::uint32_t unsignedOf(std::int32_t v) { return static_cast<std::uint32_t>(v); }

std::string kilobytes(const Locale& locale, std::uint32_t bytes) {
    return locale.withThousands(bytes / 1024) + " KB";
}

}  // namespace

CalendarLabelTops calendarLabelTops(int gridTop, int defaultRowHeight) {
    const int p = defaultRowHeight + 1;
    CalendarLabelTops tops;
    tops.caption = gridTop + 3;
    for (int k = 1; k <= 7; ++k) tops.days[static_cast<std::size_t>(k)] = gridTop + k * p + 3;
    tops.totals = gridTop + 8 * p + 8;
    return tops;
}

CalendarView::CalendarView(WeekCalendar& calendar, const RunState& state, const RunStatistics& stats,
                           const Locale& locale)
    : calendar_(calendar), state_(state), stats_(stats), locale_(locale) {}

void CalendarView::RedrawCalendar() {
    CalendarDisplay& d = display_;
    // 1. The minute number above the selected column.
    d.l_sel_min = std::to_string(SelectedMinute);
    d.l_sel_min_offset = SelectedMinute * (CalendarGeometry::kMinuteColumnWidth + 1);
    // 2. The selection in words.
    d.l_sel_tag = "Tag " + std::to_string(SelectedDay);
    d.l_sel_std = "Stunde " + std::to_string(SelectedHour);
    const char* dayName = WeekCalendar::validDay(SelectedDay) ? kDayNames[static_cast<std::size_t>(SelectedDay)] : "";
    d.l_sel_zeit = std::string("Select ") + dayName + " um " + std::to_string(SelectedHour) + ":" +
                   std::to_string(SelectedMinute);
    // 3. The minutes of the selected hour.
    for (int m = 0; m < 60; ++m)
        d.minuteRow[static_cast<std::size_t>(m)] = calendar_.state(SelectedDay, SelectedHour * 60 + m) != 0 ? "X" : "";
    // 4. and 5. The sums per day and for the week.
    int planned = 0;
    std::int32_t files = 0;
    std::uint32_t bytes = 0;
    for (int day = 1; day <= 7; ++day) {
        DaySums& s = d.days[static_cast<std::size_t>(day)];
        const int count = calendar_.plannedCount(day);
        s.soll = std::to_string(count);
        s.ist = std::to_string(calendar_.files(day));
        s.byte = kilobytes(locale_, unsignedOf(calendar_.bytes(day)));
        planned += count;
        files = static_cast<std::int32_t>(unsignedOf(files) + unsignedOf(calendar_.files(day)));
        bytes += unsignedOf(calendar_.bytes(day));   // wraps at 32 bits like the counters
    }
    d.totals = {std::to_string(planned), std::to_string(files), kilobytes(locale_, bytes)};
    // 6. The scheduler's last fixed start and the longest upload pass.
    d.l_zeit_start_alt = state_.LastFixedStart;
    d.l_dauer_max = Locale::durationAsTime(stats_.MaxUploadDuration());
    // 7. Repaint.
    if (listener_) listener_->calendarRedrawn();
}

void CalendarView::sg_stdSelectCell(int column, int row) {
    if (column < 1 || column > 24 || row < 1 || row > 7) return;
    SelectedDay = row;
    SelectedHour = column - 1;
    RedrawCalendar();
}

HourCellPaint CalendarView::sg_stdDrawCell(int column, int row) const {
    HourCellPaint paint;
    if (column < 1 || column > 24 || row < 1 || row > 7) return paint;
    const int hour = column - 1;
    paint.selected = row == SelectedDay && hour == SelectedHour;
    for (int k = 0; k < 60; ++k) {
        const std::int32_t s = calendar_.state(row, hour * 60 + k);
        if (s <= 0) continue;
        const int i = k / 10;
        const int j = k % 10;
        // Only 1 and 2 occur; anything else above 0 is drawn as planned.
        const CalendarColour colour = s == kStarted ? CalendarColour::Blue : CalendarColour::Red;
        paint.marks.push_back({2 * j, 3 * i, 2, 3, colour});
    }
    return paint;
}

void CalendarView::sg_minSelectCell(int column) {
    if (column < 0 || column > 59) return;
    SelectedMinute = column;
    RedrawCalendar();
}

void CalendarView::sg_minDblClick() {
    const int minute = SelectedHour * 60 + SelectedMinute;
    calendar_.setState(SelectedDay, minute, calendar_.state(SelectedDay, minute) == kFree ? kPlanned : kFree);
    RedrawCalendar();
}

std::optional<CalendarColour> CalendarView::sg_minDrawCell(int column, int row) const {
    if (column < 0 || column > 59) return std::nullopt;
    if (row == 0 || row == 1) {
        if (column == SelectedMinute) return CalendarColour::Aqua;
        return std::nullopt;
    }
    if (row == 2 && display_.minuteRow[static_cast<std::size_t>(column)] == "X") return CalendarColour::Red;
    return std::nullopt;
}

void CalendarView::allesLschen1Click() {
    for (int day = 1; day <= 7; ++day) calendar_.minutes(day).fill(kFree);
    RedrawCalendar();
}

void CalendarView::aglschen1Click() {
    if (WeekCalendar::validDay(SelectedDay)) calendar_.minutes(SelectedDay).fill(kFree);
    RedrawCalendar();
}

void CalendarView::StundeLschen1Click() {
    for (int m = 0; m < 60; ++m) calendar_.setState(SelectedDay, SelectedHour * 60 + m, kFree);
    RedrawCalendar();
}

void CalendarView::CopyaufganzenTag1Click() {
    for (int hour = SelectedHour + 1; hour <= 23; ++hour)
        for (int m = 0; m < 60; ++m)
            calendar_.setState(SelectedDay, hour * 60 + m, calendar_.state(SelectedDay, SelectedHour * 60 + m));
    RedrawCalendar();
}

void CalendarView::copyDay(int from, int to) {
    if (WeekCalendar::validDay(from) && WeekCalendar::validDay(to)) calendar_.minutes(to) = calendar_.minutes(from);
}

void CalendarView::CopydiesenTagaufvorigenTagederWoche1Click() {
    for (int day = 1; day < SelectedDay; ++day) copyDay(SelectedDay, day);
    RedrawCalendar();
}

void CalendarView::CopydiesenTagaufAlleTage1Click() {
    for (int day = SelectedDay + 1; day <= 7; ++day) copyDay(SelectedDay, day);
    RedrawCalendar();
}

void CalendarView::agaufgeplantSetzen1Click() {
    if (WeekCalendar::validDay(SelectedDay)) {
        for (auto& s : calendar_.minutes(SelectedDay))
            if (s > kPlanned) s = kPlanned;
    }
    RedrawCalendar();
}

const std::vector<CalendarView::MenuItem>& CalendarView::pm_kalender() {
    static const std::vector<MenuItem> items{
        {"allesLschen1", "Woche löschen", &CalendarView::allesLschen1Click, false},
        {"aglschen1", "Tag löschen", &CalendarView::aglschen1Click, false},
        {"StundeLschen1", "Stunde Löschen", &CalendarView::StundeLschen1Click, true},
        {"CopyaufganzenTag1", "Copy auf Rest vom Tag", &CalendarView::CopyaufganzenTag1Click, false},
        {"CopydiesenTagaufvorigenTagederWoche1", "Copy diesen Tag auf vorigen Tage der Woche",
         &CalendarView::CopydiesenTagaufvorigenTagederWoche1Click, false},
        {"CopydiesenTagaufAlleTage1", "Copy diesen Tag auf folgenden Tage der Woche",
         &CalendarView::CopydiesenTagaufAlleTage1Click, true},
        {"agaufgeplantSetzen1", "Tag auf geplant Setzen", &CalendarView::agaufgeplantSetzen1Click, false},
    };
    return items;
}

}  // namespace velora
