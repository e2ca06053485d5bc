#pragma once
// Page "TAGs": the tag table SG_Tags, two columns without captions, rebuilt whenever
// the core announces a new build.
#include <QWidget>

#include "transfer/TagTable.h"

class QTableWidget;

namespace velora::gui {

class TagsPage : public QWidget, private TagTable::Listener {
    Q_OBJECT
public:
    explicit TagsPage(TagTable& tags, QWidget* parent = nullptr);
    void refresh();

private:
    void tagTableChanged() override { refresh(); }

    TagTable& tags_;
    QTableWidget* grid_;
};

}  // namespace velora::gui
