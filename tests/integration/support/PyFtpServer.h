#pragma once
// A real FTP server (pyftpdlib) on 127.0.0.1 for integration tests. The constructor
// starts it and returns once it listens; the destructor stops it and removes its home
// folder. Three accounts: kWriteUser may write, kReadUser may only read, kDeepUser may
// write and finds itself in kDeepLoginFolder after the login, not at the root.
#include <memory>
#include <string>
#include <sys/types.h>

#include "support/TempDir.h"

namespace velora::test {

class PyFtpServer {
public:
    static constexpr const char* kWriteUser = "velora";
    static constexpr const char* kReadUser = "leser";
    static constexpr const char* kDeepUser = "unten";
    static constexpr const char* kDeepLoginFolder = "start/hier";   // below home()
    static constexpr const char* kPassword = "geheim";   // both accounts

    // port 0 picks a free port. Throws std::runtime_error when the server does not
    // come up (for example port 21 without the right to bind it).
    explicit PyFtpServer(int port = 0);
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer&) = delete;
    PyFtpServer& operator=(const PyFtpServer&) = delete;

    // Tries 127.0.0.1:21 first (the program's fixed port) and falls back to a free port.
    static std::unique_ptr<PyFtpServer> onPort21OrFree();

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // The server's root folder, a fresh temporary folder.
    const std::string& home() const { return home_.path(); }
    // home() + "/" + relative
    std::string pathOf(const std::string& relative) const;

private:
    void stop();

    test::TempDir home_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace velora::test
