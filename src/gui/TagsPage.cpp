#include "gui/TagsPage.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "transfer/TagTable.h"

namespace velora::gui {

namespace {

QTableWidgetItem* cellItem(const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

TagsPage::TagsPage(TagTable& tags, QWidget* parent) : QWidget(parent), tags_(tags) {
    grid_ = new QTableWidget(0, 2, this);
    grid_->setObjectName(QStringLiteral("SG_Tags"));
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(19);
    grid_->setColumnWidth(0, 200);
    grid_->setColumnWidth(1, 600);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setWordWrap(false);
    grid_->setTextElideMode(Qt::ElideNone);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid_);
    tags_.setListener(this);
    refresh();
}

void TagsPage::refresh() {
    grid_->setUpdatesEnabled(false);
    grid_->setRowCount(tags_.rowCount());
    for (int r = 0; r < tags_.rowCount(); ++r) {
        grid_->setItem(r, 0, cellItem(tags_.row(r).name));
        grid_->setItem(r, 1, cellItem(tags_.row(r).value));
    }
    grid_->setUpdatesEnabled(true);
}

}  // namespace velora::gui
