#include "gui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/ClientIdentity.h"
#include "gui/ButtonPanel.h"
#include "gui/ConfigPage.h"
#include "gui/FilesPage.h"
#include "gui/Guarded.h"
#include "gui/LogPage.h"
#include "gui/QtUiHost.h"
#include "gui/SchedulePage.h"
#include "gui/StatusBar.h"
#include "gui/TagsPage.h"
#include "gui/TempPage.h"
#include "gui/ToolsPage.h"
#include "gui/TrayIcon.h"
#include "program/Program.h"

namespace velora::gui {

namespace {

QIcon programIcon() {
    QPixmap pm(32, 32);
    pm.fill(QColor(0, 90, 160));
    QPainter p(&pm);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(24);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("V"));
    return QIcon(pm);
}

// Files and registry keys are closed after every operation, so nothing is lost.
class ImmediateEnd final : public ProcessEnd {
public:
    void endProcess() override {
        std::fflush(nullptr);
        std::_Exit(0);
    }
};

ImmediateEnd immediateEnd;

// The screens' work area, or one of a small screen while none can be asked.
QRect workArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableVirtualGeometry() : QRect();
    return area.isEmpty() ? QRect(0, 0, 1024, 768) : area;
}

}  // namespace

MainWindow::MainWindow(Program& program, QtUiHost& ui, QWidget* parent)
    : QMainWindow(parent), program_(program), ui_(ui), end_(&immediateEnd) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VELORA"));
    setWindowIcon(programIcon());

    buildMenus();
    buildPages();
    panel_ = new ButtonPanel;
    statusBar_ = new StatusBar;
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pages_, 1);
    layout->addWidget(panel_);
    layout->addWidget(statusBar_);
    setCentralWidget(central);
    connectButtons();
    buildTray();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(1000);
    // Queued, not called from the timer's event: Qt does not fire a timer again while its
    // own event is being handled, and a run started by a tick lets pending events run,
    // where the next ticks must arrive to count down to the restart.
    connect(timer_, &QTimer::timeout, this, &MainWindow::Timer1Timer, Qt::QueuedConnection);

    ui_.attach(this, pages_, this);
    program_.store().setHooks(this);
    program_.status().setListener(this);
    applyWindowGeometry();
    repaintStatus();
}

MainWindow::~MainWindow() {
    program_.status().setListener(nullptr);
    program_.store().setHooks(nullptr);
    program_.tags().setListener(nullptr);
    program_.files().setListener(nullptr);
    ui_.attach(nullptr, nullptr, nullptr);
}

QAction* MainWindow::addItem(QMenu* menu, const char* name, const char* caption, void (MainWindow::*slot)()) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, slot);
    return a;
}

void MainWindow::buildMenus() {
    QMenu* datei = menuBar()->addMenu(QStringLiteral("Datei"));
    datei->setObjectName(QStringLiteral("Datei1"));
    addItem(datei, "Ende1", "Ende", &MainWindow::Beenden1Click);

    QMenu* config = menuBar()->addMenu(QStringLiteral("Config"));
    config->setObjectName(QStringLiteral("Config1"));
    addItem(config, "LoadConfig1", "Load Config", &MainWindow::LoadConfig1Click);
    addItem(config, "SaveConfig1", "Save Config", &MainWindow::SaveConfig1Click);
    addItem(config, "Reset_ps", "alle Prüfsummen Reset", &MainWindow::Reset_psClick);

    QMenu* hilfe = menuBar()->addMenu(QStringLiteral("Hilfe"));
    hilfe->setObjectName(QStringLiteral("Hilfe1"));
    addItem(hilfe, "TrevlodeWebseite1", HelpMenu::webSiteCaption().c_str(), &MainWindow::TrevlodeWebseite1Click);
    addItem(hilfe, "VeloraWebHilfe1", "VELORA Web Hilfe", &MainWindow::VeloraWebHilfe1Click);
    addItem(hilfe, "Feedback1", "Feedback", &MainWindow::Feedback1Click);
}

