#include "gui/CalendarGrids.h"

#include <QPainter>

#include "schedule/CalendarView.h"

namespace velora::gui {

namespace {

// Cells are painted flat; the style's selection and focus frame would hide the marks.
QStyleOptionViewItem plain(const QStyleOptionViewItem& option) {
    QStyleOptionViewItem o(option);
    o.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    return o;
}

}  // namespace

QColor calendarColour(int colour) {
    switch (static_cast<CalendarColour>(colour)) {
    case CalendarColour::Aqua: return {0, 255, 255};
    case CalendarColour::Red: return {255, 0, 0};
    case CalendarColour::Blue: return {0, 0, 255};
    }
    return Qt::white;
}

void HourCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.row() < 1 || index.column() < 1) {
        QStyledItemDelegate::paint(painter, plain(option), index);
        return;
    }
    const HourCellPaint cell = view_.sg_stdDrawCell(index.column(), index.row());
    const QRect r = option.rect;
    painter->fillRect(r, cell.selected ? calendarColour(static_cast<int>(CalendarColour::Aqua)) : QColor(Qt::white));
    for (const MinuteMark& m : cell.marks)
        painter->fillRect(QRect(r.left() + m.x, r.top() + m.y, m.width, m.height),
                          calendarColour(static_cast<int>(m.colour)));
}

void MinuteCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto fill = view_.sg_minDrawCell(index.column(), index.row());
    if (!fill) {
        QStyledItemDelegate::paint(painter, plain(option), index);
        return;
    }
    painter->fillRect(option.rect, calendarColour(static_cast<int>(*fill)));
    painter->save();
    painter->setFont(option.font);
    painter->setPen(Qt::black);
    painter->drawText(option.rect, Qt::AlignCenter, index.data(Qt::DisplayRole).toString());
    painter->restore();
}

}  // namespace velora::gui
