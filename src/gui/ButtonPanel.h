#pragma once
// Panel1 below the pages: the run buttons from the left, the maker's web host in
// Label3, "Hide" at the right edge; the panel turns lime while online.
#include <QFrame>

#include "schedule/StatusDisplay.h"

class QLabel;
class QPushButton;

namespace velora::gui {

class ButtonPanel : public QFrame {
    Q_OBJECT
public:
    explicit ButtonPanel(QWidget* parent = nullptr);

    void setColour(PanelColour colour);
    QLabel* label3() const { return label3_; }
    QPushButton* button(const char* name) const;

private:
    QLabel* label3_;
    PanelColour shown_ = PanelColour::ButtonFace;
};

}  // namespace velora::gui
