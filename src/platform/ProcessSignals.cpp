#include "platform/ProcessSignals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace velora {

struct SystemSignals::Mask {
    sigset_t set;
};

SystemSignals::SystemSignals() : oldMask_(std::make_unique<Mask>()) {
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGTERM);
    sigaddset(&wanted, SIGINT);
    sigaddset(&wanted, SIGHUP);
    if (::sigprocmask(SIG_BLOCK, &wanted, &oldMask_->set) != 0) {
        throw GeneralError(std::strerror(errno));
    }
    fd_ = ::signalfd(-1, &wanted, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) {
        const int code = errno;
        ::sigprocmask(SIG_SETMASK, &oldMask_->set, nullptr);
        throw GeneralError(std::strerror(code));
    }
}

SystemSignals::~SystemSignals() {
    // Signals that came after the last look were this object's to take: unblocked,
    // they would end the process by their default action after it has ended properly.
    signalfd_siginfo info{};
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    ::close(fd_);
    ::sigprocmask(SIG_SETMASK, &oldMask_->set, nullptr);
}

std::optional<ProcessSignal> SystemSignals::wait(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    const int rc = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (rc <= 0) return std::nullopt;   // time-out, or interrupted: the caller looks again
    signalfd_siginfo info{};
    if (::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return std::nullopt;
    return info.ssi_signo == SIGHUP ? ProcessSignal::Reload : ProcessSignal::Terminate;
}

}  // namespace velora
