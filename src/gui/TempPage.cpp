#include "gui/TempPage.h"

#include <QVBoxLayout>

#include "gui/TextViewMirror.h"

namespace velora::gui {

TempPage::TempPage(TextView& view, QWidget* parent) : QWidget(parent) {
    view_ = new TextViewMirror(view, "M_temp", this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

}  // namespace velora::gui
