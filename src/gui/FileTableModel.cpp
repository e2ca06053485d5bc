#include "gui/FileTableModel.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QPalette>

#include "filetable/FileTable.h"
#include "filetable/FileTableView.h"

namespace velora::gui {

FileTableModel::FileTableModel(FileTable& table, FileTableView& view, QObject* parent)
    : QAbstractTableModel(parent), table_(table), view_(view), shownRows_(table.rowCount()) {
    table_.setListener(this);
}

int FileTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int FileTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kFileColumns; }

QVariant FileTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = coreRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(table_.cell(index.column(), row));
    case Qt::BackgroundRole:
        if (index.column() == Nr) return QApplication::palette().brush(QPalette::Button);
        if (auto rgb = view_.cellColour(index.column(), row)) return QBrush(QColor(rgb->r, rgb->g, rgb->b));
        return {};
    case Qt::ForegroundRole:
        // Coloured cells keep black text whatever the style's highlight says.
        return QBrush(Qt::black);
    default:
        return {};
    }
}

QVariant FileTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= kFileColumns) return {};
        return QString::fromUtf8(FileTable::captions()[static_cast<std::size_t>(section)]);
    }
    // The vertical header is the fixed "Nr." column.
    return QString::fromStdString(table_.cell(Nr, coreRow(section)));
}

Qt::ItemFlags FileTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.column() == Nr) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == FtpName && view_.inPlaceEditing()) f |= Qt::ItemIsEditable;
    return f;
}

bool FileTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    // Typed text is stored exactly as typed.
    table_.setCell(index.column(), coreRow(index.row()), value.toString().toStdString());
    return true;
}

void FileTableModel::tableChanged(int row) {
    if (table_.rowCount() != shownRows_) {
        beginResetModel();
        shownRows_ = table_.rowCount();
        endResetModel();
        emit structureReset();
        return;
    }
    if (shownRows_ == 0) return;
    if (row >= 1 && row <= shownRows_) {
        emit dataChanged(index(qtRow(row), 0), index(qtRow(row), kFileColumns - 1));
        emit headerDataChanged(Qt::Vertical, qtRow(row), qtRow(row));
        return;
    }
    // Rows moved, were sorted or renumbered: the same shape with new contents.
    emit dataChanged(index(0, 0), index(shownRows_ - 1, kFileColumns - 1));
    emit headerDataChanged(Qt::Vertical, 0, shownRows_ - 1);
}

}  // namespace velora::gui
