#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace velora {

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileLock::Result FileLock::tryLock(const std::string& path, std::string& why) {
    release();
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        why = IoError::textFor(errno);
        return Result::Failed;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return Result::Busy;
        why = IoError::textFor(error);
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void FileLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);   // closing the only descriptor drops the lock
        fd_ = -1;
    }
}

}  // namespace velora
