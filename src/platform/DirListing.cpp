#include "platform/DirListing.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Paths.h"

namespace velora {

namespace {

// Decides write permission from the mode bits the way the kernel would for this
// process, without a system call per entry. Root writes everything that has any
// write bit; a file without any write bit is read-only for everybody, root included,
// which is what the read-only attribute means to the program.
class WriteAccess {
public:
    WriteAccess() : uid_(geteuid()), gid_(getegid()) {
        const int count = getgroups(0, nullptr);
        if (count > 0) {
            groups_.resize(static_cast<std::size_t>(count));
            const int got = getgroups(count, groups_.data());
            groups_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        }
    }

    bool writable(const struct stat& info) const {
        const mode_t anyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
        if ((info.st_mode & anyWrite) == 0) return false;
        if (uid_ == 0) return true;
        if (info.st_uid == uid_) return (info.st_mode & S_IWUSR) != 0;
        if (inGroup(info.st_gid)) return (info.st_mode & S_IWGRP) != 0;
        return (info.st_mode & S_IWOTH) != 0;
    }

private:
    bool inGroup(gid_t gid) const {
        return gid == gid_ || std::find(groups_.begin(), groups_.end(), gid) != groups_.end();
    }

    uid_t uid_;
    gid_t gid_;
    std::vector<gid_t> groups_;
};

bool isDotName(const char* name) { return name[0] == '.'; }

bool isSelfOrParent(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

std::uint32_t attributesOf(const char* name, const struct stat& info, const WriteAccess& access) {
    if (S_ISDIR(info.st_mode)) {
        std::uint32_t bits = attr::Directory;
        if (isDotName(name) && !isSelfOrParent(name)) bits |= attr::Hidden;
        return bits;
    }
    if (S_ISREG(info.st_mode)) {
        std::uint32_t bits = attr::Archive;
        if (isDotName(name)) bits |= attr::Hidden;
        if (!access.writable(info)) bits |= attr::ReadOnly;
        return bits;
    }
    // Fifos, sockets, devices and dangling links cannot be exported; a bit outside
    // the ones the transfer patterns accept keeps them out.
    return attr::Device;
}

// Greedy matcher with a single back-tracking point: linear for the usual patterns,
// at worst name length times pattern length.
bool plainMatch(const char* p, const char* pEnd, const char* n, const char* nEnd) {
    const char* starP = nullptr;
    const char* starN = nullptr;
    while (n < nEnd) {
        if (p < pEnd && (*p == '?' || *p == *n)) {
            ++p;
            ++n;
        } else if (p < pEnd && *p == '*') {
            starP = ++p;
            starN = n;
        } else if (starP != nullptr) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pEnd && *p == '*') ++p;
    return p == pEnd;
}

// Works on views so a listing tests each name without copying it first.
bool matchesPattern(std::string_view pattern, std::string_view name) {
    const char* p = pattern.data();
    const char* pEnd = p + pattern.size();
    const char* n = name.data();
    const char* nEnd = n + name.size();
    if (plainMatch(p, pEnd, n, nEnd)) return true;
    // As on the original platform a final ".*" also matches "no extension at all":
    // "*.*" takes every name and "report.*" takes "report".
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return plainMatch(p, pEnd - 2, n, nEnd);
    return false;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    return matchesPattern(pattern, name);
}

namespace {

std::vector<DirEntry> listDir(DIR* dir, const std::string& namePattern) {
    std::vector<DirEntry> entries;
    const int folderFd = dirfd(dir);
    const WriteAccess access;
    entries.reserve(64);

    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        const std::size_t length = std::strlen(name);
        if (!matchesPattern(namePattern, std::string_view(name, length))) continue;
        struct stat info {};
        // Links count as what they point to; a dangling link keeps its own stat.
        if (fstatat(folderFd, name, &info, 0) != 0 &&
            fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        DirEntry out;
        out.name.assign(name, length);
        out.attributes = S_ISLNK(info.st_mode) ? attr::Device : attributesOf(name, info, access);
        out.writeTimeNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        struct stat own {};
        out.isLink = entry->d_type == DT_LNK ||
                     (entry->d_type == DT_UNKNOWN && fstatat(folderFd, name, &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(own.st_mode));
        entries.push_back(std::move(out));
    }
    return entries;
}

}  // namespace

std::vector<DirEntry> listMatching(const std::string& pattern) {
    std::string folder = paths::folderPartWithSlash(pattern);
    if (folder.empty()) folder = ".";
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return {};
    return listDir(dir.get(), paths::fileNamePart(pattern));
}

std::vector<DirEntry> listMatchingIn(int folderFd, const std::string& namePattern) {
    // The stream owns and closes its descriptor; the caller keeps its own.
    const int copy = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return {};
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(copy));
    if (!dir) {
        ::close(copy);
        return {};
    }
    // A copied descriptor shares the read position of the first.
    rewinddir(dir.get());
    return listDir(dir.get(), namePattern);
}

}  // namespace velora
