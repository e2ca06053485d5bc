#pragma once
// Page "LOG": the log view Memo1, a mirror of the core's view.
#include <QWidget>

namespace velora {
class TextView;
}

namespace velora::gui {

class TextViewMirror;

class LogPage : public QWidget {
    Q_OBJECT
public:
    explicit LogPage(TextView& view, QWidget* parent = nullptr);
    TextViewMirror* Memo1() const { return view_; }

private:
    TextViewMirror* view_;
};

}  // namespace velora::gui
