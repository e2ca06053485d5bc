#include "platform/FileIo.h"

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace velora::fileio {

namespace {

// Owns one descriptor. close() reports its own failure: on some file systems a full
// disk is only noticed there, and a save that silently lost its tail is worse than
// an error.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Returns 0 or the errno of a failed close.
    int close() {
        if (fd_ < 0) return 0;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int fd_;
};

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes every byte; returns 0 or the errno of the failure.
int writeFully(int fd, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Reads to the end; returns 0 or the errno of the failure.
int readFully(int fd, std::string& out) {
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        out.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

void writeAndClose(Fd& fd, std::string_view first, std::string_view second) {
    int failure = writeFully(fd.get(), first);
    if (failure == 0) failure = writeFully(fd.get(), second);
    const int closeFailure = fd.close();
    if (failure == 0) failure = closeFailure;
    if (failure != 0) throw IoError(failure);
}

std::string normalisedPath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(path), ec);
    if (ec) {
        p = fs::absolute(fs::path(path), ec);
        if (ec) p = fs::path(path);
        p = p.lexically_normal();
    }
    return p.string();
}

}  // namespace

void append(const std::string& path, std::string_view bytes) {
    Fd fd(openRetrying(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644));
    if (!fd.valid()) throw IoError(errno);
    writeAndClose(fd, bytes, {});
}

void appendCreatingWithHeader(const std::string& path, std::string_view headerBytes,
                              std::string_view bytes) {
    // O_EXCL tells us whether this call made the file, so a header is never written
    // into the middle of an existing file, even with two writers racing.
    Fd created(openRetrying(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0644));
    if (created.valid()) {
        writeAndClose(created, headerBytes, bytes);
        return;
    }
    if (errno != EEXIST) throw IoError(errno);
    Fd existing(openRetrying(path.c_str(), O_WRONLY | O_APPEND));
    if (!existing.valid()) throw IoError(errno);
    writeAndClose(existing, bytes, {});
}

std::string readAll(const std::string& path) {
    Fd fd(openRetrying(path.c_str(), O_RDONLY));
    if (!fd.valid()) throw IoError(errno);
    std::string content;
    const int failure = readFully(fd.get(), content);
    if (failure != 0) throw IoError(failure);
    return content;
}

void writeAll(const std::string& path, std::string_view bytes) {
    Fd fd(openRetrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    if (!fd.valid()) throw IoError(errno);
    writeAndClose(fd, bytes, {});
}

bool copyFile(const std::string& src, const std::string& dst) {
    Fd in(openRetrying(src.c_str(), O_RDONLY));
    if (!in.valid()) return false;
    struct stat source {};
    if (fstat(in.get(), &source) != 0) return false;
    // Copying a file onto itself (or a link to it) would truncate the source before
    // it is read; there is nothing to copy, so only an unchanged file is reported.
    struct stat target {};
    if (::stat(dst.c_str(), &target) == 0 && target.st_dev == source.st_dev &&
        target.st_ino == source.st_ino)
        return true;
    Fd out(openRetrying(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    if (!out.valid()) return false;
    // Streamed in blocks: the exported files may be far larger than memory allows.
    std::string buffer(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        if (writeFully(out.get(), std::string_view(buffer.data(), static_cast<std::size_t>(n))) != 0)
            return false;
    }
    return out.close() == 0;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool createFolder(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

std::int32_t querySize(const std::string& path) {
    // O_NONBLOCK so that a fifo given by mistake does not hang the caller.
    Fd fd(openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK));
    if (!fd.valid()) return -1;
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(info.st_size) & 0xFFFFFFFFu));
}

bool sameFile(const std::string& source, const std::string& target) {
    struct stat a {};
    struct stat b {};
    if (::stat(source.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return normalisedPath(source) == normalisedPath(target);
}

}  // namespace velora::fileio
