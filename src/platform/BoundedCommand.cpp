#include "platform/BoundedCommand.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velora {

namespace {

// The program a shell would run for `name`, or empty with `error` set.
std::string locate(const std::string& name, const std::vector<std::string>& environment, std::string& error) {
    auto runnable = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos) {
        if (runnable(name)) return name;
        error = name + ": " + (::access(name.c_str(), F_OK) == 0 ? "not an executable file" : std::strerror(ENOENT));
        return {};
    }
    std::string path = "/usr/local/bin:/usr/bin:/bin";
    for (const std::string& entry : environment)
        if (entry.rfind("PATH=", 0) == 0) path = entry.substr(5);
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t to = std::min(path.find(':', from), path.size());
        const std::string folder = to > from ? path.substr(from, to - from) : ".";
        const std::string candidate = folder + "/" + name;
        if (runnable(candidate)) return candidate;
        from = to + 1;
    }
    error = name + ": not found in PATH";
    return {};
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (std::string& t : texts) out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

// In the child: only async-signal-safe calls until exec.
[[noreturn]] void becomeCommand(const std::string& program, char* const* argv, char* const* envp, int outFd) {
    ::setpgid(0, 0);
    const int in = ::open("/dev/null", O_RDONLY);
    if (in >= 0) ::dup2(in, STDIN_FILENO);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(outFd, STDERR_FILENO);
    ::close_range(3, ~0U, 0);
    // Signals the program blocks or ignores for itself are the command's own again.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int s : {SIGPIPE, SIGHUP, SIGINT, SIGTERM, SIGCHLD}) ::sigaction(s, &standard, nullptr);
    ::execve(program.c_str(), argv, envp);
    ::_exit(127);
}

using SteadyClock = std::chrono::steady_clock;

int msLeft(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CommandResult runBounded(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const CommandLimits& limits) {
    CommandResult result;
    if (argv.empty() || argv[0].empty()) {
        result.error = "no command given";
        return result;
    }
    const std::string program = locate(argv[0], environment, result.error);
    if (program.empty()) return result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> env = environment;
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(env);
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.error = std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return result;
    }
    if (pid == 0) becomeCommand(program, argp.data(), envp.data(), pipeFds[1]);
    ::setpgid(pid, pid);   // also here, so the kill below reaches the group whichever runs first
    ::close(pipeFds[1]);
    result.started = true;

    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(limits.timeoutMs);
    bool lineDone = false;
    char buffer[65536];
    // Read until every writer (the command and anything it left running) has closed
    // the pipe, or the time is up.
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const int left = msLeft(deadline);
        if (left == 0) {
            result.timedOut = true;
            break;
        }
        const int ready = ::poll(&p, 1, left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;   // the deadline check above ends it
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.outputBytes += static_cast<std::size_t>(n);
        for (ssize_t i = 0; i < n && !lineDone; ++i) {
            if (buffer[i] == '\n' || buffer[i] == '\r') {
                lineDone = !result.firstLine.empty() || buffer[i] == '\n';
                continue;
            }
            if (result.firstLine.size() < limits.firstLineBytes) result.firstLine += buffer[i];
        }
    }
    ::close(pipeFds[0]);
    if (result.timedOut) ::kill(-pid, SIGKILL);
    // The command closed its output or was killed: it ends now, or at the latest when
    // the rest of the time is up.
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, result.timedOut ? 0 : WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return result;
        if (done == 0) {
            if (msLeft(deadline) == 0) {
                result.timedOut = true;
                ::kill(-pid, SIGKILL);
            } else {
                ::usleep(10000);
            }
        }
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::vector<std::string> splitCommandLine(const std::string& line, std::string& error) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) {
        error = "unclosed quote in the command";
        return {};
    }
    if (inWord) words.push_back(word);
    return words;
}

}  // namespace velora
