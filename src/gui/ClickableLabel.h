#pragma once
// A label that answers a left click, like the restart label "Restart nach Online Error".
#include <QLabel>
#include <QMouseEvent>

namespace velora::gui {

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
        QLabel::mouseReleaseEvent(e);
    }
};

}  // namespace velora::gui
