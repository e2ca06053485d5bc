#pragma once
// The real objects of one run and of the scheduler wired together as the program wires
// them, on a scratch folder: registry file, log files, transfer log and the "temp"
// variable all point into it. The FTP host is 127.0.0.1; tests choose the port.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "support/QuietUiHost.h"
#include "filetable/FileTable.h"
#include "ftp/FtpSession.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "schedule/CalendarStore.h"
#include "schedule/CalendarView.h"
#include "schedule/EchoCheck.h"
#include "schedule/FtpLoginFromSettings.h"
#include "schedule/RunCycle.h"
#include "schedule/RunState.h"
#include "schedule/RunStatistics.h"
#include "schedule/Scheduler.h"
#include "schedule/StartupTicks.h"
#include "schedule/StatusSources.h"
#include "schedule/WeekCalendar.h"
#include "schedule/StatusDisplay.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"
#include "settings/SettingsLogSources.h"
#include "settings/SettingsStore.h"
#include "support/FixedResolver.h"
#include "support/LogHarness.h"
#include "support/SampleSystemInfo.h"
#include "support/TempDir.h"
#include "transfer/ExternalIpLookup.h"
#include "transfer/PreparationPass.h"
#include "transfer/TagBuilder.h"
#include "transfer/TagTable.h"
#include "transfer/UploadPass.h"

namespace velora::test {

// The run's first step as a run sees it: counted, and failing when told to.
struct ScreenShotSpy final : ScreenShotStep {
    int taken = 0;
    std::size_t linesBefore = 0;        // log lines written before the last shot
    const std::vector<std::string>* lines = nullptr;
    std::string failure;                // not empty: the shot raises an error with it
    void takeScreenShot() override {
        ++taken;
        if (lines) linesBefore = lines->size();
        if (!failure.empty()) throw Error(failure);
    }
};

// An echo that answers from a script: each PingHost call records its host and sequence
// and gives the next scripted reply (nullopt: the echo could not be made). Runs
// `onPing` first, so a test can look at the state while the echo is out.
struct ScriptedEcho final : EchoCheck {
    std::vector<std::optional<EchoReply>> replies;
    std::vector<std::pair<std::string, int>> pings;
    std::function<void()> onPing;

    std::optional<EchoReply> PingHost(const std::string& host, int sequence) override {
        pings.emplace_back(host, sequence);
        if (onPing) onPing();
        if (replies.empty()) return std::nullopt;
        std::optional<EchoReply> r = replies.front();
        replies.erase(replies.begin());
        return r;
    }
    // A full answer of the loopback host.
    static EchoReply answer(int ttl = 64) { return {70, "127.0.0.1", 1, ttl, 0}; }
};

// Every log line is kept without its stamp.
struct RunWorld : EventLog::Echo {
    // The FTP time-outs are the program's unless a test shortens them.
    explicit RunWorld(FtpTimeouts timeouts = {})
        : env({{"temp", dir.path()}, {"COMPUTERNAME", "KESTA-PC"}, {"OS", "Linux"}}, dir.path()),
          settings(configured(env, dir)),
          registry(dir.file("registry.sqlite3"), test::sampleSystemInfo()),
          logSources(settings, env),
          log(memo1, ui, clock, locale, logSources),
          temp(env, log),
          lock(temp, log),
          store(registry, settings, files, counters, temp, log, ui),
          ftp(identity, log, ui, resolver, connector, timeouts),
          externalIp(settings, log, resolver, connector, clock),
          builder(tags, settings, registry, env, clock, locale, log, externalIp),
          preparation(files, tags, builder, mTemp, temp, sources, snapshots, log, ui),
          statusSources(state, ftp),
          stats(counters, status, statusSources, settings, env, clock, locale, ui, store),
          upload(files, ftp, stats, temp, sources, snapshots, log, clock, locale),
          cycle(settings, state, preparation, files, ftp, upload, stats, echo, lock, log, ui, screenShot),
          calendar(counters),
          calendarView(calendar, state, stats, locale),
          calendarStore(registry, calendar, log),
          scheduler({settings, state, cycle, ftp, calendar, calendarView, stats, status, log, clock, locale}) {
        screenShot.lines = &lines;
        log.setEcho(this);
        files.setScratchFolder(temp.path());
        temp.ensure();
        identity.setClientName("KESTA-PC");
        identity.setClientVersion("VELORA 1.3.7.34");
        identity.setPlatformDescription("Linux");
        lines.clear();   // the scratch folder's creation is not part of any run
    }

    static Settings configured(const Environment& env, const test::TempDir& dir) {
        Settings s = Settings::defaults(env);
        s.E_logfile = dir.file("VELORA.Log");
        s.e_Transfer_Log = dir.file("Transfer_Log.csv");
        s.E_tags = dir.file("Export_Tags.TXT");
        s.e_host_ziel = "127.0.0.1";   // never a default host
        s.cb_proxy = false;
        s.cb_ping = false;
        s.cb_get_ext_ip = false;
        s.cb_ss_aktiv = false;
        // The sources are written a moment before each run while the test clock stands
        // still; waiting for young files is tested where file ages are scripted.
        s.se_ruhezeit.text = "0";
        return s;
    }

    // An active row without tag replacement, never sent before.
    int addRow(const std::string& quelle, const std::string& folder, const std::string& name) {
        const int r = files.rowCount() + 1;
        files.setRowCount(r);
        files.setRow(r, {std::to_string(r), "Ja", "No", quelle, folder, name, "0", "0", "No", ""});
        return r;
    }
    void echoLine(const std::string& line) override { lines.push_back(test::withoutStamp(line)); }
    bool logged(const std::string& text) const { return test::contains(lines, text); }
    bool loggedStartingWith(const std::string& prefix) const { return test::containsStartOf(lines, prefix); }
    bool countersSaved() {
        return registry.keyExists(kSettingsKey) &&
               registry.openKeyReadOnly(kSettingsKey).valueExists("Send_Files_ges");
    }

    test::TempDir dir;
    QuietUiHost ui;
    ManualClock clock;
    Locale locale = Locale::german();
    FixedEnvironment env;
    Settings settings;
    Registry registry;
    TextView memo1;
    TextView mTemp;
    SettingsLogSources logSources;
    EventLog log;
    TempFolder temp;
    RunLock lock;
    ResolvedSources sources;
    SystemFileFacts facts;
    SettledSnapshots snapshots{facts, clock, ui, settings};
    ClientIdentity identity;
    FileTable files;
    TagTable tags;
    StatusDisplay status;
    RunCounters counters;
    SettingsStore store;
    test::FixedResolver resolver;   // knows no names: only numeric addresses work
    SystemTcpConnector connector;
    FtpSession ftp;
    ExternalIpLookup externalIp;
    TagBuilder builder;
    PreparationPass preparation;
    RunState state;
    ScriptedEcho echo;
    RunStateSources statusSources;
    RunStatistics stats;
    UploadPass upload;
    ScreenShotSpy screenShot;
    RunCycle cycle;
    WeekCalendar calendar;
    CalendarView calendarView;
    CalendarStore calendarStore;
    Scheduler scheduler;
    NoStartupTicks noWindow;
    std::vector<std::string> lines;
};

}  // namespace velora::test
