#pragma once
// Page "Temp": the scratch view M_temp, a mirror of the core's view.
#include <QWidget>

namespace velora {
class TextView;
}

namespace velora::gui {

class TextViewMirror;

class TempPage : public QWidget {
    Q_OBJECT
public:
    explicit TempPage(TextView& view, QWidget* parent = nullptr);
    TextViewMirror* M_temp() const { return view_; }

private:
    TextViewMirror* view_;
};

}  // namespace velora::gui
