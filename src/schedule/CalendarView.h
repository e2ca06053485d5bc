#pragma once
// The calendar page as data: the selection, the texts of every label, the minute row
// of `sg_min`, and the drawing rules of both grids, so the window only paints what
// these say. The grid handlers and the commands of the context menu `pm_kalender`
// change the calendar here and end with RedrawCalendar, as the page does.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Locale.h"
#include "schedule/RunState.h"
#include "schedule/WeekCalendar.h"

namespace velora {

class RunStatistics;

// The fixed texts of the page beside the sums.
inline constexpr const char* kCalendarSollHead = "Soll";
inline constexpr const char* kCalendarIstHead = "- Übertragung  am Tag -";
inline constexpr const char* kCalendarCaption = "Online      Dateien          KBytes";
inline constexpr const char* kCalendarTotalsRow = "ges.";
// Row heads of `sg_std`, by weekday number.
inline constexpr std::array<const char*, 8> kDayShortNames{"", "So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};

// The grids' cell sizes in pixels.
struct CalendarGeometry {
    static constexpr int kHourColumns = 25, kHourRows = 8;
    static constexpr int kHourCellWidth = 20, kHourCellHeight = 18;
    static constexpr int kMinuteColumns = 60, kMinuteRows = 3;
    static constexpr int kMinuteColumnWidth = 7;
    static constexpr std::array<int, 3> kMinuteRowHeights{12, 12, 16};
};

enum class CalendarColour { Aqua, Red, Blue };

// One 2 x 3 pixel mark inside an hour cell, relative to the cell's top left corner.
struct MinuteMark {
    int x, y, width, height;
    CalendarColour colour;
    bool operator==(const MinuteMark&) const = default;
};

struct HourCellPaint {
    bool selected = false;          // filled aqua first
    std::vector<MinuteMark> marks;  // one per marked minute, minute 0 first
};

// The three labels of one line of sums: planned minutes, files, kilobytes.
struct DaySums {
    std::string soll, ist, byte;
};

struct CalendarDisplay {
    std::string l_sel_min;
    int l_sel_min_offset = 0;       // pixels right of the left edge of `sg_min`
    std::string l_sel_tag, l_sel_std, l_sel_zeit;
    std::array<DaySums, 8> days;    // 1..7: l_so_soll, L_so_ist, l_so_byte ...
    DaySums totals;                 // l_ges_soll, l_ges_ist, l_ges_byte
    std::string l_zeit_start_alt = kNeverStarted;
    std::string l_dauer_max;
    std::array<std::string, 60> minuteRow;   // row 2 of `sg_min`: "X" or empty
};

// Tops of the sum labels beside `sg_std`, aligned with its rows.
struct CalendarLabelTops {
    int caption = 0;                // l_caption
    std::array<int, 8> days{};      // 1..7: the line of weekday k
    int totals = 0;                 // l_ges_soll and its line
};
CalendarLabelTops calendarLabelTops(int gridTop, int defaultRowHeight);

class CalendarView {
public:
    CalendarView(WeekCalendar& calendar, const RunState& state, const RunStatistics& stats, const Locale& locale);

    // Told at the end of every RedrawCalendar: the window repaints both grids from here.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void calendarRedrawn() = 0;
    };
    // One listener; nullptr for none.
    void setListener(Listener* l) { listener_ = l; }

    int SelectedDay = 1;      // 1..7
    int SelectedHour = 0;     // 0..23
    int SelectedMinute = 0;   // 0..59

    void RedrawCalendar();
    const CalendarDisplay& display() const { return display_; }
    CalendarDisplay& display() { return display_; }

    // Grid `sg_std`: row = weekday, column = hour + 1. Fixed cells select nothing.
    void sg_stdSelectCell(int column, int row);
    HourCellPaint sg_stdDrawCell(int column, int row) const;
    // Grid `sg_min`: column = minute.
    void sg_minSelectCell(int column);
    void sg_minDblClick();
    std::optional<CalendarColour> sg_minDrawCell(int column, int row) const;

    // Context menu `pm_kalender`.
    void allesLschen1Click();
    void aglschen1Click();
    void StundeLschen1Click();
    void CopyaufganzenTag1Click();
    void CopydiesenTagaufvorigenTagederWoche1Click();
    void CopydiesenTagaufAlleTage1Click();
    void agaufgeplantSetzen1Click();

    struct MenuItem {
        const char* name;
        const char* caption;
        void (CalendarView::*command)();
        bool separatorAfter;
    };
    static const std::vector<MenuItem>& pm_kalender();

private:
    void copyDay(int from, int to);

    WeekCalendar& calendar_;
    const RunState& state_;
    const RunStatistics& stats_;
    const Locale& locale_;
    CalendarDisplay display_;
    Listener* listener_ = nullptr;
};

}  // namespace velora
