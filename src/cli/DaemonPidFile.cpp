#include "cli/DaemonPidFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velora::cli {

namespace {

long readPid(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return pid > 0 && (*end == '\n' || *end == '\0') ? pid : 0;
}

}  // namespace

DaemonPidFile::DaemonPidFile(const std::string& folder) : path_(folder + "/" + kDaemonPidFileName) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error_ = path_ + ": " + std::strerror(errno);
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const long other = readPid(fd_);
        error_ = path_ + ": another daemon" + (other ? " (process " + std::to_string(other) + ")" : "") +
                 " holds it";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    const std::string text = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        error_ = path_ + ": " + std::strerror(errno);
}

DaemonPidFile::~DaemonPidFile() { release(); }

void DaemonPidFile::release() {
    if (fd_ < 0) return;
    // Removed while still locked, so no other daemon's fresh file is taken away.
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

DaemonProbe probeDaemon(const std::string& folder) {
    DaemonProbe probe;
    const std::string path = folder + "/" + kDaemonPidFileName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            probe.state = DaemonProbe::Unknown;
            probe.detail = path + ": " + std::strerror(errno);
        }
        return probe;
    }
    probe.pid = readPid(fd);
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        probe.state = DaemonProbe::Stale;
    } else if (errno == EWOULDBLOCK) {
        probe.state = DaemonProbe::Running;
    } else {
        probe.state = DaemonProbe::Unknown;
        probe.detail = path + ": " + std::strerror(errno);
    }
    ::close(fd);
    return probe;
}

}  // namespace velora::cli
