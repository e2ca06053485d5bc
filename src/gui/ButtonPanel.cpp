#include "gui/ButtonPanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "gui/Controls.h"

namespace velora::gui {

ButtonPanel::ButtonPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel1"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(4, 4, 4, 4);
    l->addWidget(gui::button("B_connect", "Connect"));
    l->addWidget(gui::button("B_Disconnect", "DisConnect"));
    l->addWidget(gui::button("B_einlesen", "Einlesen"));
    l->addWidget(gui::button("B_versenden", "Versenden"));
    l->addWidget(gui::button("B_Start", "Start"));
    label3_ = label("", "Label3");
    label3_->setIndent(12);
    l->addWidget(label3_);
    l->addStretch(1);
    l->addWidget(gui::button("B_hide", "Hide"));
    setColour(PanelColour::ButtonFace);
}

QPushButton* ButtonPanel::button(const char* name) const {
    return findChild<QPushButton*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void ButtonPanel::setColour(PanelColour colour) {
    if (colour == shown_ && palette().isBrushSet(QPalette::Active, QPalette::Window)) return;
    shown_ = colour;
    QPalette p = palette();
    p.setColor(QPalette::Window, colour == PanelColour::Lime ? QColor(0, 255, 0)
                                                             : QApplication::palette().color(QPalette::Button));
    setPalette(p);
}

}  // namespace velora::gui
