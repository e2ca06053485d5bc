#include "gui/ToolsPage.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "gui/Controls.h"
#include "gui/Guarded.h"
#include "platform/Environment.h"
#include "tools/ScreenShot.h"

namespace velora::gui {

ToolsPage::ToolsPage(Settings& settings, ScreenShot& screenShot, const Environment& env, UiHost& ui,
                     QWidget* parent)
    : QWidget(parent), screenShot_(screenShot), env_(env), ui_(ui), binder_(settings) {
    auto* box = groupBox(" Screenshot ", "gb_screenshot");
    auto* cb_ss_aktiv = checkBox("cb_ss_aktiv", "Aktiv");
    auto* e_ss_file = lineEdit("e_ss_file");
    auto* b_ss_file = button("b_ss_file", "Suchen");
    auto* se_ss_quali = spinBox("se_ss_quali");
    auto* cb_ss_sw = checkBox("cb_ss_sw", "Grayscale");
    auto* Button1 = button("Button1", "Speichern Test");
    binder_.bind(cb_ss_aktiv, &Settings::cb_ss_aktiv);
    binder_.bind(e_ss_file, &Settings::e_ss_file);
    binder_.bind(se_ss_quali, &Settings::se_ss_quali);
    binder_.bind(cb_ss_sw, &Settings::cb_ss_sw);
    connect(b_ss_file, &QPushButton::clicked, this, &ToolsPage::b_ss_fileClick);
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });

    auto* g = new QGridLayout(box);
    g->addWidget(cb_ss_aktiv, 0, 0);
    g->addWidget(label("Ziel"), 1, 0);
    g->addWidget(e_ss_file, 1, 1, 1, 3);
    g->addWidget(b_ss_file, 1, 4);
    g->addWidget(label("Qualität"), 2, 0);
    g->addWidget(se_ss_quali, 2, 1);
    g->addWidget(cb_ss_sw, 2, 2);
    g->addWidget(Button1, 3, 0, 1, 2);
    g->setColumnStretch(3, 1);

    auto* page = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(box, 3);
    row->addStretch(2);
    page->addLayout(row);
    page->addStretch(1);
    binder_.refresh();
}

void ToolsPage::Button1Click() { screenShot_.take(); }

void ToolsPage::b_ss_fileClick() {
    guarded([this] {
        pickFileInto(ui_, findChild<QLineEdit*>("e_ss_file"), "JPG - Datei", "jpg|*.jpg", env_.homeFolder());
    });
}

}  // namespace velora::gui
