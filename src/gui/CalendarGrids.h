#pragma once
// The painting of the two calendar grids: `sg_std` shows each hour's 60 minutes as a
// 10 x 6 pattern of 2 x 3 pixel marks (red planned, blue started) on aqua when the
// hour is selected; `sg_min` fills the selected minute's digits aqua and the marked
// minutes of row 2 red. What to paint comes from the core's drawing rules.
#include <QStyledItemDelegate>

namespace velora {
class CalendarView;
}

namespace velora::gui {

QColor calendarColour(int colour);

class HourCellDelegate : public QStyledItemDelegate {
public:
    HourCellDelegate(const CalendarView& view, QObject* parent) : QStyledItemDelegate(parent), view_(view) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const CalendarView& view_;
};

class MinuteCellDelegate : public QStyledItemDelegate {
public:
    MinuteCellDelegate(const CalendarView& view, QObject* parent) : QStyledItemDelegate(parent), view_(view) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const CalendarView& view_;
};

}  // namespace velora::gui
