#include "gui/SchedulePage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "gui/CalendarPanel.h"
#include "gui/ClickableLabel.h"
#include "gui/Controls.h"
#include "gui/Guarded.h"
#include "schedule/CalendarView.h"
#include "schedule/RunCycle.h"
#include "schedule/RunStatistics.h"
#include "schedule/Scheduler.h"

namespace velora::gui {

SchedulePage::SchedulePage(ScheduleParts parts, QWidget* parent)
    : QWidget(parent), parts_(parts), binder_(parts.settings) {
    auto* top = new QHBoxLayout;
    top->addWidget(buildMode(), 3);
    top->addWidget(buildInterval(), 2);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(new CalendarPanel(parts_.calendarView, parts_.calendarStore), 1);
    refreshFromSettings();
}

QWidget* SchedulePage::buildMode() {
    auto* box = groupBox("Zeitmodus ", "gb_zeitmodus");
    auto* rb_intervall = radioButton("rb_intervall", "Intervall");
    auto* rb_feste = radioButton("rb_feste_zeiten", "feste Zeiten");
    Settings& s = parts_.settings;
    connect(rb_intervall, &QRadioButton::toggled, this, [&s](bool on) { s.rb_intervall = on; });
    connect(rb_feste, &QRadioButton::toggled, this, [&s](bool on) { s.rb_feste_zeiten = on; });

    auto* Label12 = named(new ClickableLabel(qs("Restart nach Online Error")), "Label12");
    Label12->setToolTip(qs("Klick manueller Restart (nur im Notfall)"));
    Label12->setCursor(Qt::PointingHandCursor);
    connect(Label12, &ClickableLabel::clicked, this, &SchedulePage::Label12Click);
    se_restart_ = spinBox("se_restart",
                          "Restart nach ONLINE ERROR . Solte doppelt so groß sein wie die Max Übertragungsdauer");
    // The floor applies to a finished entry, not to each keystroke on the way to one.
    se_restart_->setKeyboardTracking(false);
    binder_.bind(se_restart_, &Settings::se_restart);
    connect(se_restart_, &QSpinBox::valueChanged, this, &SchedulePage::se_restartChange);

    l_dauer_max_ = label("", "l_dauer_max");
    auto* clr = button("b_dauer_max_clr", "Lösche");
    connect(clr, &QPushButton::clicked, this, &SchedulePage::b_dauer_max_clrClick);
    l_zeit_start_alt_ = label("noch nie", "l_zeit_start_alt");

    auto* g = new QGridLayout(box);
    g->addWidget(rb_intervall, 0, 0);
    g->addWidget(rb_feste, 0, 1, 1, 2);
    g->addWidget(Label12, 1, 0);
    g->addWidget(se_restart_, 1, 1);
    g->addWidget(label("Sekunden"), 1, 2);
    g->addWidget(label("Max Onlinedauer :"), 2, 0);
    g->addWidget(l_dauer_max_, 2, 1);
    g->addWidget(clr, 2, 2);
    g->addWidget(label("letzter Start :"), 3, 0);
    g->addWidget(l_zeit_start_alt_, 3, 1, 1, 3);
    g->setColumnStretch(3, 1);
    return box;
}

QWidget* SchedulePage::buildInterval() {
    auto* box = groupBox(" Intervall ", "gb_intervall");
    auto* se_interval = spinBox("se_interval", "Prüsintervall in Sekunden");
    binder_.bind(se_interval, &Settings::se_interval);
    auto* g = new QHBoxLayout(box);
    g->addWidget(label("Intervall alle"));
    g->addWidget(se_interval);
    g->addWidget(label("Sekunden"));
    g->addStretch(1);
    return box;
}

void SchedulePage::refreshFromSettings() {
    binder_.refresh();
    auto* rbI = findChild<QRadioButton*>("rb_intervall");
    auto* rbF = findChild<QRadioButton*>("rb_feste_zeiten");
    Settings& s = parts_.settings;
    // Both off is a state the stored values can hold; only a non-exclusive pair shows it.
    rbI->setAutoExclusive(false);
    rbF->setAutoExclusive(false);
    {
        const QSignalBlocker bi(rbI), bf(rbF);
        rbI->setChecked(s.rb_intervall && !s.rb_feste_zeiten);
        rbF->setChecked(s.rb_feste_zeiten);
    }
    // Two buttons of one group cannot both be on: "feste Zeiten" wins, as it was set last.
    if (s.rb_intervall && s.rb_feste_zeiten) s.rb_intervall = false;
    rbI->setAutoExclusive(true);
    rbF->setAutoExclusive(true);
}

void SchedulePage::showStatus(const StatusDisplay& status) {
    l_zeit_start_alt_->setText(QString::fromStdString(status.l_zeit_start_alt));
    l_dauer_max_->setText(QString::fromStdString(status.l_dauer_max));
}

void SchedulePage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    guarded([this] { parts_.calendarView.RedrawCalendar(); });
}

// The binder has put the entry into the settings; the core raises it to its floor.
void SchedulePage::se_restartChange() {
    guarded([this] { parts_.scheduler.se_restartChange(); });
    const QSignalBlocker block(se_restart_);
    se_restart_->setValue(parts_.settings.se_restart.value());
}

void SchedulePage::Label12Click() {
    guarded([this] { parts_.cycle.Label12Click(); });
}

void SchedulePage::b_dauer_max_clrClick() {
    guarded([this] { parts_.statistics.b_dauer_max_clrClick(); });
}

}  // namespace velora::gui
