#include "platform/XdgOpenShell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace velora {

namespace {

// "scheme:" as RFC 3986 spells it: a letter, then letters, digits, "+", "-", ".".
bool hasScheme(const std::string& address) {
    const auto colon = address.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    if (!std::isalpha(static_cast<unsigned char>(address[0]))) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(address[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// The opener's full path from PATH, looked up before fork: after it only calls that
// are safe in a child of a threaded process may run.
std::string locate(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = ::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= folders.size()) {
        std::size_t end = folders.find(':', begin);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > begin ? folders.substr(begin, end - begin) : ".";
        const std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        begin = end + 1;
    }
    return {};
}

}  // namespace

std::string XdgOpenShell::forOpener(const std::string& address) {
    if (address.empty() || address[0] == '/' || hasScheme(address)) return address;
    return "http://" + address;
}

void XdgOpenShell::open(const std::string& address) {
    const std::string opener = locate(program_);
    if (opener.empty()) return;   // nothing registered: the shell says nothing either
    const std::string argument = forOpener(address);
    char* const argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    // Twice forked: the opener belongs to init at once, so it never waits as a zombie
    // for us and we never wait for it (a browser may run for hours).
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        const pid_t opener_pid = ::fork();
        if (opener_pid == 0) {
            ::execve(argv[0], argv, environ);
            ::_exit(127);
        }
        ::_exit(opener_pid < 0 ? 1 : 0);
    }
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace velora
