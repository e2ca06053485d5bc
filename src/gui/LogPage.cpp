#include "gui/LogPage.h"

#include <QVBoxLayout>

#include "gui/TextViewMirror.h"

namespace velora::gui {

LogPage::LogPage(TextView& view, QWidget* parent) : QWidget(parent) {
    view_ = new TextViewMirror(view, "Memo1", this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

}  // namespace velora::gui
