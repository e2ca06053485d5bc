#include "platform/PathTrust.h"

#include <cerrno>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

#include "platform/Errors.h"

namespace velora::pathtrust {

namespace {

// As many links as the kernel follows in one lookup before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

bool trusted(uid_t owner, unsigned uid) { return owner == uid || owner == 0; }

int openRetrying(int dir, const char* name, int flags) {
    int fd;
    do {
        fd = ::openat(dir, name, flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Only the object itself, never what a link names: every link is looked at first.
int openNoFollow(int dir, const char* name) { return openRetrying(dir, name, O_PATH | O_NOFOLLOW); }

void appendComponents(const std::string& path, std::deque<std::string>& out, bool atFront) {
    std::deque<std::string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        const std::size_t slash = path.find('/', pos);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > pos) parts.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    out.insert(atFront ? out.begin() : out.end(), parts.begin(), parts.end());
}

// The text of the link open in `fd` (O_PATH | O_NOFOLLOW), read through that very
// descriptor, so a link swapped meanwhile cannot hand us another target.
bool readLinkText(int fd, std::string& target) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(fd, "", buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Following a path one component at a time through descriptors, as the kernel would,
// but looking at the owner of every link before following it.
struct Walk {
    Handle parent;          // the folder holding the object reached
    std::string lastName;   // its name in there
    Handle target;          // the object reached (O_PATH); invalid when the walk stopped
    struct stat info {};
    int error = 0;
    std::optional<ForeignLink> foreign;
};

Walk walk(int startFd, std::string shown, const std::string& path, unsigned uid) {
    Walk w;
    if (path.empty()) {
        w.error = ENOENT;
        return w;
    }
    const bool absolute = path.front() == '/';
    Handle dir(openRetrying(absolute ? AT_FDCWD : startFd, absolute ? "/" : ".", O_PATH | O_DIRECTORY));
    if (absolute) shown = "/";
    std::deque<std::string> rest;
    appendComponents(path, rest, false);
    int links = 0;
    while (dir.valid() && !rest.empty()) {
        std::string name = std::move(rest.front());
        rest.pop_front();
        Handle next(openNoFollow(dir.get(), name.c_str()));
        struct stat info {};
        if (!next.valid() || ::fstat(next.get(), &info) != 0) {
            w.error = errno;
            return w;
        }
        if (S_ISLNK(info.st_mode)) {
            if (!trusted(info.st_uid, uid)) {
                w.foreign = ForeignLink{shown + name, static_cast<unsigned>(info.st_uid)};
                return w;
            }
            std::string target;
            if (++links > kMaxLinks) w.error = ELOOP;
            else if (!readLinkText(next.get(), target)) w.error = errno;
            else if (target.empty()) w.error = ENOENT;
            if (w.error != 0) return w;
            appendComponents(target, rest, true);
            if (target.front() == '/') {
                dir = Handle(openRetrying(AT_FDCWD, "/", O_PATH | O_DIRECTORY));
                shown = "/";
            }
            continue;
        }
        if (rest.empty()) {
            w.parent = std::move(dir);
            w.lastName = std::move(name);
            w.target = std::move(next);
            w.info = info;
            return w;
        }
        if (!S_ISDIR(info.st_mode)) {
            w.error = ENOTDIR;
            return w;
        }
        dir = std::move(next);
        shown += name + "/";
    }
    // The path (or a link on it) ended in a folder named by "/" alone.
    if (!dir.valid() || ::fstat(dir.get(), &w.info) != 0) {
        w.error = errno;
        return w;
    }
    w.target = Handle(openRetrying(dir.get(), ".", O_PATH | O_DIRECTORY));
    w.parent = std::move(dir);
    w.lastName = ".";
    return w;
}

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "ist ein Ordner";
    if (S_ISFIFO(mode)) return "ist eine FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "ist ein Gerät";
    if (S_ISSOCK(mode)) return "ist ein Socket";
    return "ist keine Datei";
}

std::string ownerText(unsigned owner) { return "gehört einem anderen Konto (uid " + std::to_string(owner) + ")"; }

bool readRest(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

bool isGone(int error) { return error == ENOENT || error == ENOTDIR; }

// Most sources have no link anywhere on their path, and one system call says so; the
// walk, a few calls per component, is for the others. 0 when the path has no link,
// else the error (ELOOP: a link is on it; ENOSYS: a kernel or sandbox without openat2).
int probeWithoutLinks(const std::string& path) {
#ifdef SYS_openat2
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd < 0) return errno;
    ::close(static_cast<int>(fd));
    return 0;
#else
    return ENOSYS;
#endif
}

}  // namespace

unsigned processUser() { return static_cast<unsigned>(::geteuid()); }

Handle::~Handle() {
    if (fd_ >= 0) ::close(fd_);
}

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

std::string describe(const ForeignLink& foreign) { return "Link " + foreign.link + " " + ownerText(foreign.owner); }

std::optional<ForeignLink> foreignLinkOn(const std::string& path, unsigned uid) {
    // Stopped before any link: the walk would stop there too, and nothing is read.
    const int probe = probeWithoutLinks(path);
    if (probe == 0 || isGone(probe) || probe == EACCES) return std::nullopt;
    return walk(AT_FDCWD, std::string(), path, uid).foreign;
}

std::optional<ForeignLink> foreignLinkBelow(const OpenedFolder& folder, const std::string& name, unsigned uid) {
    if (!folder.folder.valid()) return std::nullopt;
    return walk(folder.folder.get(), folder.path, name, uid).foreign;
}

OpenedFolder openFolder(const std::string& path, unsigned uid) {
    OpenedFolder out;
    out.path = path.empty() || path.back() == '/' ? path : path + "/";
    Walk w = walk(AT_FDCWD, std::string(), path.empty() ? "." : path, uid);
    out.foreign = std::move(w.foreign);
    if (w.target.valid() && S_ISDIR(w.info.st_mode))
        out.folder = Handle(openRetrying(w.target.get(), ".", O_RDONLY | O_DIRECTORY));
    return out;
}

GuardedRead readOwnFile(const std::string& path, unsigned uid) {
    Walk w = walk(AT_FDCWD, std::string(), path, uid);
    if (w.foreign) return {GuardedRead::Refused, {}, describe(*w.foreign)};
    if (!w.target.valid()) {
        if (isGone(w.error)) return {GuardedRead::Missing, {}, {}};
        return {GuardedRead::Unreadable, {}, IoError::textFor(w.error)};
    }
    // Told by the status of what was reached, before anything is opened for reading: a
    // fifo would block, and opening some devices already does something.
    if (!S_ISREG(w.info.st_mode)) return {GuardedRead::NotAFile, {}, kindOf(w.info.st_mode)};
    if (!trusted(w.info.st_uid, uid))
        return {GuardedRead::Refused, {}, ownerText(static_cast<unsigned>(w.info.st_uid))};
    if ((w.info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(w.info.st_mode & 07777));
        return {GuardedRead::Refused, {}, std::string("für andere Konten beschreibbar (Modus ") + mode + ")"};
    }
    Handle file(openRetrying(w.parent.get(), w.lastName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!file.valid()) {
        // ELOOP: a link was put there since; that is not the file that was checked.
        if (isGone(errno) || errno == ELOOP) return {GuardedRead::Missing, {}, {}};
        return {GuardedRead::Unreadable, {}, IoError::textFor(errno)};
    }
    struct stat opened {};
    if (::fstat(file.get(), &opened) != 0) return {GuardedRead::Unreadable, {}, IoError::textFor(errno)};
    // Replaced between the check and the open: the checked file is gone from there.
    if (opened.st_dev != w.info.st_dev || opened.st_ino != w.info.st_ino) return {GuardedRead::Missing, {}, {}};
    GuardedRead out{GuardedRead::Read, {}, {}};
    if (opened.st_size > 0) out.bytes.reserve(static_cast<std::size_t>(opened.st_size));
    if (!readRest(file.get(), out.bytes)) return {GuardedRead::Unreadable, {}, IoError::textFor(errno)};
    return out;
}

}  // namespace velora::pathtrust
