#include "gui/FileGridDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace velora::gui {

void FileGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant background = index.data(Qt::BackgroundRole);
    const QVariant foreground = index.data(Qt::ForegroundRole);
    painter->save();
    painter->fillRect(option.rect,
                      background.canConvert<QBrush>() ? background.value<QBrush>() : option.palette.brush(QPalette::Base));
    painter->setPen(foreground.canConvert<QBrush>() ? foreground.value<QBrush>().color()
                                                    : option.palette.color(QPalette::Text));
    painter->setFont(option.font);
    // Clipped at the cell's right edge, as a narrow column cuts its text.
    painter->drawText(option.rect.adjusted(kTextIndent, kTextIndent, 0, 0),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
    painter->restore();
}

bool FileGridDelegate::fits(const QFontMetrics& metrics, const QString& text, int cellWidth) {
    return metrics.horizontalAdvance(text) + kTextIndent <= cellWidth;
}

bool FileGridDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip) return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty() || fits(option.fontMetrics, text, option.rect.width())) {
        QToolTip::hideText();
        return false;
    }
    QToolTip::showText(event->globalPos(), text, view->viewport(), view->visualRect(index));
    return true;
}

}  // namespace velora::gui
