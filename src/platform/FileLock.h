#pragma once
// An advisory lock on a file, held while the object lives. The kernel releases it when
// the process ends in any way, so a crashed run never blocks the next one.
#include <string>

namespace velora {

class FileLock {
public:
    enum class Result { Acquired, Busy, Failed };

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens (creating it with mode 0600, never through a link) and locks the file
    // without waiting. Busy: another open of it holds the lock. Failed: `why` says
    // what the system reported.
    Result tryLock(const std::string& path, std::string& why);
    bool held() const { return fd_ >= 0; }
    void release();

private:
    int fd_ = -1;
};

}  // namespace velora
