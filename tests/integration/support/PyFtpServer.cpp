#include "integration/support/PyFtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/DieWithParent.h"

namespace velora::test {
namespace {

// Debian's interpreter, the one python3-pyftpdlib belongs to.
constexpr const char* kPython = "/usr/bin/python3";

// Only a bound for a server that never comes up: on a machine busy with builds the
// interpreter alone may take seconds to start.
constexpr int kStartupWaitMs = 30000;

// Reads the first line the server prints (its port), or gives up when the child ends
// or the wait runs out.
std::string readFirstLine(int fd) {
    std::string line;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kStartupWaitMs) <= 0) return {};
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n <= 0) return {};
        if (c == '\n') return line;
        line.push_back(c);
    }
}

}  // namespace

PyFtpServer::PyFtpServer(int port) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("PyFtpServer: pipe failed");
    const std::string script = std::string(VELORA_SOURCE_DIR) + "/tests/integration/support/pyftpd_server.py";
    const std::string portText = std::to_string(port);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        dieWithParent(parent);
        dup2(out[1], STDOUT_FILENO);
        // Python finds its library from argv[0]: a bare "python3" is looked up in PATH,
        // which in a virtualenv or pyenv shell names another installation without
        // Debian's pyftpdlib. -I keeps that shell's PYTHON* variables and user packages out.
        execl(kPython, kPython, "-I", script.c_str(), home_.path().c_str(), portText.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        throw std::runtime_error("PyFtpServer: fork failed");
    }
    const std::string first = readFirstLine(out[0]);
    close(out[0]);
    port_ = std::atoi(first.c_str());
    if (port_ <= 0) {
        stop();
        throw std::runtime_error("PyFtpServer: server did not start on port " + portText);
    }
}

PyFtpServer::~PyFtpServer() { stop(); }

void PyFtpServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

std::unique_ptr<PyFtpServer> PyFtpServer::onPort21OrFree() {
    try {
        return std::make_unique<PyFtpServer>(21);
    } catch (const std::runtime_error&) {
        return std::make_unique<PyFtpServer>(0);
    }
}

std::string PyFtpServer::pathOf(const std::string& relative) const { return home_.file(relative); }

}  // namespace velora::test
