#include "integration/support/PyFtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace velora::testing {
namespace {

constexpr int kStartupWaitMs = 10000;

std::string makeTempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velora-ftpd-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("PyFtpServer: mkdtemp failed");
    return std::string(buf.data());
}

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

PyFtpServer::PyFtpServer(int port) : home_(makeTempHome()) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("PyFtpServer: pipe failed");
    const std::string script = std::string(VELORA_SOURCE_DIR) + "/tests/integration/support/pyftpd_server.py";
    const std::string portText = std::to_string(port);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        execl("/usr/bin/python3", "python3", script.c_str(), home_.c_str(), portText.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        std::filesystem::remove_all(home_);
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
    std::error_code ec;
    if (!home_.empty()) std::filesystem::remove_all(home_, ec);
}

std::unique_ptr<PyFtpServer> PyFtpServer::onPort21OrFree() {
    try {
        return std::make_unique<PyFtpServer>(21);
    } catch (const std::runtime_error&) {
        return std::make_unique<PyFtpServer>(0);
    }
}

std::string PyFtpServer::pathOf(const std::string& relative) const { return home_ + "/" + relative; }

}  // namespace velora::testing
