#pragma once
// Whole-file operations, each opening and closing its file within the call. Failures
// raise IoError with the program's texts; nothing here ever truncates a file that is
// only to be appended to.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velora::fileio {

// Appends bytes at the end of the file; creates it (mode 0644 less umask) when it does
// not exist. An existing file that cannot be opened for appending raises IoError and
// is never re-created.
void append(const std::string& path, std::string_view bytes);
// As append, but a file created by this call first receives headerBytes.
void appendCreatingWithHeader(const std::string& path, std::string_view headerBytes,
                              std::string_view bytes);
// Appends to a log (the event log, the transfer log) without ever blocking and only
// into a plain file of this user's, since the log folder may be open to others: the
// last path element is not followed when it is a link, a fifo, device, socket or
// folder is refused before a byte is written, and so is a file owned by another
// account than `uid`. A missing file is created with mode 0600 (a log holds server
// replies) and first receives headerBytes. A refusal or failure raises IoError; an
// existing file is never emptied.
//
// With rotateAtBytes above 0, a log that has reached that size is first moved aside
// (see rotateLog) and the bytes start a new one, header first. A log that cannot be
// moved aside still receives the bytes; the system's error number of the failed move
// is returned (0 otherwise), and the move is tried again with the next line.
int appendToLog(const std::string& path, std::string_view headerBytes, std::string_view bytes, unsigned uid,
                std::uint64_t rotateAtBytes = 0);
// appendToLog for a log written line after line (the event log: a line per 256 KiB of
// a store): the file stays open between lines and each line costs one lstat and one
// write, as long as the name still leads to that same plain file of this user's below
// the rotation size. Anything else (another name or user, a file moved aside, removed
// or replaced, a full log, a failure) takes appendToLog's way with all its checks,
// after which the file is kept open again. The one exception to "each call opens and
// closes its file" above; the descriptor is closed on exec.
class KeptLog {
public:
    KeptLog() = default;
    ~KeptLog() { close(); }
    KeptLog(const KeptLog&) = delete;
    KeptLog& operator=(const KeptLog&) = delete;

    // As appendToLog.
    int append(const std::string& path, std::string_view headerBytes, std::string_view bytes, unsigned uid,
               std::uint64_t rotateAtBytes = 0);
    void close();

private:
    bool appendToKept(const std::string& path, std::string_view bytes, unsigned uid, std::uint64_t rotateAtBytes);
    void keep(const std::string& path, unsigned uid);

    int fd_ = -1;
    std::string path_;
    unsigned uid_ = 0;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};
// How many moved-aside logs are kept: NAME.1 (the newest) to NAME.5.
inline constexpr int kKeptLogs = 5;
// Moves the log aside: NAME.4 becomes NAME.5 (the former NAME.5 is dropped), ...,
// NAME becomes NAME.1, each by one rename, so a line is always in one of the files.
// Only this user's plain files are moved; a name taken by anything else ends the
// shift there, leaving NAME where it is. Returns 0 or the system's error number.
int rotateLog(const std::string& path, unsigned uid);
// The whole content, every byte (NUL bytes included).
std::string readAll(const std::string& path);
// Creates or replaces the file with exactly these bytes.
void writeAll(const std::string& path, std::string_view bytes);
// Creates or replaces `path` with exactly these bytes without ever writing through
// what is there: a new file (mode 0600, created exclusively, links not followed) is
// written next to it and renamed into place. A failure raises IoError and leaves
// neither a partial file nor a changed old one.
void replaceFile(const std::string& path, std::string_view bytes);
// Saves a document (the screen shot) as a file of mode 0644 less umask: created or
// overwritten, but through a new file renamed into place, so nobody (the next run's
// preparation pass, a web server) ever reads half a picture and a full disk keeps the
// old one. A file that cannot be created raises FileCreateError naming `path`; a
// failed write raises IoError.
void saveFile(const std::string& path, std::string_view bytes);
// Copies src to dst in the same way as replaceFile; returns 0 or the system's error number (nothing
// is raised). Copying a file onto itself changes nothing and succeeds. Where the file system
// can share the blocks (a reflink: btrfs, XFS), the copy costs no reading and writing at all.
int copyReplacing(const std::string& src, const std::string& dst);
// As copyReplacing, but only as a reflink, which takes no time whatever the size; the system's
// error number when the file system has none (EOPNOTSUPP, EXDEV, EINVAL) leaves dst as it was.
int cloneReplacing(const std::string& src, const std::string& dst);
// A new file beside `path` for a rename into place (NAME.~PID_N, mode 0600, created
// exclusively, links not followed, open for reading too): the descriptor, or -1 with
// errno; `name` is set.
int createBeside(const std::string& path, std::string& name);
// Writes every byte to an open descriptor; returns 0 or the system's error number.
int writeFullyTo(int fd, std::string_view bytes);
// Removes a file (never a folder); true when it is gone afterwards.
bool removeFile(const std::string& path);

bool exists(const std::string& path);          // any entry
bool isRegularFile(const std::string& path);   // follows links; folders, fifos: false
bool isDirectory(const std::string& path);
// Creates one folder level; true when this call created it.
bool createFolder(const std::string& path);

// A folder only this user may use: a real folder (not a link) owned by `uid` with no
// access for anybody else. Missing folders on the way are created with mode 0700; an
// own folder with access for others is closed (0700). A link, a file or a folder of
// another account is refused: its owner could read or plant what we write there.
struct PrivateFolder {
    enum Outcome { Created, Existing, Refused } outcome;
    std::string why;   // for Refused: the reason, in the program's words
};
PrivateFolder ensurePrivateFolder(const std::string& path, unsigned uid);

// The scratch folder to use when `usual` is taken by another account: this user's
// private folder named `usual` + "-" + six characters in the same place, an existing
// one when there is (so cron runs share one folder and its run lock), else a new one
// with a random name. Returns the folder and whether this call made it; an empty
// folder when none can be made (the reason in `why`).
struct FolderBeside {
    std::string path;
    bool created = false;
    std::string why;
};
FolderBeside privateFolderBeside(const std::string& usual, unsigned uid);
// Whether `path` names an entry (a link itself, not its target) that belongs to
// another account than `uid`.
bool ownedByOther(const std::string& path, unsigned uid);

// Whether writing to `target` would overwrite `source`: the same file when both exist
// (hard and symbolic links included), else the same normalised absolute path.
bool sameFile(const std::string& source, const std::string& target);

// What one status query of an opened file tells: enough to notice any rewrite, a
// replacement by another file (device and inode) and a change within one second.
struct FileStatus {
    std::int64_t size = 0;
    std::int64_t writeSeconds = 0;       // last write, UTC seconds since 1970
    std::int32_t writeNanoseconds = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// The status of a regular file opened for reading only; nullopt when it cannot be
// opened (missing, a folder, a fifo, no read permission).
std::optional<FileStatus> statusOf(const std::string& path);
// The same of a file already open; nullopt when it is no regular file.
std::optional<FileStatus> statusOfOpen(int fd);

// Length of a regular file opened for reading only, the whole 64 bits; -1 when it
// cannot be opened.
std::int64_t querySize(const std::string& path);

}  // namespace velora::fileio
