#include "platform/DirListing.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Paths.h"

namespace velora {

namespace {

constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 1980 + 127;

DateTime fromTm(const tm& parts) {
    DateTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = std::min(parts.tm_sec, 59);
    t.millisecond = 0;
    t.weekday = parts.tm_wday + 1;
    return t;
}

std::optional<DateTime> localTimeOf(time_t seconds) {
    tm parts{};
    if (localtime_r(&seconds, &parts) == nullptr) return std::nullopt;
    return fromTm(parts);
}

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

std::int32_t packDosDateTime(const DateTime& local) {
    int year = local.year;
    int month = local.month;
    int day = local.day;
    int hour = local.hour;
    int minute = local.minute;
    int second = local.second;
    // The format cannot hold dates outside 1980..2107; they stick to its ends.
    if (year < kDosFirstYear) {
        year = kDosFirstYear;
        month = day = 1;
        hour = minute = second = 0;
    } else if (year > kDosLastYear) {
        year = kDosLastYear;
        month = 12;
        day = 31;
        hour = 23;
        minute = 59;
        second = 58;
    }
    const std::uint32_t date = (static_cast<std::uint32_t>(year - kDosFirstYear) << 9) |
                               (static_cast<std::uint32_t>(month & 0x0F) << 5) |
                               static_cast<std::uint32_t>(day & 0x1F);
    const std::uint32_t time = (static_cast<std::uint32_t>(hour & 0x1F) << 11) |
                               (static_cast<std::uint32_t>(minute & 0x3F) << 5) |
                               static_cast<std::uint32_t>((second / 2) & 0x1F);
    return static_cast<std::int32_t>((date << 16) | time);
}

DateTime toDosResolution(const DateTime& local) {
    DateTime t = local;
    t.second -= t.second % 2;
    t.millisecond = 0;
    return t;
}

std::optional<DateTime> lastWriteLocal(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return localTimeOf(info.st_mtim.tv_sec);
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    return matchesPattern(pattern, name);
}

std::vector<DirEntry> listMatching(const std::string& pattern) {
    std::vector<DirEntry> entries;
    std::string folder = paths::folderPartWithSlash(pattern);
    const std::string namePattern = paths::fileNamePart(pattern);
    if (folder.empty()) folder = ".";

    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return entries;
    const int folderFd = dirfd(dir.get());
    const WriteAccess access;
    entries.reserve(64);

    while (const dirent* entry = readdir(dir.get())) {
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
        const auto local = localTimeOf(info.st_mtim.tv_sec);
        out.dosTime = local ? packDosDateTime(*local) : 0;
        entries.push_back(std::move(out));
    }
    return entries;
}

}  // namespace velora
