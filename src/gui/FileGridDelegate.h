#pragma once
// How sg_files paints a cell and explains it: the whole cell in its flat colour with
// the text at 2 pixels from the left and top edge, never the style's gradient,
// selection or focus frame; a text cut off by the column width shows whole as the
// cell's tool tip. The in-place editor of the "FTP Name" cell is Qt's own.
#include <QStyledItemDelegate>

namespace velora::gui {

class FileGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kTextIndent = 2;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Whether the text is drawn whole in a cell of that width.
    static bool fits(const QFontMetrics& metrics, const QString& text, int cellWidth);
};

}  // namespace velora::gui
