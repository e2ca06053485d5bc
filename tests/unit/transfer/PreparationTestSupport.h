#pragma once
// Scaffolding shared by the checksum, tag and preparation tests: a scratch folder that
// cleans up after itself, file stamps set to chosen local times, and one object that
// wires the passes to fakes (quiet window host, manual clock, German formats, a fixed
// environment, a registry whose machine keys come from a SystemInfo built here).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileIo.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "settings/Settings.h"
#include "transfer/PreparationPass.h"
#include "transfer/TagBuilder.h"
#include "transfer/TagTable.h"

namespace velora::testing {

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velora-transfer-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        // Tests make files read-only; give write permission back so removal works as any user.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            ::chmod(it->path().c_str(), it->is_directory(ec) ? 0755 : 0644);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets the last-write time to a local calendar time (plus nanoseconds).
inline void setLocalMtime(const std::string& path, const DateTime& t, long nanoseconds = 0) {
    tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    parts.tm_isdst = -1;
    const time_t seconds = mktime(&parts);
    timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

inline void writeFile(const std::string& path, const std::string& bytes) { fileio::writeAll(path, bytes); }

inline SystemInfo sampleSystemInfo() {
    SystemInfo info;
    info.texts[kOsKey] = {{"ProductName", "Debian GNU/Linux 12 (bookworm)"},
                          {"CurrentVersion", "12"},
                          {"CurrentType", "Multiprocessor Free"},
                          {"CurrentBuildNumber", "6.1.0-18-amd64"}};  // no CSDVersion
    info.texts[kCpuKey] = {{"ProcessorNameString", "Intel(R) Xeon(R) CPU @ 2.20GHz"},
                           {"Identifier", "family 6 model 79 stepping 0"},
                           {"VendorIdentifier", "GenuineIntel"}};
    info.integers[kCpuKey] = {{"~MHz", 2200}};
    return info;
}

// Everything a preparation pass talks to, with the log lines collected without their
// date and time.
struct PassRig {
    explicit PassRig(SystemInfo info = sampleSystemInfo())
        : env({{"temp", dir.path()}, {"COMPUTERNAME", "KESTA-PC"}, {"OS", "Windows_NT"}}),
          log(memo1, ui, clock, locale, {[this] { return dir / "velora.log"; }, [] { return "600"; }}),
          temp(env, log),
          registry(dir / "registry.sqlite3", std::move(info)),
          builder(tags, settings, registry, env, clock, locale, log),
          pass(files, tags, builder, mTemp, temp, log, ui) {
        // "08.12.2026 14:05:09 " is twenty bytes in front of every text.
        log.setEcho([this](const std::string& line) { lines.push_back(line.substr(20)); });
        mTemp.setListener([this](TextView::Change) { ++mTempUpdates; });
        tags.setListener([this] { ++tagRefreshes; });
    }

    // Appends a data row: Aktiv, TAG, Quelle; fingerprints "0", MSG "No".
    int addRow(const std::string& aktiv, const std::string& tag, const std::string& quelle) {
        const int r = files.rowCount() + 1;
        files.setRowCount(r);
        files.setCell(Nr, r, std::to_string(r));
        files.setCell(Aktiv, r, aktiv);
        files.setCell(Tag, r, tag);
        files.setCell(Quelle, r, quelle);
        files.setCell(PsNeu, r, "0");
        files.setCell(PsAlt, r, "0");
        files.setCell(Msg, r, "No");
        return r;
    }
    std::string cell(FileColumn c, int r) const { return files.cell(c, r); }
    bool logged(const std::string& text) const {
        for (const auto& l : lines)
            if (l == text) return true;
        return false;
    }
    std::string scratch() const { return dir.path() + "/velora"; }

    ScratchDir dir;
    QuietUiHost ui;
    ManualClock clock;
    Locale locale = Locale::german();
    FixedEnvironment env;
    TextView memo1;
    TextView mTemp;
    EventLog log;
    TempFolder temp;
    Settings settings;
    Registry registry;
    TagTable tags;
    FileTable files;
    TagBuilder builder;
    PreparationPass pass;
    std::vector<std::string> lines;
    int mTempUpdates = 0;
    int tagRefreshes = 0;
};

}  // namespace velora::testing
