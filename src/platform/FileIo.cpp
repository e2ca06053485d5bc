#include "platform/FileIo.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/Paths.h"

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

namespace {

// A log that is not a plain file of this user's, named, with what it is instead: the
// transfer log's failure reaches the user without any other context.
class RefusedLog : public IoError {
public:
    RefusedLog(const std::string& path, const char* why, int systemCode) : IoError(path + " " + why, systemCode) {}
};

const char* whatItIs(mode_t mode) {
    if (S_ISLNK(mode)) return "ist ein Verweis";
    if (S_ISFIFO(mode)) return "ist eine FIFO";
    if (S_ISDIR(mode)) return "ist ein Ordner";
    if (S_ISSOCK(mode)) return "ist ein Socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "ist ein Gerät";
    return "gehört einem anderen Benutzer";
}

[[noreturn]] void refuseLog(const std::string& path, const struct stat& info) {
    throw RefusedLog(path, whatItIs(info.st_mode), S_ISREG(info.st_mode) ? EPERM : EINVAL);
}

bool acceptableLog(const struct stat& info, unsigned uid) { return S_ISREG(info.st_mode) && info.st_uid == uid; }

}  // namespace

namespace {

std::string keptName(const std::string& path, int n) { return path + "." + std::to_string(n); }

bool sameEntry(const std::string& path, const struct stat& opened) {
    struct stat now {};
    return ::lstat(path.c_str(), &now) == 0 && now.st_dev == opened.st_dev && now.st_ino == opened.st_ino;
}

}  // namespace

int rotateLog(const std::string& path, unsigned uid) {
    for (int n = kKeptLogs - 1; n >= 0; --n) {
        const std::string from = n == 0 ? path : keptName(path, n);
        struct stat info {};
        if (::lstat(from.c_str(), &info) != 0) {
            if (errno == ENOENT && n > 0) continue;   // a gap in the row of old logs
            return errno;
        }
        // Another account's file or a link planted among the old logs is neither moved
        // nor replaced by ours.
        if (!acceptableLog(info, uid)) return EPERM;
        struct stat target {};
        if (::lstat(keptName(path, n + 1).c_str(), &target) == 0 && !acceptableLog(target, uid)) return EPERM;
        if (::rename(from.c_str(), keptName(path, n + 1).c_str()) != 0) return errno;
    }
    return 0;
}

int appendToLog(const std::string& path, std::string_view headerBytes, std::string_view bytes, unsigned uid,
                std::uint64_t rotateAtBytes) {
    // No wait on a fifo without reader, no controlling terminal from a tty; O_EXCL
    // never follows a link, so a dangling one cannot make us create its target.
    const int quiet = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    Fd created(openRetrying(path.c_str(), quiet | O_CREAT | O_EXCL, 0600));
    if (created.valid()) {
        writeAndClose(created, headerBytes, bytes);
        return 0;
    }
    if (errno != EEXIST) throw IoError(errno);
    // Looked at before opening, so a device is never opened at all; the descriptor is
    // looked at again, as the entry may have been swapped in between.
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) throw IoError(errno);
    if (!acceptableLog(info, uid)) refuseLog(path, info);
    Fd existing(openRetrying(path.c_str(), quiet));
    if (!existing.valid()) {
        // Swapped since: a link now, or a fifo without reader.
        if (errno == ELOOP) throw RefusedLog(path, whatItIs(S_IFLNK), ELOOP);
        if (errno == ENXIO) throw RefusedLog(path, whatItIs(S_IFIFO), ENXIO);
        throw IoError(errno);
    }
    if (fstat(existing.get(), &info) != 0) throw IoError(errno);
    if (!acceptableLog(info, uid)) refuseLog(path, info);
    const bool full = rotateAtBytes > 0 && static_cast<std::uint64_t>(info.st_size) >= rotateAtBytes;
    // Another writer may have moved it aside since it was opened: then the next
    // line belongs to the new log, not to another shift of the old ones.
    if (!full || !sameEntry(path, info)) {
        writeAndClose(existing, bytes, {});
        return 0;
    }
    const int rotateFailure = rotateLog(path, uid);
    if (rotateFailure != 0) {
        writeAndClose(existing, bytes, {});
        return rotateFailure;
    }
    Fd fresh(openRetrying(path.c_str(), quiet | O_CREAT | O_EXCL, 0600));
    if (fresh.valid()) {
        existing.close();
        writeAndClose(fresh, headerBytes, bytes);
        return 0;
    }
    const int createFailure = errno;
    // A writer beside us started the new log already: the line goes there, without
    // a second header.
    if (createFailure == EEXIST) {
        existing.close();
        return appendToLog(path, headerBytes, bytes, uid, 0);
    }
    // No new log can be made: the line still goes into the one just moved aside.
    writeAndClose(existing, bytes, {});
    return createFailure;
}

