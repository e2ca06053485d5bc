#include "gui/CalendarPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/CalendarGrids.h"
#include "gui/Controls.h"
#include "gui/Guarded.h"
#include "schedule/CalendarStore.h"
#include "schedule/CalendarView.h"

namespace velora::gui {

namespace {

using G = CalendarGeometry;

const QColor kFixedCell(212, 208, 200);
// The sums beside `sg_std`: planned minutes, files, kilobytes.
constexpr int kSumGap = 8;
constexpr std::array<int, 3> kSumWidths{40, 56, 96};
constexpr int kHeadHeight = 18;
// Tall enough for umlauts; one line per 19-pixel row of `sg_std`.
constexpr int kLabelHeight = 17;
// Label names of the sums by weekday (index 1..7) and the totals (index 8).
constexpr std::array<std::array<const char*, 3>, 9> kSumNames{{
    {nullptr, nullptr, nullptr},
    {"l_so_soll", "L_so_ist", "l_so_byte"},
    {"l_mo_soll", "l_mo_ist", "l_mo_byte"},
    {"l_di_soll", "l_di_ist", "l_di_byte"},
    {"l_mi_soll", "l_mi_ist", "l_mi_byte"},
    {"l_do_soll", "l_do_ist", "l_do_byte"},
    {"l_fr_soll", "l_fr_ist", "l_fr_byte"},
    {"l_sa_soll", "l_sa_ist", "l_sa_byte"},
    {"l_ges_soll", "l_ges_ist", "l_ges_byte"},
}};

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
    grid->setSelectionMode(QAbstractItemView::NoSelection);
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
    p.setColor(QPalette::WindowText, colour == QColor(0, 0, 255) ? Qt::white : Qt::black);
    l->setPalette(p);
    l->setFrameStyle(QFrame::Panel | QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(std::max(70, l->sizeHint().width() + 8));
    return l;
}

QString fromStd(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CalendarPanel::CalendarPanel(CalendarView& view, CalendarStore& store, QWidget* parent)
    : QGroupBox(qs(" feste Zeiten "), parent), view_(view), store_(store) {
    setObjectName(QStringLiteral("gb_feste_zeiten"));
    auto* save = button("B_Save_Kalender", "Kalender Speichern");
    auto* load = button("B_load_Kalender", "Kalender neu Laden");
    connect(save, &QPushButton::clicked, this, &CalendarPanel::B_Save_KalenderClick);
    connect(load, &QPushButton::clicked, this, &CalendarPanel::B_load_KalenderClick);

    auto* legends = new QHBoxLayout;
    legends->addWidget(legend("Panel7", "Select", calendarColour(static_cast<int>(CalendarColour::Aqua))));
    legends->addWidget(legend("Panel5", "geplant", calendarColour(static_cast<int>(CalendarColour::Red))));
    legends->addWidget(legend("Panel6", "erfolgreich", calendarColour(static_cast<int>(CalendarColour::Blue))));
    legends->addStretch(1);
    legends->addWidget(save);
    legends->addWidget(load);

    auto* l = new QVBoxLayout(this);
    l->addWidget(buildArea());
    l->addLayout(legends);
    l->addStretch(1);
    buildMenu();

    view_.setListener(this);
    showDisplay();
}

CalendarPanel::~CalendarPanel() { view_.setListener(nullptr); }

QTableWidget* CalendarPanel::buildHourGrid() {
    auto* grid = named(new QTableWidget(G::kHourRows, G::kHourColumns), "sg_std");
    plainGrid(grid);
    grid->setToolTip(qs("Aktuelle Stunde am Tag"));
    // One pixel more than the cell for the grid line, as the program's grid counts it.
    for (int c = 0; c < G::kHourColumns; ++c) grid->setColumnWidth(c, G::kHourCellWidth + 1);
    for (int r = 0; r < G::kHourRows; ++r) grid->setRowHeight(r, G::kHourCellHeight + 1);
    grid->setItem(0, 0, fixedItem({}));
    for (int hour = 0; hour < 24; ++hour) grid->setItem(0, hour + 1, fixedItem(QString::number(hour)));
    for (int day = 1; day <= 7; ++day) grid->setItem(day, 0, fixedItem(qs(kDayShortNames[static_cast<std::size_t>(day)])));
    grid->setFont(narrowFont(10, FontWidth::Condensed));
    grid->setItemDelegate(new HourCellDelegate(view_, grid));
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QTableWidget::cellPressed, this, &CalendarPanel::sg_stdSelectCell);
    connect(grid, &QTableWidget::customContextMenuRequested, this,
            [this, grid](const QPoint& at) { menu_->popup(grid->viewport()->mapToGlobal(at)); });
    fitToCells(grid);
    return grid;
}

QTableWidget* CalendarPanel::buildMinuteGrid() {
    auto* grid = named(new QTableWidget(G::kMinuteRows, G::kMinuteColumns), "sg_min");
    plainGrid(grid);
    grid->setToolTip(qs("Doppelklick"));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(8);
    grid->setFont(f);
    for (int c = 0; c < G::kMinuteColumns; ++c) grid->setColumnWidth(c, G::kMinuteColumnWidth + 1);
    for (int r = 0; r < G::kMinuteRows; ++r)
        grid->setRowHeight(r, G::kMinuteRowHeights[static_cast<std::size_t>(r)] + 1);
    for (int minute = 0; minute < 60; ++minute) {
        grid->setItem(0, minute, fixedItem(QString::number(minute / 10)));
        grid->setItem(1, minute, fixedItem(QString::number(minute % 10)));
        auto* mark = new QTableWidgetItem;
        mark->setFlags(Qt::ItemIsEnabled);
        mark->setTextAlignment(Qt::AlignCenter);
        grid->setItem(2, minute, mark);
    }
    grid->setItemDelegate(new MinuteCellDelegate(view_, grid));
    connect(grid, &QTableWidget::cellPressed, this, &CalendarPanel::sg_minSelectCell);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &CalendarPanel::sg_minDblClick);
    fitToCells(grid);
    return grid;
}

QLabel* CalendarPanel::placedLabel(QWidget* area, const char* name, const char* text, int x, int y, int width,
                                   Qt::Alignment align) {
    auto* l = label(text, name);
    l->setParent(area);
    l->setAlignment(align);
    l->setGeometry(x, y, width, kLabelHeight);
    return l;
}

// Absolute places, as the page lays them out: the sums line up with the rows of
// `sg_std`, the selected minute's number stands above its column of `sg_min`.
QWidget* CalendarPanel::buildArea() {
    auto* area = new QWidget;
    sg_std_ = buildHourGrid();
    sg_min_ = buildMinuteGrid();
    sg_std_->setParent(area);
    const int gridTop = kHeadHeight;
    sg_std_->move(0, gridTop);

    const CalendarLabelTops tops = calendarLabelTops(gridTop, G::kHourCellHeight);
    int x = sg_std_->width() + kSumGap;
    const int sumsLeft = x;
    placedLabel(area, "l_soll_head", kCalendarSollHead, x, 0, kSumWidths[0]);
    const int istHeadWidth = kSumWidths[1] + kSumWidths[2] + 40;
    placedLabel(area, "l_ist_head", kCalendarIstHead, x + kSumWidths[0] + 8, 0, istHeadWidth,
                Qt::AlignLeft | Qt::AlignVCenter);
    placedLabel(area, "l_caption", kCalendarCaption, x, tops.caption, kSumWidths[0] + kSumWidths[1] + kSumWidths[2],
                Qt::AlignLeft | Qt::AlignVCenter);
    for (int line = 1; line <= 8; ++line) {
        const int top = line <= 7 ? tops.days[static_cast<std::size_t>(line)] : tops.totals;
        x = sumsLeft;
        for (std::size_t c = 0; c < 3; ++c) {
            sums_[static_cast<std::size_t>(line)][c] = placedLabel(area, kSumNames[static_cast<std::size_t>(line)][c],
                                                                   "", x, top, kSumWidths[c]);
            x += kSumWidths[c];
        }
    }
    placedLabel(area, "l_ges", kCalendarTotalsRow, 0, tops.totals, 2 * G::kHourCellWidth,
                Qt::AlignLeft | Qt::AlignVCenter);

    const int minuteTop = tops.totals + kLabelHeight + kHeadHeight + 4;
    sg_min_->setParent(area);
    sg_min_->move(minuteGridLeft_, minuteTop);
    l_sel_min_ = placedLabel(area, "l_sel_min", "0", minuteGridLeft_, minuteTop - kHeadHeight, 20,
                             Qt::AlignLeft | Qt::AlignVCenter);
    const int selTop = minuteTop + sg_min_->height() + 4;
    l_sel_tag_ = placedLabel(area, "l_sel_tag", "", 0, selTop, 60, Qt::AlignLeft | Qt::AlignVCenter);
    l_sel_std_ = placedLabel(area, "l_sel_std", "", 64, selTop, 80, Qt::AlignLeft | Qt::AlignVCenter);
    l_sel_zeit_ = placedLabel(area, "l_sel_zeit", "", 148, selTop, 260, Qt::AlignLeft | Qt::AlignVCenter);
    const int right = std::max(x, sumsLeft + kSumWidths[0] + 8 + istHeadWidth);
    area->setFixedSize(std::max(right, sg_min_->width()) + 2, selTop + kLabelHeight + 2);
    return area;
}

void CalendarPanel::buildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("pm_kalender"));
    for (const CalendarView::MenuItem& item : CalendarView::pm_kalender()) {
        QAction* a = menu_->addAction(qs(item.caption));
        a->setObjectName(QString::fromLatin1(item.name));
        const auto command = item.command;
        connect(a, &QAction::triggered, this, [this, command] {
            guarded([this, command] { (view_.*command)(); });
        });
        if (item.separatorAfter) menu_->addSeparator();
    }
}

