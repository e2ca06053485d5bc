#pragma once
// The object that owns everything for the life of the process (the main window's
// part that is not widgets): settings, file table, views, event log, registry, FTP
// session, passes and run cycle. FormCreate is the start-up sequence; the front ends
// call the handlers below for buttons and menu items.
#include <memory>
#include <string>

#include "app/ClientIdentity.h"
#include "app/MinimisedStart.h"
#include "app/EventLog.h"
#include "app/RunLock.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "filetable/FileTableCommands.h"
#include "filetable/FileTableView.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "platform/IcmpSocket.h"
#include "platform/NameResolver.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "platform/Shell.h"
#include "platform/TcpConnector.h"
#include "schedule/RunState.h"
#include "schedule/StartupTicks.h"
#include "schedule/StatusDisplay.h"
#include "schedule/WeekCalendar.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"
#include "settings/SettingsLogSources.h"
#include "settings/SettingsStore.h"
#include "transfer/ResolvedSources.h"
#include "transfer/SettledSnapshot.h"
#include "transfer/TagTable.h"
#include "tools/HelpMenu.h"

namespace velora {

class FtpSession;
class ExternalIpLookup;
class TagBuilder;
class PreparationPass;
class UploadPass;
class RunStatistics;
class RunCycle;
class ScreenShot;
class RunStateSources;
class OnlineCheck;
class CalendarView;
class CalendarStore;
class Scheduler;

class Program {
public:
    struct Services {
        const Environment& env;
        Clock& clock;
        Locale locale;
        UiHost& ui;
        std::string registryPath;   // Registry::defaultPath() in the programs
        SystemInfo systemInfo;      // SystemInfo::fromSystem() in the programs
        Screen& screen;             // X11Screen on $DISPLAY in the programs
        Shell& shell;               // XdgOpenShell in the programs
        // The way out to the network, for every protocol: the FTP session, the HTTP
        // lookup of the external IP and the echo of the online check. A test that gives
        // its own resolver decides every name the program looks up.
        NameResolver& resolver;     // SystemNameResolver in the programs
        TcpConnector& connector;    // SystemTcpConnector in the programs
        IcmpSockets& icmpSockets;   // SystemIcmpSockets in the programs
    };

    explicit Program(Services services);
    ~Program();

    // The start-up sequence, steps 1 to 17 in their order. Errors leave it (the
    // remaining steps are skipped, the timer stays off) for the front end to show.
    void FormCreate();
    bool timerEnabled() const { return timerOn_; }

    // Menu "Datei" -> "Ende", tray "Beenden": log, save the counters. The front end then
    // removes the tray icon and ends the process.
    void Beenden1Click();

    // The one-second tick (Timer1 in the window, the daemon's loop). The front end's
    // minimised-start step runs first.
    void Timer1Timer(StartupTicks& minimisedStart);

    // Menu "Config": the settings and then the weekly calendar.
    void SaveConfig1Click();
    void LoadConfig1Click();
    void Reset_psClick();
    // Buttons
    void B_connectClick();
    void B_DisconnectClick();
    // Both work in the scratch folder and wait their turn like a run (see RunCycle).
    bool B_einlesenClick();
    bool B_versendenClick();
    void B_StartClick();
    // Menu "Hilfe".
    HelpMenu& helpMenu() { return helpMenu_; }
    // The first step of every scheduler tick: minimisedStart().onTick(settings().cb_mini_start).
    MinimisedStart& minimisedStart() { return minimisedStart_; }
    // The parts, for the front ends to hand each page the few it works with. The
    // pages' own handlers call the part that does the work (the online check's buttons
    // the RunCycle, the calendar's buttons the CalendarStore, ...).
    Settings& settings() { return settings_; }
    FileTable& files() { return files_; }
    FileTableView& filesView() { return filesView_; }
    FileTableCommands& fileCommands() { return fileCommands_; }
    TextView& Memo1() { return memo1_; }
    TextView& M_temp() { return mTemp_; }
    TagTable& tags() { return tags_; }
    StatusDisplay& status() { return status_; }
    RunCounters& counters() { return counters_; }
    EventLog& log() { return log_; }
    Registry& registry() { return registry_; }
    SettingsStore& store() { return store_; }
    TempFolder& tempFolder() { return temp_; }
    const ClientIdentity& identity() const { return identity_; }
    FtpSession& ftp();
    RunCycle& runCycle();
    RunState& runState() { return state_; }
    WeekCalendar& calendar() { return calendar_; }
    CalendarView& calendarView();
    CalendarStore& calendarStore();
    Scheduler& scheduler();
    RunStatistics& statistics();
    ScreenShot& screenShot();
    int currentWeekday() const { return weekday_; }

    const Environment& env() const { return env_; }

private:
    const Environment& env_;
    Clock& clock_;
    Locale locale_;
    UiHost& ui_;
    Settings settings_;
    Registry registry_;
    FileTable files_;
    FileTableView filesView_;
    FileTableCommands fileCommands_;
    TextView memo1_;
    TextView mTemp_;
    TagTable tags_;
    StatusDisplay status_;
    RunCounters counters_;
    RunState state_;
    WeekCalendar calendar_{counters_};
    SettingsLogSources logSources_{settings_, env_};
    EventLog log_;
    TempFolder temp_;
    RunLock runLock_;
    ResolvedSources sources_;
    SystemFileFacts fileFacts_;
    SettledSnapshots snapshots_;
    ClientIdentity identity_;
    SettingsStore store_;
    std::unique_ptr<FtpSession> ftp_;
    std::unique_ptr<RunStateSources> statusSources_;
    std::unique_ptr<OnlineCheck> onlineCheck_;
    std::unique_ptr<ExternalIpLookup> externalIp_;
    std::unique_ptr<TagBuilder> tagBuilder_;
    std::unique_ptr<PreparationPass> preparation_;
    std::unique_ptr<RunStatistics> statistics_;
    std::unique_ptr<UploadPass> upload_;
    std::unique_ptr<ScreenShot> screenShot_;
    std::unique_ptr<RunCycle> runCycle_;
    HelpMenu helpMenu_;
    MinimisedStart minimisedStart_;
    std::unique_ptr<CalendarView> calendarView_;
    std::unique_ptr<CalendarStore> calendarStore_;
    std::unique_ptr<Scheduler> scheduler_;
    int weekday_ = 1;
    bool timerOn_ = false;
};

}  // namespace velora
