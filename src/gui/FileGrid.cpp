#include "gui/FileGrid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <vector>

#include "filetable/FileTable.h"
#include "gui/Controls.h"
#include "gui/FileGridDelegate.h"

namespace velora::gui {

namespace {
constexpr int kSection = kFileRowHeight + kFileGridLine;
constexpr int kCornerIndent = 2;
// Fingerprints are 31-bit numbers: up to ten digits.
constexpr int kFingerprintDigits = 10;
constexpr int kRowNumberDigits = 4;

// The longest texts a column holds by the program's own rules; the paths and names of
// the other columns have no such bound and keep their designed widths.
std::vector<const char*> expectedTexts(int column) {
    switch (column) {
    case Aktiv:
        return {kJa, kNo};
    case Tag:
        return {kJa, kNo, kTagUnchosen};
    case PsNeu:
    case PsAlt:
        return {kNotSent, msg::kUnchecked, msg::kCleared};
    case Msg:
        return {kNo,       msg::kUnchecked, msg::kCleared, msg::kNotFound, msg::kIoError,
                msg::kNeu, msg::kOk,        msg::kSend,    msg::kError,    msg::kReset};
    default:
        return {};
    }
}

// A number of that many digits at its widest in these metrics.
QString widestNumber(const QFontMetrics& metrics, int digits) {
    QChar widest = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d)
        if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widest)) widest = QLatin1Char(d);
    return QString(digits, widest);
}
}  // namespace

FileGrid::FileGrid(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("sg_files"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setFont(narrowFont(11, FontWidth::Condensed));
    // The current cell is painted by the table's colour rules, not by a selection.
    setSelectionMode(QAbstractItemView::NoSelection);
    setItemDelegate(new FileGridDelegate(this));
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(kSection);
    rows->setSectionsClickable(false);
    rows->setSectionsMovable(true);
    rows->setFirstSectionMovable(true);
    rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(rows, &QHeaderView::sectionMoved, this, &FileGrid::onSectionMoved);

    QHeaderView* cols = horizontalHeader();
    cols->setSectionResizeMode(QHeaderView::Interactive);
    cols->setMinimumSectionSize(1);
    cols->setSectionsClickable(false);
    cols->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    cols->setFixedHeight(kSection);
    cols->setHighlightSections(false);
    connect(cols, &QHeaderView::sectionResized, this, &FileGrid::onSectionResized);

    corner_ = new QLabel(QString::fromUtf8(FileTable::captions()[Nr]), this);
    corner_->setObjectName(QStringLiteral("sg_files_corner"));
    corner_->setAutoFillBackground(true);
    corner_->setBackgroundRole(QPalette::Button);
    corner_->setIndent(kCornerIndent);
    // Captions in the same narrow font as the cells, so the narrow columns hold them.
    for (QWidget* w : {static_cast<QWidget*>(rows), static_cast<QWidget*>(cols), static_cast<QWidget*>(corner_)})
        w->setFont(font());
}

void FileGrid::applyColumnWidths(const FileTable& table) {
    adjusting_ = true;
    // Column 0 lives in the vertical header; the model's column 0 stays hidden.
    if (model() && !isColumnHidden(Nr)) setColumnHidden(Nr, true);
    verticalHeader()->setFixedWidth(table.columnWidth(Nr) + kFileGridLine);
    for (int c = 1; c < kFileColumns; ++c) setColumnWidth(c, table.columnWidth(c) + kFileGridLine);
    adjusting_ = false;
    updateGeometries();
}

int FileGrid::fittingWidth(int column, int rows) const {
    if (column < 0 || column >= kFileColumns) return 0;
    const QFontMetrics metrics(font());
    // Captions and row numbers are drawn by the headers, inside the style's margins.
    const int header = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
    int width = FileTable::startWidths()[static_cast<std::size_t>(column)];
    const auto fit = [&](const QString& text, int margins) {
        width = std::max(width, metrics.horizontalAdvance(text) + margins);
    };
    const QString caption = QString::fromUtf8(FileTable::captions()[static_cast<std::size_t>(column)]);
    if (column == Nr) {
        fit(caption, 2 * kCornerIndent);
        fit(widestNumber(metrics, std::max<int>(kRowNumberDigits, QString::number(rows).size())), header);
        return width;
    }
    fit(caption, header);
    for (const char* text : expectedTexts(column)) fit(QString::fromUtf8(text), 2 * FileGridDelegate::kTextIndent);
    if (column == PsNeu || column == PsAlt)
        fit(widestNumber(metrics, kFingerprintDigits), 2 * FileGridDelegate::kTextIndent);
    return width;
}

GridGeometry FileGrid::gridGeometry(const FileTable& table) const {
    GridGeometry g;
    for (int c = 0; c < kFileColumns; ++c) g.columnWidths.push_back(table.columnWidth(c));
    g.rowHeights.push_back(horizontalHeader()->height() - kFileGridLine);
    const int rows = model() ? model()->rowCount() : 0;
    for (int r = 0; r < rows; ++r) g.rowHeights.push_back(rowHeight(r) - kFileGridLine);
    const int firstCol = columnAt(0);
    const int firstRow = rowAt(0);
    g.leftCol = firstCol < 1 ? 1 : firstCol;
    g.topRow = firstRow < 0 ? 1 : firstRow + 1;
    return g;
}

void FileGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();  // the context menu follows; the current cell stays
        return;
    }
    QTableView::mousePressEvent(event);
}

void FileGrid::focusInEvent(QFocusEvent* event) {
    if (currentIndex().isValid() || !selectionModel()) {
        QTableView::focusInEvent(event);
        return;
    }
    // Qt's view makes its first cell current when it gains the focus without one; the
    // table's current cell moves only by a click, the keyboard or the table shrinking.
    {
        const QSignalBlocker quiet(selectionModel());
        QTableView::focusInEvent(event);
        selectionModel()->clearCurrentIndex();
    }
    viewport()->update();
}

void FileGrid::contextMenuEvent(QContextMenuEvent* event) {
    emit menuRequested(event->globalPos());
    event->accept();
}

void FileGrid::updateGeometries() {
    QTableView::updateGeometries();
    if (corner_) {
        corner_->setGeometry(frameWidth(), frameWidth(), verticalHeader()->width(), horizontalHeader()->height());
        corner_->raise();
    }
}

void FileGrid::onSectionMoved(int, int oldVisual, int newVisual) {
    if (adjusting_) return;
    // The header only shows the drag; the table moves the row and the header goes
    // back to the identity order, so visual and logical rows stay the same.
    adjusting_ = true;
    verticalHeader()->moveSection(newVisual, oldVisual);
    adjusting_ = false;
    if (oldVisual != newVisual) emit rowDragged(oldVisual + 1, newVisual + 1);
}

void FileGrid::onSectionResized(int logical, int, int newSize) {
    if (adjusting_ || logical == Nr || newSize <= 0) return;
    emit columnResized(logical, newSize - kFileGridLine);
}

}  // namespace velora::gui
