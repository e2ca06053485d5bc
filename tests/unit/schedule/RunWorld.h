#pragma once
// The real objects of one run wired together as the program wires them, on a scratch
// folder: registry file, log files, transfer log and the "temp" variable all point
// into it. The FTP host is 127.0.0.1; tests choose the port.
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "ftp/FtpSession.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileIo.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "schedule/RunCycle.h"
#include "schedule/RunStatistics.h"
#include "schedule/StatusDisplay.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "transfer/PreparationPass.h"
#include "transfer/TagBuilder.h"
#include "transfer/TagTable.h"
#include "transfer/UploadPass.h"

namespace velora::testing {

class RunScratch {
public:
    RunScratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velora-run-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~RunScratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    RunScratch(const RunScratch&) = delete;
    RunScratch& operator=(const RunScratch&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A loopback port with nothing listening on it (bound, then released).
inline int closedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("no loopback port");
    ::close(fd);
    return ntohs(addr.sin_port);
}

inline SystemInfo smallSystemInfo() {
    SystemInfo info;
    info.texts[kOsKey] = {{"ProductName", "Debian GNU/Linux 12 (bookworm)"},
                          {"CurrentVersion", "12"},
                          {"CurrentBuildNumber", "6.1.0-18-amd64"}};
    info.texts[kCpuKey] = {{"ProcessorNameString", "Test CPU"},
                           {"Identifier", "family 6 model 79 stepping 0"},
                           {"VendorIdentifier", "GenuineIntel"}};
    info.integers[kCpuKey] = {{"~MHz", 2200}};
    return info;
}

struct RunWorld {
    RunWorld()
        : env({{"temp", dir.path()}, {"COMPUTERNAME", "KESTA-PC"}, {"OS", "Linux"}}, dir.path()),
          settings(configured(env, dir)),
          registry(dir / "registry.sqlite3", smallSystemInfo()),
          log(memo1, ui, clock, locale, {[this] { return settings.E_logfile; }, [] { return "100000"; }}),
          temp(env, log),
          store(registry, settings, files, counters, log, ui),
          ftp(settings, identity, log, ui),
          builder(tags, settings, registry, env, clock, locale, log),
          preparation(files, tags, builder, mTemp, temp, log, ui),
          stats(counters, status, settings, clock, locale, ui, store),
          upload(files, ftp, stats, temp, log, clock, locale),
          cycle(settings, preparation, files, ftp, upload, stats, log, ui) {
        // Twenty bytes "08.12.2026 14:05:09 " stand before every text.
        log.setEcho([this](const std::string& line) { lines.push_back(line.substr(20)); });
        temp.ensure();
        identity.setClientName("KESTA-PC");
        identity.setClientVersion("VELORA 1.3.7.34");
        identity.setPlatformDescription("Linux");
        stats.inWork = [this] { return cycle.inWork(); };
        stats.ftpOpen = [this] { return ftp.ftpOpen(); };
        lines.clear();   // the scratch folder's creation is not part of any run
    }

    static Settings configured(const Environment& env, const RunScratch& dir) {
        Settings s = Settings::defaults(env);
        s.E_logfile = dir / "VELORA.Log";
        s.e_Transfer_Log = dir / "Transfer_Log.csv";
        s.E_tags = dir / "Export_Tags.TXT";
        s.e_host_ziel = "127.0.0.1";   // never a default host
        s.cb_proxy = false;
        s.cb_ping = false;
        s.cb_get_ext_ip = false;
        s.cb_ss_aktiv = false;
        return s;
    }

    // A file in the scratch folder.
    std::string source(const std::string& name, const std::string& bytes) {
        const std::string path = dir / name;
        fileio::writeAll(path, bytes);
        return path;
    }
    // An active row without tag replacement, never sent before.
    int addRow(const std::string& quelle, const std::string& folder, const std::string& name) {
        const int r = files.rowCount() + 1;
        files.setRowCount(r);
        files.setRow(r, {std::to_string(r), "Ja", "No", quelle, folder, name, "0", "0", "No", ""});
        return r;
    }
    bool logged(const std::string& text) const { return std::find(lines.begin(), lines.end(), text) != lines.end(); }
    bool loggedStartingWith(const std::string& prefix) const {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    bool countersSaved() { return registry.keyExists(kSettingsKey) && registry.openKeyReadOnly(kSettingsKey).valueExists("Send_Files_ges"); }

    RunScratch dir;
    QuietUiHost ui;
    ManualClock clock;
    Locale locale = Locale::german();
    FixedEnvironment env;
    Settings settings;
    Registry registry;
    TextView memo1;
    TextView mTemp;
    EventLog log;
    TempFolder temp;
    ClientIdentity identity;
    FileTable files;
    TagTable tags;
    StatusDisplay status;
    RunCounters counters;
    SettingsStore store;
    FtpSession ftp;
    TagBuilder builder;
    PreparationPass preparation;
    RunStatistics stats;
    UploadPass upload;
    RunCycle cycle;
    std::vector<std::string> lines;
};

}  // namespace velora::testing
