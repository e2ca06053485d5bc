#pragma once
// Page "TAGs": the tag table SG_Tags, two columns without captions, rebuilt whenever
// the core announces a new build.
#include <QWidget>

class QTableWidget;

namespace velora {
class TagTable;
}

namespace velora::gui {

class TagsPage : public QWidget {
    Q_OBJECT
public:
    explicit TagsPage(TagTable& tags, QWidget* parent = nullptr);
    void refresh();

private:
    TagTable& tags_;
    QTableWidget* grid_;
};

}  // namespace velora::gui
