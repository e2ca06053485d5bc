#pragma once
// The file table for Qt's views. Core row 0 (the captions) is the horizontal header,
// core row r is Qt row r - 1; column numbers are the same. Texts and background
// colours come from FileTable and FileTableView, so the grid only paints them.
#include <QAbstractTableModel>

#include "filetable/FileTable.h"

namespace velora {
class FileTableView;
}  // namespace velora

namespace velora::gui {

class FileTableModel : public QAbstractTableModel, private FileTable::Listener {
    Q_OBJECT
public:
    FileTableModel(FileTable& table, FileTableView& view, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    static int coreRow(int qtRow) { return qtRow + 1; }
    static int qtRow(int coreRow) { return coreRow - 1; }

    // The core reports a change after it happened; structural changes reset the model.
    void tableChanged(int coreRow);

signals:
    // The row count changed and the model was reset (views lose their current index).
    void structureReset();

private:
    void fileTableChanged(int row) override { tableChanged(row); }

    FileTable& table_;
    FileTableView& view_;
    int shownRows_ = 0;
};

}  // namespace velora::gui