int KeptLog::append(const std::string& path, std::string_view headerBytes, std::string_view bytes, unsigned uid,
                    std::uint64_t rotateAtBytes) {
    if (appendToKept(path, bytes, uid, rotateAtBytes)) return 0;
    close();
    const int rotateFailure = appendToLog(path, headerBytes, bytes, uid, rotateAtBytes);
    keep(path, uid);
    return rotateFailure;
}

// The descriptor was a plain file of `uid` when it was opened without following a
// link; the lstat shows the name still leads to that very file (a link or any other
// entry put there since has an inode of its own).
bool KeptLog::appendToKept(const std::string& path, std::string_view bytes, unsigned uid,
                           std::uint64_t rotateAtBytes) {
    if (fd_ < 0 || path != path_ || uid != uid_) return false;
    struct stat now {};
    if (::lstat(path.c_str(), &now) != 0 || !acceptableLog(now, uid) ||
        static_cast<std::uint64_t>(now.st_dev) != device_ || static_cast<std::uint64_t>(now.st_ino) != inode_)
        return false;
    if (rotateAtBytes > 0 && static_cast<std::uint64_t>(now.st_size) >= rotateAtBytes) return false;
    if (const int failure = writeFully(fd_, bytes); failure != 0) {
        // Not written again the long way: part of the line may be in the file already.
        close();
        throw IoError(failure);
    }
    return true;
}

void KeptLog::keep(const std::string& path, unsigned uid) {
    const int fd = openRetrying(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !acceptableLog(info, uid)) {
        ::close(fd);
        return;
    }
    fd_ = fd;
    path_ = path;
    uid_ = uid;
    device_ = static_cast<std::uint64_t>(info.st_dev);
    inode_ = static_cast<std::uint64_t>(info.st_ino);
}

void KeptLog::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
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

namespace {

int createBesideWithMode(const std::string& path, std::string& name, mode_t mode) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".~" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
        const int fd = openRetrying(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Closes, renames into place, or removes the new file again; returns 0 or errno.
int finishBeside(Fd& fd, const std::string& name, const std::string& path, int failure) {
    const int closeFailure = fd.close();
    if (failure == 0) failure = closeFailure;
    if (failure == 0 && ::rename(name.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) ::unlink(name.c_str());
    return failure;
}

}  // namespace

void replaceFile(const std::string& path, std::string_view bytes) {
    std::string name;
    Fd fd(createBeside(path, name));
    if (!fd.valid()) throw IoError(errno);
    const int failure = finishBeside(fd, name, path, writeFully(fd.get(), bytes));
    if (failure != 0) throw IoError(failure);
}

void saveFile(const std::string& path, std::string_view bytes) {
    std::string name;
    Fd fd(createBesideWithMode(path, name, 0644));
    if (!fd.valid()) throw FileCreateError(path, errno);
    const int writeFailure = writeFully(fd.get(), bytes);
    const int closeFailure = fd.close();
    const int failure = writeFailure != 0 ? writeFailure : closeFailure;
    if (failure != 0) {
        ::unlink(name.c_str());
        throw IoError(failure);
    }
    if (::rename(name.c_str(), path.c_str()) != 0) {
        // A folder of that name, or a target we may not replace.
        const int renameFailure = errno;
        ::unlink(name.c_str());
        throw FileCreateError(path, renameFailure);
    }
}

int createBeside(const std::string& path, std::string& name) { return createBesideWithMode(path, name, 0600); }

int writeFullyTo(int fd, std::string_view bytes) { return writeFully(fd, bytes); }

namespace {

enum class CopyWay { CloneOrStream, CloneOnly };

int copyTo(const std::string& src, const std::string& dst, CopyWay way) {
    Fd in(openRetrying(src.c_str(), O_RDONLY | O_NONBLOCK));
    if (!in.valid()) return errno;
    struct stat source {};
    if (fstat(in.get(), &source) != 0) return errno;
    if (!S_ISREG(source.st_mode)) return S_ISDIR(source.st_mode) ? EISDIR : EINVAL;
    struct stat target {};
    if (::stat(dst.c_str(), &target) == 0 && target.st_dev == source.st_dev && target.st_ino == source.st_ino)
        return 0;
    std::string name;
    Fd out(createBeside(dst, name));
    if (!out.valid()) return errno;
    if (::ioctl(out.get(), FICLONE, in.get()) == 0) return finishBeside(out, name, dst, 0);
    if (way == CopyWay::CloneOnly) {
        const int noClone = errno;
        out.close();
        ::unlink(name.c_str());
        return noClone;
    }
    // Streamed in blocks: the exported files may be far larger than memory allows.
    constexpr std::size_t kBuffer = 1 << 16;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBuffer);
    int failure = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.get(), kBuffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            failure = errno;
            break;
        }
        if (n == 0) break;
        failure = writeFully(out.get(), std::string_view(buffer.get(), static_cast<std::size_t>(n)));
        if (failure != 0) break;
    }
    return finishBeside(out, name, dst, failure);
}

}  // namespace