void CalendarPanel::showDisplay() {
    const CalendarDisplay& d = view_.display();
    l_sel_min_->setText(fromStd(d.l_sel_min));
    l_sel_min_->move(minuteGridLeft_ + d.l_sel_min_offset, l_sel_min_->y());
    l_sel_tag_->setText(fromStd(d.l_sel_tag));
    l_sel_std_->setText(fromStd(d.l_sel_std));
    l_sel_zeit_->setText(fromStd(d.l_sel_zeit));
    for (std::size_t line = 1; line <= 8; ++line) {
        const DaySums& s = line <= 7 ? d.days[line] : d.totals;
        sums_[line][0]->setText(fromStd(s.soll));
        sums_[line][1]->setText(fromStd(s.ist));
        sums_[line][2]->setText(fromStd(s.byte));
    }
    for (int minute = 0; minute < 60; ++minute)
        sg_min_->item(2, minute)->setText(fromStd(d.minuteRow[static_cast<std::size_t>(minute)]));
    sg_std_->viewport()->update();
    sg_min_->viewport()->update();
}

void CalendarPanel::sg_stdSelectCell(int row, int column) {
    guarded([&] { view_.sg_stdSelectCell(column, row); });
}

void CalendarPanel::sg_minSelectCell(int, int column) {
    guarded([&] { view_.sg_minSelectCell(column); });
}

void CalendarPanel::sg_minDblClick() {
    guarded([this] { view_.sg_minDblClick(); });
}

void CalendarPanel::B_Save_KalenderClick() {
    guarded([this] { store_.SaveCalendar(); });
}

void CalendarPanel::B_load_KalenderClick() {
    guarded([this] {
        store_.LoadCalendar();
        view_.RedrawCalendar();
    });
}

}  // namespace velora::gui
