#include "program/Program.h"

#include "ftp/FtpSession.h"
#include "schedule/CalendarStore.h"
#include "schedule/CalendarView.h"
#include "schedule/FtpLoginFromSettings.h"
#include "schedule/OnlineCheck.h"
#include "schedule/RunCycle.h"
#include "schedule/RunStatistics.h"
#include "tools/ScreenShot.h"
#include "schedule/Scheduler.h"
#include "schedule/StatusSources.h"
#include "transfer/Checksums.h"
#include "transfer/ExternalIpLookup.h"
#include "transfer/PreparationPass.h"
#include "transfer/TagBuilder.h"
#include "transfer/UploadPass.h"

namespace velora {

Program::Program(Services s)
    : env_(s.env),
      clock_(s.clock),
      locale_(std::move(s.locale)),
      ui_(s.ui),
      settings_(Settings::defaults(s.env)),
      registry_(std::move(s.registryPath), std::move(s.systemInfo)),
      filesView_(files_),
      fileCommands_(files_, filesView_, ui_),
      log_(memo1_, ui_, clock_, locale_, logSources_),
      temp_(env_, log_),
      runLock_(temp_, log_),
      snapshots_(fileFacts_, clock_, ui_, settings_),
      store_(registry_, settings_, files_, counters_, temp_, log_, ui_),
      helpMenu_(s.shell),
      minimisedStart_(ui_) {
    files_.setScratchFolder(temp_.path());
    ftp_ = std::make_unique<FtpSession>(identity_, log_, ui_, s.resolver, s.connector);
    externalIp_ = std::make_unique<ExternalIpLookup>(settings_, log_, s.resolver, s.connector, clock_);
    tagBuilder_ = std::make_unique<TagBuilder>(tags_, settings_, registry_, env_, clock_, locale_, log_, *externalIp_);
    preparation_ =
        std::make_unique<PreparationPass>(files_, tags_, *tagBuilder_, mTemp_, temp_, sources_, snapshots_, log_, ui_);
    statusSources_ = std::make_unique<RunStateSources>(state_, *ftp_);
    statistics_ = std::make_unique<RunStatistics>(counters_, status_, *statusSources_, settings_, env_, clock_, locale_,
                                                  ui_, store_);
    upload_ = std::make_unique<UploadPass>(files_, *ftp_, *statistics_, temp_, sources_, snapshots_, log_, clock_,
                                           locale_);
    screenShot_ = std::make_unique<ScreenShot>(settings_, env_, s.screen, log_);
    onlineCheck_ = std::make_unique<OnlineCheck>(s.resolver, s.icmpSockets, clock_, log_, currentProcessId());
    runCycle_ = std::make_unique<RunCycle>(settings_, state_, *preparation_, files_, *ftp_, *upload_, *statistics_,
                                           *onlineCheck_, runLock_, log_, ui_, *screenShot_);
    calendarView_ = std::make_unique<CalendarView>(calendar_, state_, *statistics_, locale_);
    calendarStore_ = std::make_unique<CalendarStore>(registry_, calendar_, log_);
    scheduler_ = std::make_unique<Scheduler>(SchedulerParts{settings_, state_, *runCycle_, *ftp_, calendar_,
                                                            *calendarView_, *statistics_, status_, log_, clock_,
                                                            locale_});
}

Program::~Program() = default;

FtpSession& Program::ftp() { return *ftp_; }
RunCycle& Program::runCycle() { return *runCycle_; }
CalendarView& Program::calendarView() { return *calendarView_; }
CalendarStore& Program::calendarStore() { return *calendarStore_; }
Scheduler& Program::scheduler() { return *scheduler_; }
RunStatistics& Program::statistics() { return *statistics_; }
ScreenShot& Program::screenShot() { return *screenShot_; }

void Program::FormCreate() {
    // 1. The settings are not loaded yet: this line goes to the built-in log file.
    log_.write("Programm -> RUN");
    // 2. First page; 3. the tag grid's widths are the window's own.
    ui_.showFirstPage();
    // 4./5. Header, start widths and the sample rows a first start stores.
    for (int c = 0; c < kFileColumns; ++c) files_.setColumnWidth(c, FileTable::startWidths()[c]);
    files_.setRowCount(5);
    files_.fillSampleRows();
    // 6. The calendar grids are labelled by the window.
    // 7. Today's weekday serves the calendar and the scheduler.
    weekday_ = clock_.now().weekday;
    state_.LastWeekday = weekday_;
    // 8. Settings and file table (saves the defaults first on the very first start).
    store_.LoadConfig();
    // 9.-11. Weekly calendar: load, plan the rest of today afresh, redraw.
    calendarStore_->LoadCalendar();
    calendar_.resetRestOfToday(clock_.now());
    calendarView_->RedrawCalendar();
    // 12. The progress bar is placed by the window.
    // 13. Scratch folder (another account may have taken its name: then one of its own).
    temp_.ensure();
    files_.setScratchFolder(temp_.path());
    // 14. FTP client identity.
    identity_.setClientName(env_.get("COMPUTERNAME"));
    identity_.setPlatformDescription(env_.get("OS"));
    identity_.setClientVersion(kVersionBanner);
    log_.write("ClientName -> " + identity_.clientName());
    log_.write("PlatformDescription -> " + identity_.platformDescription());
    log_.write("ClientVersion -> " + identity_.clientVersion());
    // 15./16. Tray record and captions belong to the window.
    // 17. The scheduler timer.
    timerOn_ = true;
}

void Program::Beenden1Click() {
    log_.write("Programm -> END");
    statistics_->SaveRunCounters();
}

void Program::Timer1Timer(StartupTicks& minimisedStart) { scheduler_->Timer1Timer(minimisedStart); }

void Program::SaveConfig1Click() {
    store_.SaveConfig();
    calendarStore_->SaveCalendar();
}

void Program::LoadConfig1Click() {
    store_.LoadConfig();
    calendarStore_->LoadCalendar();
    calendarView_->RedrawCalendar();
}

void Program::Reset_psClick() { velora::Reset_psClick(files_, log_); }
void Program::B_connectClick() { ftp_->B_connectClick(ftpLoginFromSettings(settings_)); }
void Program::B_DisconnectClick() { ftp_->B_DisconnectClick(); }
bool Program::B_einlesenClick() { return runCycle_->B_einlesenClick(); }
bool Program::B_versendenClick() { return runCycle_->B_versendenClick(); }
void Program::B_StartClick() { runCycle_->B_StartClick(); }

}  // namespace velora
