#pragma once
// Form1: the main window. Pages, the button panel, the status bar, the main menu, the
// one-second timer and the tray icon; everything it shows is held by the Program.
#include <QMainWindow>
#include <array>

#include "filetable/FileTable.h"
#include "gui/QtUiHost.h"
#include "schedule/StartupTicks.h"
#include "schedule/StatusDisplay.h"
#include "settings/SettingsStore.h"

class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace velora {
class Program;
}

namespace velora::gui {

class ButtonPanel;
class ConfigPage;
class FilesPage;
class LogPage;
class SchedulePage;
class StatusBar;
class TagsPage;
class TempPage;
class ToolsPage;
class TrayIcon;

// How the process ends ("Ende", "Beenden", the close box): at once, with nothing else
// run. Tests count the ends instead.
class ProcessEnd {
public:
    virtual ~ProcessEnd() = default;
    virtual void endProcess() = 0;
};

// The window is the scheduler's minimised-start step: the first tick hides it to the
// tray when "Minimiert" is set. It repaints when the status changes, keeps its place
// and column widths through the settings store's hooks, and hides and refreshes itself
// for the UiHost.
class MainWindow : public QMainWindow,
                   public StartupTicks,
                   private StatusDisplay::Listener,
                   private SettingsStore::Hooks,
                   private QtUiHost::WindowActions {
    Q_OBJECT
public:
    MainWindow(Program& program, QtUiHost& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence with the window's own parts around it: first page shown,
    // the core's FormCreate (an error is shown and ends the sequence there), then the
    // controls re-read, the captions set and the timer started, as far as it came.
    void startUp();
    // Window caption and Label3 with the maker's names.
    void applyStartupCaptions();
    // Timer1 runs only when the start-up sequence got to its end.
    void startTimerIfEnabled();
    // Every settings control shows its Settings field again.
    void refreshFromSettings();
    // The status bar, the button panel colour and the two labels from StatusDisplay.
    void repaintStatus();

    QTabWidget* pages() const { return pages_; }
    FilesPage* filesPage() const { return files_; }
    StatusBar* statusBar1() const { return statusBar_; }
    ButtonPanel* panel1() const { return panel_; }
    QTimer* timer1() const { return timer_; }
    QSystemTrayIcon* trayIcon() const;
    TrayIcon* tray() const { return tray_; }

    // Replaces the immediate end of the process (the tests' counter).
    void setProcessEnd(ProcessEnd& end) { end_ = &end; }

    // The first step of every tick: counts the first ticks and hides on the first one
    // when "Minimiert" is set.
    void minimisedStartTick() override;

public slots:
    void Timer1Timer();
    void B_hideClick();
    void FormView1Click();
    void Beenden1Click();
    void LoadConfig1Click();
    void SaveConfig1Click();
    void Reset_psClick();
    void TrevlodeWebseite1Click();
    void VeloraWebHilfe1Click();
    void Feedback1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildPages();
    void buildTray();
    void connectButtons();
    void statusChanged() override { repaintStatus(); }
    void beforeSave() override;
    void afterLoad() override;
    void hideWindowToTray() override { B_hideClick(); }
    void showSettingsAgain() override { refreshFromSettings(); }
    void applyWindowGeometry();
    // The file table's columns the settings store holds no width for: all of them
    // before the very first save, later those a store written by another version lacks.
    std::array<bool, kFileColumns> widthsNotStored();
    // The store holds no settings yet: the save about to run is a first start's.
    bool firstSave();
    void storeWindowGeometry();
    QAction* addItem(QMenu* menu, const char* name, const char* caption, void (MainWindow::*slot)());

    Program& program_;
    QtUiHost& ui_;
    ProcessEnd* end_;
    QTabWidget* pages_ = nullptr;
    ConfigPage* config_ = nullptr;
    SchedulePage* schedule_ = nullptr;
    FilesPage* files_ = nullptr;
    TagsPage* tags_ = nullptr;
    ToolsPage* tools_ = nullptr;
    LogPage* log_ = nullptr;
    TempPage* temp_ = nullptr;
    ButtonPanel* panel_ = nullptr;
    StatusBar* statusBar_ = nullptr;
    QTimer* timer_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
};

}  // namespace velora::gui
