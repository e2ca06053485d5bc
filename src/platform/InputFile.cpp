#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace velora {

InputFile::InputFile(const std::string& path) : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) error_ = errno;
}

InputFile::~InputFile() {
    dropCopy();
    if (fd_ >= 0) ::close(fd_);
}

std::string InputFile::errorText() const {
    if (changed_) return "Datei \"" + path_ + "\" hat sich beim Lesen geändert";
    return std::strerror(error_);
}

std::int64_t InputFile::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool InputFile::holdTo(const fileio::FileStatus& snapshot) {
    held_ = snapshot;
    return stillAsHeld(false);
}

int InputFile::copyInto(const std::string& copyPath) {
    dropCopy();
    copyFd_ = fileio::createBeside(copyPath, copyTemp_);
    if (copyFd_ < 0) return copyError_ = errno;
    copyPath_ = copyPath;
    return 0;
}

long InputFile::read(char* buffer, std::size_t capacity) {
    if (failed_) return -1;
    ssize_t n;
    do {
        n = ::read(fd_, buffer, capacity);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return fail(errno);
    if (copyFd_ >= 0 && n > 0) {
        if (const int failure = fileio::writeFullyTo(copyFd_, std::string_view(buffer, static_cast<std::size_t>(n)));
            failure != 0) {
            copyError_ = failure;
            return fail(failure);
        }
    }
    // Checked before the block leaves: a write meanwhile, even one behind what was
    // read so far, means the file that goes out is no longer one the writer made.
    if (held_ && !stillAsHeld(n == 0)) {
        changed_ = true;
        return fail(0);
    }
    if (n == 0 && copyFd_ >= 0) {
        finishCopy();
        if (copyError_ != 0) return fail(copyError_);
    }
    return static_cast<long>(n);
}

long InputFile::fail(int error) {
    error_ = error;
    failed_ = true;
    dropCopy();
    return -1;
}

bool InputFile::stillAsHeld(bool atEnd) const {
    const std::optional<fileio::FileStatus> now = fileio::statusOfOpen(fd_);
    if (!now || now->size != held_->size || now->writeSeconds != held_->writeSeconds ||
        now->writeNanoseconds != held_->writeNanoseconds || now->device != held_->device ||
        now->inode != held_->inode)
        return false;
    if (!atEnd) return true;
    // Replaced by another file under the same name: what was read is no longer the file.
    struct stat named {};
    return ::stat(path_.c_str(), &named) == 0 && static_cast<std::uint64_t>(named.st_dev) == held_->device &&
           static_cast<std::uint64_t>(named.st_ino) == held_->inode;
}

void InputFile::finishCopy() {
    const int fd = copyFd_;
    copyFd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) copyError_ = errno;
    if (copyError_ == 0 && ::rename(copyTemp_.c_str(), copyPath_.c_str()) != 0) copyError_ = errno;
    if (copyError_ != 0) ::unlink(copyTemp_.c_str());
    copyTemp_.clear();
}

void InputFile::dropCopy() {
    if (copyFd_ < 0) return;
    ::close(copyFd_);
    copyFd_ = -1;
    ::unlink(copyTemp_.c_str());
    copyTemp_.clear();
}

}  // namespace velora
