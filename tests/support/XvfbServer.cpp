#include "support/XvfbServer.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "support/DieWithParent.h"

extern char** environ;

namespace velora::test {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Waits for the child to end until the deadline; its exit code, or -1.
int waitUntil(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 && errno != EINTR) return -1;
        if (Clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

XvfbServer::XvfbServer(std::vector<Screen> screens, bool xinerama) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> argv{"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset"};
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const Screen& s = screens[i];
        argv.insert(argv.end(), {"-screen", std::to_string(i),
                                 std::to_string(s.width) + "x" + std::to_string(s.height) + "x" + std::to_string(s.depth)});
    }
    if (xinerama) argv.push_back("+xinerama");
    pid_ = spawn(argv, fds[1]);
    ::close(fds[1]);

    std::string number;
    const auto deadline = after(30);
    while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buffer[32];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;   // Xvfb ended before it was ready
        number.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        stop(pid_);
        pid_ = -1;
        throw std::runtime_error("Xvfb did not start; see " + dir_.file("Xvfb.log"));
    }
    display_ = ":" + number.substr(0, number.find('\n'));
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) stop(pid_);
}

pid_t XvfbServer::spawn(const std::vector<std::string>& argv, int displayFd) const {
    // The X programs are Debian's, named by their full path and given the system's PATH:
    // the caller's may start with another installation's bin folder (a virtualenv or
    // pyenv shell), and a program may find its own files through argv[0] and PATH.
    std::vector<std::string> env{"PATH=/usr/bin:/bin"};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "PATH=", 5) != 0) env.emplace_back(*e);
    if (!display_.empty()) env.push_back("DISPLAY=" + display_);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    if (args[0].find('/') == std::string::npos) args[0] = "/usr/bin/" + args[0];
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);

    // fork() and exec rather than posix_spawn(): the child must ask to die with the test
    // before it runs the program. Everything it needs is prepared here, as after fork()
    // a process with threads may only make async-signal-safe calls.
    const std::string log = dir_.file(displayFd >= 0 ? "Xvfb.log" : "clients.log");
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(errno));
    if (pid == 0) {
        dieWithParent(parent);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) ::_exit(126);
        // dup2() onto itself would keep close-on-exec set.
        if (displayFd == 3 ? ::fcntl(3, F_SETFD, 0) != 0 : displayFd >= 0 && ::dup2(displayFd, 3) < 0) ::_exit(126);
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

int XvfbServer::run(const std::vector<std::string>& argv) const {
    const pid_t pid = spawn(argv, -1);
    const int code = waitUntil(pid, after(30));
    if (code == -1) stop(pid);
    return code;
}

pid_t XvfbServer::start(const std::vector<std::string>& argv) const { return spawn(argv, -1); }

void XvfbServer::stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    if (waitUntil(pid, after(10)) == -1) {
        ::kill(pid, SIGKILL);
        waitUntil(pid, after(10));
    }
}

bool XvfbServer::waitForSelection(const std::string& selection, bool owned, double seconds) const {
    Display* d = XOpenDisplay(display_.c_str());
    if (!d) return false;
    const Atom atom = XInternAtom(d, selection.c_str(), False);
    const auto deadline = after(seconds);
    bool reached = false;
    while (!(reached = (XGetSelectionOwner(d, atom) != None) == owned) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    XCloseDisplay(d);
    return reached;
}

}  // namespace velora::test
