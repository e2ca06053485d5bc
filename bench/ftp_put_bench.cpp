// Uploads files through the program's own FTP session, as a run would, and prints
// how long the stores took. The connection is opened once, the folder changed once;
// every file is stored `rounds` times under its own name part. FTP_BENCH_ACTIVE=1 in
// the environment stores in active mode; FTP_BENCH_TLS=1 stores over explicit FTPS,
// trusting the certificate whose SHA-256 fingerprint FTP_BENCH_FINGERPRINT names (as
// `openssl x509 -noout -fingerprint -sha256` prints it) or else the system's trust.
//
// Usage: ftp_put_bench HOST PORT USER PASSWORD FOLDER ROUNDS FILE...
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

// The bench's log file; the password given on the command line stays out of it.
struct BenchLog final : EventLogSources {
    BenchLog(std::string file, std::string password) : file_(std::move(file)), password_(std::move(password)) {}
    std::string fileName() const override { return file_; }
    std::string limitText() const override { return "600"; }
    std::vector<std::string> passwords() const override { return {password_}; }
    unsigned userId() const override { return ::geteuid(); }
    std::string file_, password_;
};

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD FOLDER ROUNDS FILE...\n", argv[0]);
        return 2;
    }
    const std::string logFile =
        (std::filesystem::temp_directory_path() / ("ftp_put_bench." + std::to_string(::getpid()) + ".log")).string();
    TextView view;
    test::QuietUiHost ui;
    SystemClock clock;
    const Locale locale = Locale::german();
    const BenchLog logSources(logFile, argv[4]);
    EventLog log(view, ui, clock, locale, logSources);
    FtpLogin settings;
    settings.host = argv[1];
    settings.user = argv[3];
    settings.password = argv[4];
    settings.passive = std::getenv("FTP_BENCH_ACTIVE") == nullptr;
    settings.tls = std::getenv("FTP_BENCH_TLS") != nullptr;
    if (const char* pinned = std::getenv("FTP_BENCH_FINGERPRINT")) settings.tlsFingerprint = pinned;
    ClientIdentity identity;
    SystemNameResolver resolver;
    SystemTcpConnector connector;
    FtpSession session(identity, log, ui, resolver, connector);
    session.setServerPort(std::atoi(argv[2]));
    const std::string folder = argv[5];
    const int rounds = std::atoi(argv[6]);
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
        for (int r = 0; r < rounds; ++r) {
            for (const auto& f : files) {
                session.Put(f, "");
                bytes += static_cast<long long>(std::filesystem::file_size(f));
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
