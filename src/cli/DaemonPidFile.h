#pragma once
// The daemon's process id file in the scratch folder. The daemon holds an exclusive
// lock on it for its whole life, so velora-cli status tells a running daemon from one
// that died without removing it (the lock went with the process), whatever process
// has the old number now.
#include <string>

namespace velora::cli {

inline constexpr const char* kDaemonPidFileName = "velora-daemon.pid";

class DaemonPidFile {
public:
    // Creates (or takes over a stale) `folder`/velora-daemon.pid with this process's id.
    explicit DaemonPidFile(const std::string& folder);
    ~DaemonPidFile();
    DaemonPidFile(const DaemonPidFile&) = delete;
    DaemonPidFile& operator=(const DaemonPidFile&) = delete;

    bool held() const { return fd_ >= 0; }
    // Why it is not held: another daemon holds it, or the file cannot be made.
    const std::string& error() const { return error_; }
    void release();

private:
    std::string path_;
    int fd_ = -1;
    std::string error_;
};

struct DaemonProbe {
    enum State { NotRunning, Running, Stale, Unknown } state = NotRunning;
    long pid = 0;          // from the file, when it holds one
    std::string detail;    // for Unknown: why
};

// Looks at `folder`/velora-daemon.pid without changing it.
DaemonProbe probeDaemon(const std::string& folder);

}  // namespace velora::cli