int copyReplacing(const std::string& src, const std::string& dst) { return copyTo(src, dst, CopyWay::CloneOrStream); }

int cloneReplacing(const std::string& src, const std::string& dst) { return copyTo(src, dst, CopyWay::CloneOnly); }

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

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

PrivateFolder ensurePrivateFolder(const std::string& path, unsigned uid) {
    if (path.empty()) return {PrivateFolder::Refused, "kein Ordner angegeben"};
    bool created = false;
    if (::mkdir(path.c_str(), 0700) == 0) {
        created = true;
    } else if (errno == ENOENT) {
        // Missing parents (~/.cache on a new account) are made as private as the folder.
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            ::mkdir(path.substr(0, slash).c_str(), 0700);
        if (::mkdir(path.c_str(), 0700) != 0) return {PrivateFolder::Refused, IoError::textFor(errno)};
        created = true;
    } else if (errno != EEXIST) {
        return {PrivateFolder::Refused, IoError::textFor(errno)};
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return {PrivateFolder::Refused, IoError::textFor(errno)};
    if (S_ISLNK(info.st_mode)) return {PrivateFolder::Refused, "ist ein Verweis"};
    if (!S_ISDIR(info.st_mode)) return {PrivateFolder::Refused, "ist kein Ordner"};
    if (info.st_uid != uid) return {PrivateFolder::Refused, "gehört einem anderen Benutzer"};
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        return {PrivateFolder::Refused, "ist für andere Benutzer offen"};
    return {created ? PrivateFolder::Created : PrivateFolder::Existing, {}};
}

bool ownedByOther(const std::string& path, unsigned uid) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && info.st_uid != uid;
}

namespace {

// An entry of `folder` named `prefix` and six more characters that only `uid` can use.
bool ownPrivateFolder(const std::string& folder, const std::string& name, const std::string& prefix, unsigned uid) {
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
    struct stat info {};
    const std::string path = paths::join(folder, name);
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
           (info.st_mode & 077) == 0;
}

}  // namespace

FolderBeside privateFolderBeside(const std::string& usual, unsigned uid) {
    const std::size_t slash = usual.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : usual.substr(0, slash);
    const std::string prefix = usual.substr(slash == std::string::npos ? 0 : slash + 1) + "-";
    // The first in name order, so every process of this user picks the same one.
    std::string found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if ((found.empty() || name < found) && ownPrivateFolder(folder, name, prefix, uid)) found = name;
        }
        ::closedir(dir);
    }
    if (!found.empty()) return {paths::join(folder, found), false, {}};
    std::string pattern = paths::join(folder, prefix + "XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) return {{}, false, IoError::textFor(errno)};
    return {pattern, true, {}};
}

std::optional<FileStatus> statusOf(const std::string& path) {
    // O_NONBLOCK so that a fifo given by mistake does not hang the caller.
    Fd fd(openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK));
    if (!fd.valid()) return std::nullopt;
    return statusOfOpen(fd.get());
}

std::optional<FileStatus> statusOfOpen(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    FileStatus status;
    status.size = static_cast<std::int64_t>(info.st_size);
    status.writeSeconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    status.writeNanoseconds = static_cast<std::int32_t>(info.st_mtim.tv_nsec);
    status.device = static_cast<std::uint64_t>(info.st_dev);
    status.inode = static_cast<std::uint64_t>(info.st_ino);
    return status;
}

std::int64_t querySize(const std::string& path) {
    const auto status = statusOf(path);
    return status ? status->size : -1;
}

bool sameFile(const std::string& source, const std::string& target) {
    struct stat a {};
    struct stat b {};
    if (::stat(source.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return normalisedPath(source) == normalisedPath(target);
}

}  // namespace velora::fileio