void MainWindow::buildPages() {
    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("PageControl1"));
    // Each page gets the few parts it works with; the program keeps them.
    Program& p = program_;
    config_ = new ConfigPage(p.settings(), p.runCycle(), p.env(), ui_);
    schedule_ = new SchedulePage(
        {p.settings(), p.runCycle(), p.scheduler(), p.statistics(), p.calendarView(), p.calendarStore()});
    files_ = new FilesPage(p.files(), p.filesView(), p.fileCommands(), p.tags(), p.settings());
    tags_ = new TagsPage(p.tags());
    tools_ = new ToolsPage(p.settings(), p.screenShot(), p.env(), ui_);
    log_ = new LogPage(program_.Memo1());
    temp_ = new TempPage(program_.M_temp());
    pages_->addTab(config_, QStringLiteral("Config"));
    pages_->addTab(schedule_, QStringLiteral("Zeitsteuerung"));
    pages_->addTab(files_, QStringLiteral("Dateien"));
    pages_->addTab(tags_, QStringLiteral("TAGs"));
    pages_->addTab(tools_, QStringLiteral("Tools"));
    pages_->addTab(log_, QStringLiteral("LOG"));
    pages_->addTab(temp_, QStringLiteral("Temp"));
}

void MainWindow::buildTray() {
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    addItem(trayMenu_, "FormView1", "Zeig Es wieder an", &MainWindow::FormView1Click);
    trayMenu_->addSeparator();
    addItem(trayMenu_, "Beenden1", "Beenden", &MainWindow::Beenden1Click);

    tray_ = new TrayIcon(this, trayMenu_, windowIcon(), QStringLiteral("VELORA by ") + QString::fromUtf8(kMakerDomain));
}

QSystemTrayIcon* MainWindow::trayIcon() const { return tray_->icon(); }

void MainWindow::connectButtons() {
    const auto bind = [this](const char* name, auto handler) {
        connect(panel_->button(name), &QPushButton::clicked, this,
                [this, handler] { guarded([this, handler] { (program_.*handler)(); }); });
    };
    bind("B_connect", &Program::B_connectClick);
    bind("B_Disconnect", &Program::B_DisconnectClick);
    bind("B_einlesen", &Program::B_einlesenClick);
    bind("B_versenden", &Program::B_versendenClick);
    bind("B_Start", &Program::B_StartClick);
    connect(panel_->button("B_hide"), &QPushButton::clicked, this, &MainWindow::B_hideClick);
}

void MainWindow::afterLoad() {
    applyWindowGeometry();
    files_->fitColumnWidths(widthsNotStored());
    files_->applyColumnWidths();
    refreshFromSettings();
}

void MainWindow::beforeSave() {
    storeWindowGeometry();
    // The designed widths cut texts in the fonts here (row 1000, "Reset", the
    // fingerprints): a first start's save, before any width is stored, stores widths
    // that fit. Widths the store holds are the user's and stay.
    if (firstSave()) files_->fitColumnWidths(widthsNotStored());
}

bool MainWindow::firstSave() {
    try {
        return !program_.registry().keyExists(kSettingsKey);
    } catch (const std::exception&) {
        return false;  // the save itself reports a store it cannot use
    }
}

std::array<bool, kFileColumns> MainWindow::widthsNotStored() {
    std::array<bool, kFileColumns> missing{};
    try {
        Registry& store = program_.registry();
        if (!store.keyExists(kSettingsKey)) {
            missing.fill(true);
            return missing;
        }
        Registry::Key key = store.openKeyReadOnly(kSettingsKey);
        // The value names the settings store gives the widths.
        for (int c = 0; c < kFileColumns; ++c) missing[c] = !key.valueExists("Breite_" + std::to_string(c));
    } catch (const std::exception&) {
        // A store that cannot be read fails the load or the save itself, with its text.
    }
    return missing;
}

