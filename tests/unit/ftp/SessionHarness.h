#pragma once
// An FtpSession wired to a real EventLog (view, temp log file, German formats, a
// clock that stands still), so tests read back exactly the lines a person would see.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "ftp/FtpSession.h"
#include "platform/Clock.h"
#include "platform/FileIo.h"
#include "platform/Locale.h"
#include "settings/Settings.h"

namespace velora::testing {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velora-ftp-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct SessionHarness {
    TempDir dir;
    TextView view;
    QuietUiHost ui;
    ManualClock clock;
    Locale locale = Locale::german();
    EventLog log{view, ui, clock, locale,
                 EventLog::Sources{[this] { return dir.file("VELORA.Log"); }, [] { return std::string("5000"); }}};
    Settings settings;
    ClientIdentity identity;
    FtpSession session{settings, identity, log, ui};

    // Points the session at a server on 127.0.0.1:port with user "anna", password "pw".
    explicit SessionHarness(int port = 21) {
        settings.e_host_ziel = "127.0.0.1";
        settings.e_user_ziel = "anna";
        settings.ME_pwd_ziel = "pw";
        settings.cb_proxy = false;
        identity.setClientName("PC1");
        identity.setClientVersion(kVersionBanner);
        identity.setPlatformDescription("Linux");
        session.setServerPort(port);
    }

    // The log lines without their "date time " prefix.
    std::vector<std::string> lines() const {
        const std::string stamp = locale.shortDate(clock.now()) + " " + locale.longTime(clock.now()) + " ";
        std::vector<std::string> out;
        for (const auto& l : view.lines()) out.push_back(l.rfind(stamp, 0) == 0 ? l.substr(stamp.size()) : l);
        return out;
    }
    // Lines logged from index `from` on.
    std::vector<std::string> linesFrom(std::size_t from) const {
        auto all = lines();
        return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
    }
    bool logged(const std::string& text) const {
        for (const auto& l : lines()) {
            if (l == text) return true;
        }
        return false;
    }
    std::string writeFile(const std::string& name, const std::string& bytes) const {
        const std::string path = dir.file(name);
        fileio::writeAll(path, bytes);
        return path;
    }
};

// A file body whose bytes differ from block to block, so a lost or repeated block shows.
inline std::string patterned(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    return s;
}

}  // namespace velora::testing
