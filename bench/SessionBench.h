#pragma once
// The timed part the FTP and SFTP store benchmarks share: the program's own FtpSession,
// as a run drives it, with a quiet window and a throw-away log file.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "app/TextView.h"
#include "ftp/FtpSession.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Locale.h"
#include "platform/NameResolver.h"
#include "platform/TcpConnector.h"
#include "support/QuietUiHost.h"

namespace velora::bench {

// The bench's log file; the password of the login stays out of it.
struct BenchLog final : EventLogSources {
    BenchLog(std::string file, std::string password) : file_(std::move(file)), password_(std::move(password)) {}
    std::string fileName() const override { return file_; }
    std::string limitText() const override { return "600"; }
    std::vector<std::string> passwords() const override {
        return password_.empty() ? std::vector<std::string>{} : std::vector<std::string>{password_};
    }
    unsigned userId() const override { return ::geteuid(); }
    std::string file_, password_;
};

inline long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// Connects once with `login` (an FTP server on `ftpPort`), changes to `folder` once and
// stores every file `rounds` times under its own name part. Prints one line
// "files=<n> bytes=<n> connect_ms=<n> put_ms=<n>"; returns the exit code.
inline int timeStores(const char* name, const FtpLogin& login, int ftpPort, const std::string& folder, int rounds,
                      const std::vector<std::string>& files) {
    const std::string logFile =
        (std::filesystem::temp_directory_path() / (std::string(name) + "." + std::to_string(::getpid()) + ".log"))
            .string();
    TextView view;
    test::QuietUiHost ui;
    SystemClock clock;
    const Locale locale = Locale::german();
    const BenchLog logSources(logFile, login.password);
    EventLog log(view, ui, clock, locale, logSources);
    ClientIdentity identity;
    SystemNameResolver resolver;
    SystemTcpConnector connector;
    FtpSession session(identity, log, ui, resolver, connector);
    session.setServerPort(ftpPort);

    auto start = std::chrono::steady_clock::now();
    session.B_connectClick(login);
    const long long connectMs = msSince(start);
    if (!session.ftpOpen()) {
        std::fprintf(stderr, "connect failed: %s\n", view.lineCount() ? view.lines().back().c_str() : "");
        std::filesystem::remove(logFile);
        return 1;
    }
    long long bytes = 0;
    int stored = 0;
    start = std::chrono::steady_clock::now();
    try {
        session.ChangeDir(folder);
        for (int r = 0; r < rounds; ++r) {
            for (const auto& f : files) {
                bytes += session.Put(f, "");
                ++stored;
            }
        }
    } catch (const Error& e) {
        std::fprintf(stderr, "store failed: %s\n", e.what());
        std::filesystem::remove(logFile);
        return 1;
    }
    const long long putMs = msSince(start);
    session.B_DisconnectClick();
    std::filesystem::remove(logFile);
    std::printf("files=%d bytes=%lld connect_ms=%lld put_ms=%lld\n", stored, bytes, connectMs, putMs);
    return 0;
}

}  // namespace velora::bench
