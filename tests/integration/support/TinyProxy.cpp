#include "integration/support/TinyProxy.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>

#include "support/DieWithParent.h"

namespace velora::test {
namespace {

constexpr const char* kProgram = "/usr/bin/tinyproxy";
constexpr int kAttempts = 40;
constexpr auto kStartupWait = std::chrono::seconds(10);
// Below the range the system hands out for outgoing connections.
constexpr int kFirstPort = 20000;
constexpr int kLastPort = 32000;

}  // namespace

TinyProxy::TinyProxy(const std::string& user, const std::string& password) {
    if (::access(kProgram, X_OK) != 0) throw std::runtime_error("TinyProxy: tinyproxy is not installed");
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> ports(kFirstPort, kLastPort);
    for (int i = 0; i < kAttempts; ++i) {
        if (tryPort(ports(random), user, password)) return;
    }
    throw std::runtime_error("TinyProxy: no port could be bound; log: " + log());
}

TinyProxy::~TinyProxy() { stop(); }

bool TinyProxy::tryPort(int port, const std::string& user, const std::string& password) {
    std::string config = "Port " + std::to_string(port) +
                         "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 16\nLogLevel Info\n";
    if (!user.empty()) config += "BasicAuth " + user + " " + password + "\n";
    const std::string configFile = dir_.write("tinyproxy.conf", config);
    const std::string logFile = dir_.file("tinyproxy.log");
    const int logFd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (logFd < 0) throw std::runtime_error("TinyProxy: cannot create " + logFile);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        dieWithParent(parent);
        ::dup2(logFd, STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
        ::execl(kProgram, kProgram, "-d", "-c", configFile.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(logFd);
    if (pid_ < 0) throw std::runtime_error("TinyProxy: fork failed");

    const auto until = std::chrono::steady_clock::now() + kStartupWait;
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            // Its port was taken (or it refused the configuration): try another one.
            pid_ = -1;
            return false;
        }
        if (log().find("Accepting connections") != std::string::npos) {
            port_ = port;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop();
    throw std::runtime_error("TinyProxy: did not start; log: " + log());
}

std::string TinyProxy::log() const {
    try {
        return test::readFileBytes(dir_.file("tinyproxy.log"));
    } catch (const std::exception&) {
        return {};
    }
}

void TinyProxy::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    // tinyproxy lets its connections finish first; a test does not wait for that long.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= until) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
}

}  // namespace velora::test
