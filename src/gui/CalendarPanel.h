#pragma once
// Group " feste Zeiten " of the page "Zeitsteuerung": the grids `sg_std` and `sg_min`,
// the sums beside `sg_std` (one line per weekday row, placed as start-up places them),
// the selection labels, the legend, the context menu `pm_kalender` and the two
// buttons. Everything it shows comes from the core's CalendarView.
#include <QGroupBox>
#include <array>

#include "schedule/CalendarView.h"

class QLabel;
class QMenu;
class QTableWidget;

namespace velora {
class CalendarStore;
}

namespace velora::gui {

class CalendarPanel : public QGroupBox, private CalendarView::Listener {
    Q_OBJECT
public:
    // The view it shows and edits, and the store behind its two buttons.
    CalendarPanel(CalendarView& view, CalendarStore& store, QWidget* parent = nullptr);
    ~CalendarPanel() override;

    // Labels and both grids from the core's display (RedrawCalendar's listener).
    void showDisplay();
    QMenu* pm_kalender() const { return menu_; }

private slots:
    void sg_stdSelectCell(int row, int column);
    void sg_minSelectCell(int row, int column);
    void sg_minDblClick();
    void B_Save_KalenderClick();
    void B_load_KalenderClick();

private:
    void calendarRedrawn() override { showDisplay(); }
    QWidget* buildArea();
    QTableWidget* buildHourGrid();
    QTableWidget* buildMinuteGrid();
    void buildMenu();
    QLabel* placedLabel(QWidget* area, const char* name, const char* text, int x, int y, int width,
                        Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter);

    CalendarView& view_;
    CalendarStore& store_;
    QTableWidget* sg_std_ = nullptr;
    QTableWidget* sg_min_ = nullptr;
    QMenu* menu_ = nullptr;
    QLabel* l_sel_min_ = nullptr;
    QLabel* l_sel_tag_ = nullptr;
    QLabel* l_sel_std_ = nullptr;
    QLabel* l_sel_zeit_ = nullptr;
    std::array<std::array<QLabel*, 3>, 9> sums_{};   // rows 1..7 the days, 8 the totals
    int minuteGridLeft_ = 0;
};

}  // namespace velora::gui
