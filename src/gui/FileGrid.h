#pragma once
// The grid sg_files: a table view whose vertical header is the fixed "Nr." column
// (never selectable, the handle for dragging a row) and whose horizontal header is
// the fixed caption row. Cell sizes follow the table: a column of width w takes
// w + 1 pixels with its grid line, every row 18 + 1.
#include <QTableView>

#include "filetable/FileTableView.h"

class QLabel;

namespace velora::gui {

class FileGrid : public QTableView {
    Q_OBJECT
public:
    explicit FileGrid(QWidget* parent = nullptr);

    // Section sizes from the table's column widths (column 0 is the header's width).
    void applyColumnWidths(const FileTable& table);
    // The width (without its grid line) at which a column shows its caption and the
    // widest text it is expected to hold whole, in the font the grid really uses; never
    // less than the designed start width. Row numbers are counted up to `rows` and at
    // least to four digits.
    int fittingWidth(int column, int rows) const;
    // Column widths, row heights and the first cells in view, as the editor placement
    // of the file table expects them (cell sizes without their grid line).
    GridGeometry gridGeometry(const FileTable& table) const;

signals:
    // A row was dragged by its "Nr." cell; data-row numbers of the table (1..n).
    void rowDragged(int from, int to);
    // A column border was dragged; the width without the grid line.
    void columnResized(int column, int width);
    // Right mouse button: the context menu, with the current cell left alone.
    void menuRequested(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void updateGeometries() override;
    // Typing never jumps to a matching cell; only the "FTP Name" cell takes keys.
    void keyboardSearch(const QString&) override {}

private:
    void onSectionMoved(int logical, int oldVisual, int newVisual);
    void onSectionResized(int logical, int oldSize, int newSize);

    QLabel* corner_ = nullptr;
    bool adjusting_ = false;
};

}  // namespace velora::gui
