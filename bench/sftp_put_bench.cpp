// Uploads files through the program's own session over SFTP, as a run would, and prints
// how long the stores took. The connection is opened once (key login, host key pinned),
// the folder changed once; every file is stored under its own name part.
// SFTP_BENCH_TEMP_RENAME=1 in the environment stores through NAME.part and a rename.
//
// Usage: sftp_put_bench HOST PORT USER KEYFILE HOSTKEY FOLDER FILE...
// Prints one line: "files=<n> bytes=<n> connect_ms=<n> put_ms=<n>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "app/TextView.h"
#include "support/QuietUiHost.h"
#include "ftp/FtpSession.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Locale.h"
#include "platform/NameResolver.h"
#include "platform/TcpConnector.h"

using namespace velora;

namespace {

struct BenchLog final : EventLogSources {
    explicit BenchLog(std::string file) : file_(std::move(file)) {}
    std::string fileName() const override { return file_; }
    std::string limitText() const override { return "600"; }
    std::vector<std::string> passwords() const override { return {}; }
    unsigned userId() const override { return ::geteuid(); }
    std::string file_;
};

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s HOST PORT USER KEYFILE HOSTKEY FOLDER FILE...\n", argv[0]);
        return 2;
    }
    const std::string logFile =
        (std::filesystem::temp_directory_path() / ("sftp_put_bench." + std::to_string(::getpid()) + ".log")).string();
    TextView view;
    test::QuietUiHost ui;
    SystemClock clock;
    const Locale locale = Locale::german();
    const BenchLog logSources(logFile);
    EventLog log(view, ui, clock, locale, logSources);
    FtpLogin settings;
    settings.sftp = true;
    settings.host = argv[1];
    settings.sftpPort = std::atoi(argv[2]);
    settings.user = argv[3];
    settings.sftpKeyFile = argv[4];
    settings.sftpHostKey = argv[5];
    settings.tempRename = std::getenv("SFTP_BENCH_TEMP_RENAME") != nullptr;
    ClientIdentity identity;
    SystemNameResolver resolver;
    SystemTcpConnector connector;
    FtpSession session(identity, log, ui, resolver, connector);
    const std::string folder = argv[6];
    const std::vector<std::string> files(argv + 7, argv + argc);

    auto start = std::chrono::steady_clock::now();
    session.B_connectClick(settings);
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
        for (const auto& f : files) {
            bytes += session.Put(f, "");
            ++stored;
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
