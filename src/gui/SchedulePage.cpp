#include "gui/SchedulePage.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "gui/ClickableLabel.h"
#include "gui/Controls.h"
#include "gui/Guarded.h"
#include "program/Program.h"

namespace velora::gui {

namespace {

constexpr std::array<const char*, 7> kDayShort{"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
const QColor kFixedCell(212, 208, 200);

QTableWidgetItem* fixedItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(kFixedCell);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

void plainGrid(QTableWidget* grid) {
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTextElideMode(Qt::ElideNone);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    grid->setLineWidth(1);
}

// The grid's outer size for its sections and the one-pixel frame.
void fitToCells(QTableWidget* grid) {
    int w = 2, h = 2;
    for (int c = 0; c < grid->columnCount(); ++c) w += grid->columnWidth(c);
    for (int r = 0; r < grid->rowCount(); ++r) h += grid->rowHeight(r);
    grid->setFixedSize(w, h);
}

QLabel* legend(const char* name, const char* caption, const QColor& colour) {
    auto* l = label(caption, name);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, colour == Qt::blue ? Qt::white : Qt::black);
    l->setPalette(p);
    l->setFrameStyle(QFrame::Panel | QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(std::max(70, l->sizeHint().width() + 8));
    return l;
}

}  // namespace

SchedulePage::SchedulePage(Program& program, QWidget* parent)
    : QWidget(parent), program_(program), binder_(program.settings()) {
    auto* top = new QHBoxLayout;
    top->addWidget(buildMode(), 3);
    top->addWidget(buildInterval(), 2);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(buildCalendar(), 1);
    refreshFromSettings();
}

QWidget* SchedulePage::buildMode() {
    auto* box = groupBox("Zeitmodus ", "gb_zeitmodus");
    auto* rb_intervall = radioButton("rb_intervall", "Intervall");
    auto* rb_feste = radioButton("rb_feste_zeiten", "feste Zeiten");
    Settings& s = program_.settings();
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

QTableWidget* SchedulePage::buildHourGrid() {
    auto* grid = named(new QTableWidget(8, 25), "sg_std");
    plainGrid(grid);
    grid->setToolTip(qs("Aktuelle Stunde am Tag"));
    for (int c = 0; c < 25; ++c) grid->setColumnWidth(c, 20 + 1);
    for (int r = 0; r < 8; ++r) grid->setRowHeight(r, 18 + 1);
    grid->setItem(0, 0, fixedItem({}));
    for (int hour = 0; hour < 24; ++hour) grid->setItem(0, hour + 1, fixedItem(QString::number(hour)));
    for (int day = 1; day <= 7; ++day) grid->setItem(day, 0, fixedItem(qs(kDayShort[day - 1])));
    grid->setFont(narrowFont(10, FontWidth::Condensed));
    fitToCells(grid);
    return grid;
}

QTableWidget* SchedulePage::buildMinuteGrid() {
    auto* grid = named(new QTableWidget(3, 60), "sg_min");
    plainGrid(grid);
    grid->setToolTip(qs("Doppelklick"));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(8);
    grid->setFont(f);
    for (int c = 0; c < 60; ++c) grid->setColumnWidth(c, 7 + 1);
    const int heights[3] = {12, 12, 16};
    for (int r = 0; r < 3; ++r) grid->setRowHeight(r, heights[r] + 1);
    for (int minute = 0; minute < 60; ++minute) {
        grid->setItem(0, minute, fixedItem(QString::number(minute / 10)));
        grid->setItem(1, minute, fixedItem(QString::number(minute % 10)));
    }
    fitToCells(grid);
    return grid;
}

QWidget* SchedulePage::buildCalendar() {
    auto* box = groupBox(" feste Zeiten ", "gb_feste_zeiten");
    auto* save = button("B_Save_Kalender", "Kalender Speichern");
    auto* load = button("B_load_Kalender", "Kalender neu Laden");
    connect(save, &QPushButton::clicked, this, &SchedulePage::B_Save_KalenderClick);
    connect(load, &QPushButton::clicked, this, &SchedulePage::B_load_KalenderClick);

    auto* legends = new QHBoxLayout;
    legends->addWidget(legend("Panel7", "Select", Qt::cyan));
    legends->addWidget(legend("Panel5", "geplant", Qt::red));
    legends->addWidget(legend("Panel6", "erfolgreich", Qt::blue));
    legends->addStretch(1);
    legends->addWidget(save);
    legends->addWidget(load);

    auto* l = new QVBoxLayout(box);
    l->addWidget(buildHourGrid());
    l->addWidget(buildMinuteGrid());
    l->addLayout(legends);
    l->addStretch(1);
    return box;
}

void SchedulePage::refreshFromSettings() {
    binder_.refresh();
    auto* rbI = findChild<QRadioButton*>("rb_intervall");
    auto* rbF = findChild<QRadioButton*>("rb_feste_zeiten");
    Settings& s = program_.settings();
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

void SchedulePage::se_restartChange(int value) {
    if (value < kMinRestartSeconds) {
        se_restart_->setValue(kMinRestartSeconds);  // comes back here with the raised value
        return;
    }
    program_.settings().RestartSeconds = value;
}

void SchedulePage::Label12Click() {
    guarded([this] { program_.Label12Click(); });
}

void SchedulePage::b_dauer_max_clrClick() {
    guarded([this] { program_.b_dauer_max_clrClick(); });
}

// The calendar's store and load come with the weekly calendar.
void SchedulePage::B_Save_KalenderClick() {}
void SchedulePage::B_load_KalenderClick() {}

}  // namespace velora::gui
