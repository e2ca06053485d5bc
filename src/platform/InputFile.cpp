#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
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
    if (memory_) return static_cast<std::int64_t>(memorySize_);
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
    // A disk without room for the whole copy fails the store before the server has
    // any of it. Only looked at, not reserved: a reservation makes ext4 allocate every
    // block at once, which costs more than the copy's writes (a disk filled meanwhile
    // still fails the store at the block that no longer fits).
    struct statvfs room {};
    const std::int64_t length = size();
    if (length > 0 && ::fstatvfs(copyFd_, &room) == 0 &&
        static_cast<unsigned long long>(room.f_bavail) * room.f_frsize < static_cast<unsigned long long>(length)) {
        dropCopy();
        return copyError_ = ENOSPC;
    }
    return 0;
}

bool InputFile::takeIntoMemory() {
    if (failed_ || !held_ || held_->size < 0) return false;
    const auto size = static_cast<std::size_t>(held_->size);
    // One byte more than the snapshot's length, so a file grown meanwhile shows.
    auto memory = std::make_unique_for_overwrite<char[]>(size + 1);
    std::size_t got = 0;
    for (;;) {
        const ssize_t n = ::read(fd_, memory.get() + got, size + 1 - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            fail(errno);
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (got > size) break;
    }
    if (got != size || !stillAsHeld(true)) {
        changed_ = true;
        fail(0);
        return false;
    }
    memory_ = std::move(memory);
    memorySize_ = size;
    return true;
}

long InputFile::read(char* buffer, std::size_t capacity) {
    if (failed_) return -1;
    if (memory_) {
        const std::size_t n = std::min(capacity, memorySize_ - memoryOffset_);
        std::memcpy(buffer, memory_.get() + memoryOffset_, n);
        memoryOffset_ += n;
        return static_cast<long>(n);
    }
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
        copied_ += n;
    }
    return afterBlock(static_cast<long>(n));
}

long InputFile::afterBlock(long n) {
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
    return n;
}

InputFile::CopiedBlock InputFile::copyNextBlock(std::size_t capacity) {
    CopiedBlock block;
    if (failed_ || !copiesBlocks()) return block;
    block.fd = copyFd_;
    block.offset = copied_;
    ssize_t n = -1;
    if (!kernelCopyRefused_) {
        do {
            n = ::copy_file_range(fd_, nullptr, copyFd_, nullptr, capacity, 0);
        } while (n < 0 && errno == EINTR);
        // Refused before anything was copied: reading instead loses nothing.
        kernelCopyRefused_ = n < 0 && copied_ == 0 &&
                             (errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP || errno == ENOSYS);
        if (n < 0 && !kernelCopyRefused_) {
            copyError_ = errno;
            fail(copyError_);
            return block;
        }
    }
    if (kernelCopyRefused_) {
        block.n = copyByReading(capacity);
        return block;
    }
    copied_ += n;
    block.n = afterBlock(static_cast<long>(n));
    return block;
}

// Through a buffer of our own, for two files the system will not copy between.
long InputFile::copyByReading(std::size_t capacity) {
    if (bounceSize_ < capacity) {
        bounce_ = std::make_unique_for_overwrite<char[]>(capacity);
        bounceSize_ = capacity;
    }
    return read(bounce_.get(), capacity);
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
