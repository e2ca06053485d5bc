#pragma once
// A file goes out only as a settled snapshot: as the preparation pass measured it
// (size, last write, device and inode) until the copy that is sent has been made, and
// with its last write at least the settle time ("Ruhezeit") old when that copy starts.
// A picture or page still being written is left for the next run, which finds it
// changed and sends it whole, instead of going out cut short and counted as sent.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "app/UiHost.h"
#include "platform/Clock.h"
#include "platform/FileIo.h"
#include "settings/Settings.h"

namespace velora {

// What the rule reads from the file system.
class FileFacts {
public:
    virtual ~FileFacts() = default;
    // The status of a regular file; nullopt when it cannot be opened.
    virtual std::optional<fileio::FileStatus> statusOf(const std::string& path) const = 0;
    // Now, on the clock the file system stamps last writes with: nanoseconds since
    // 1970, UTC.
    virtual std::int64_t nowNs() const = 0;
};

class SystemFileFacts final : public FileFacts {
public:
    std::optional<fileio::FileStatus> statusOf(const std::string& path) const override;
    std::int64_t nowNs() const override;
};

// Same size, same last write to the nanosecond, same file (device and inode).
bool sameSnapshot(const fileio::FileStatus& a, const fileio::FileStatus& b);

class SettledSnapshots {
public:
    // The wait between two looks at the events while a young file is waited for.
    static constexpr int kWaitSliceMs = 100;

    SettledSnapshots(FileFacts& facts, Clock& clock, UiHost& ui, const Settings& settings);

    // A preparation pass begins: what an earlier one measured no longer counts.
    void clear();

    // The status a row sent as it is gets its fingerprint from, remembered as the
    // state the file must still be in when the upload copies it.
    std::optional<fileio::FileStatus> measure(const std::string& path);
    // A tag copy the preparation pass wrote from a settled text: the program's own
    // file, sent as it is.
    void recordOwnCopy(const std::string& copy);

    struct Prepared {
        bool ownCopy = false;
        std::optional<fileio::FileStatus> status;
    };
    // What the latest preparation pass left for a file about to be sent; nullopt when
    // it measured nothing of it (a target chosen by hand, another row's source).
    std::optional<Prepared> preparedOf(const std::string& path) const;

    struct Settling {
        enum class State { Settled, Changing, Unreadable };
        State state = State::Unreadable;
        fileio::FileStatus status;   // Settled: what the file must still be after its copy
    };
    // Whether `path` may be copied now: still as `expected` says (when given), and old
    // enough by the settle time. A younger file is waited for once, up to the settle
    // time, letting events run; it must not change meanwhile. A last write in the
    // future counts as brand new. Unreadable: the copy itself will say why.
    Settling awaitSettled(const std::string& path, const std::optional<fileio::FileStatus>& expected);
    // After the copy: the file is still the snapshot that was copied.
    bool unchanged(const std::string& path, const fileio::FileStatus& settled) const;

    // The one log line of a file left for the next run.
    static std::string stillChangingLine(const std::string& path);

private:
    void waitLettingEventsRun(std::int64_t ms);

    FileFacts& facts_;
    Clock& clock_;
    UiHost& ui_;
    const Settings& settings_;
    std::unordered_map<std::string, Prepared> prepared_;
};

}  // namespace velora
