// Uploads files through the program's own FTP session, as a run would, and prints
// how long the stores took. The connection is opened once, the folder changed once;
// every file is stored `rounds` times under its own name part. FTP_BENCH_ACTIVE=1 in
// the environment stores in active mode; FTP_BENCH_TLS=1 stores over explicit FTPS,
// trusting the certificate whose SHA-256 fingerprint FTP_BENCH_FINGERPRINT names (as
// `openssl x509 -noout -fingerprint -sha256` prints it) or else the system's trust.
//
// Usage: ftp_put_bench HOST PORT USER PASSWORD FOLDER ROUNDS FILE...
// Prints one line: "files=<n> bytes=<n> connect_ms=<n> put_ms=<n>".
#include <cstdio>
#include <cstdlib>

#include "SessionBench.h"

using namespace velora;

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD FOLDER ROUNDS FILE...\n", argv[0]);
        return 2;
    }
    FtpLogin login;
    login.host = argv[1];
    login.user = argv[3];
    login.password = argv[4];
    login.passive = std::getenv("FTP_BENCH_ACTIVE") == nullptr;
    login.tls = std::getenv("FTP_BENCH_TLS") != nullptr;
    if (const char* pinned = std::getenv("FTP_BENCH_FINGERPRINT")) login.tlsFingerprint = pinned;
    return bench::timeStores("ftp_put_bench", login, std::atoi(argv[2]), argv[5], std::atoi(argv[6]),
                             {argv + 7, argv + argc});
}