void MainWindow::applyWindowGeometry() {
    // Kept on the screens: a damaged size (2147483647, or 100000 both ways) asks for a
    // window of gigabytes at every start, a place far off leaves it out of reach.
    const WindowGeometry& g = program_.settings().window;
    const QRect area = workArea();
    if (layout()) layout()->activate();  // the window's own minimum size counts
    resize(std::clamp(g.width, 1, area.width()), std::clamp(g.height, 1, area.height()));
    move(std::clamp(g.left, area.left(), std::max(area.left(), area.x() + area.width() - width())),
         std::clamp(g.top, area.top(), std::max(area.top(), area.y() + area.height() - height())));
    // As large as the work area or larger: the window manager fits it, title bar and
    // frame included, which are not known here before the window is shown.
    if (g.width >= area.width() || g.height >= area.height()) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::storeWindowGeometry() {
    WindowGeometry& g = program_.settings().window;
    g.left = x();
    g.top = y();
    g.width = width();
    g.height = height();
}

void MainWindow::startUp() {
    pages_->setCurrentIndex(0);
    storeWindowGeometry();
    tray_->setStartingUp(true);
    const bool complete = guarded([this] { program_.FormCreate(); });
    // Set up even after an error: a later "Hide" must always find its way back.
    tray_->setStartingUp(false);
    // A load that stopped half-way has still changed some settings.
    refreshFromSettings();
    files_->applyColumnWidths();
    if (!complete) {
        applyWindowGeometry();
        return;
    }
    applyStartupCaptions();
    startTimerIfEnabled();
}

void MainWindow::applyStartupCaptions() {
    panel_->label3()->setText(QString::fromUtf8(kMakerWebHost));
    setWindowTitle(QString::fromUtf8(kVersionBanner) + QStringLiteral("  by ") + QString::fromUtf8(kMakerDomain));
}

void MainWindow::startTimerIfEnabled() {
    if (program_.timerEnabled()) timer_->start();
}

void MainWindow::refreshFromSettings() {
    config_->refreshFromSettings();
    schedule_->refreshFromSettings();
    tools_->refreshFromSettings();
}

void MainWindow::repaintStatus() {
    const StatusDisplay& s = program_.status();
    statusBar_->show(s);
    panel_->setColour(s.buttonPanel);
    schedule_->showStatus(s);
}

void MainWindow::Timer1Timer() {
    guarded([this] { program_.Timer1Timer(*this); });
}

// The first step of every tick: the start-up tick counter of the minimised start.
void MainWindow::minimisedStartTick() { program_.minimisedStart().onTick(program_.settings().cb_mini_start); }

void MainWindow::B_hideClick() { tray_->hideWindow(); }

void MainWindow::FormView1Click() { tray_->showWindow(); }

void MainWindow::Beenden1Click() {
    // The user asked to end: an error while logging the end is shown, then we end.
    guarded([this] { program_.Beenden1Click(); });
    tray_->remove();
    end_->endProcess();
}

void MainWindow::LoadConfig1Click() {
    // A load that stops at a bad value keeps what it applied before it, the window's
    // place and the column widths included; the window shows that much of it.
    storeWindowGeometry();
    if (!guarded([this] { program_.LoadConfig1Click(); })) {
        applyWindowGeometry();
        files_->applyColumnWidths();
    }
    refreshFromSettings();
}

void MainWindow::SaveConfig1Click() {
    guarded([this] { program_.SaveConfig1Click(); });
}

void MainWindow::Reset_psClick() {
    guarded([this] { program_.Reset_psClick(); });
}

void MainWindow::TrevlodeWebseite1Click() { program_.helpMenu().TrevlodeWebseite1Click(); }
void MainWindow::VeloraWebHilfe1Click() { program_.helpMenu().VeloraWebHilfe1Click(); }
void MainWindow::Feedback1Click() { program_.helpMenu().Feedback1Click(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box ends the process without saving or logging anything.
    event->accept();
    end_->endProcess();
}

}  // namespace velora::gui
