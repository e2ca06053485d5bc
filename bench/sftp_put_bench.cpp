// Uploads files through the program's own session over SFTP, as a run would, and prints
// how long the stores took. The connection is opened once (key login, host key pinned),
// the folder changed once; every file is stored under its own name part.
// SFTP_BENCH_TEMP_RENAME=1 in the environment stores through NAME.part and a rename.
//
// Usage: sftp_put_bench HOST PORT USER KEYFILE HOSTKEY FOLDER FILE...
// Prints one line: "files=<n> bytes=<n> connect_ms=<n> put_ms=<n>".
#include <cstdio>
#include <cstdlib>

#include "SessionBench.h"

using namespace velora;

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s HOST PORT USER KEYFILE HOSTKEY FOLDER FILE...\n", argv[0]);
        return 2;
    }
    FtpLogin login;
    login.sftp = true;
    login.host = argv[1];
    login.sftpPort = std::atoi(argv[2]);
    login.user = argv[3];
    login.sftpKeyFile = argv[4];
    login.sftpHostKey = argv[5];
    login.tempRename = std::getenv("SFTP_BENCH_TEMP_RENAME") != nullptr;
    return bench::timeStores("sftp_put_bench", login, 21, argv[6], 1, {argv + 7, argv + argc});
}
