#pragma once
// Whose links a path goes through. Another account that can write a folder on the way
// to a source can plant a link there and let us read, and upload, whatever we may read.
// So every link met while following a path (in any component, and inside the targets of
// links) must belong to this user or to root; the kernel's protected_symlinks rule asks
// that only in shared sticky folders, we ask it everywhere.
#include <optional>
#include <string>

namespace velora::pathtrust {

// The effective user id of this process: the account whose own links are trusted.
unsigned processUser();

// Owns one descriptor; closed when it goes.
class Handle {
public:
    Handle() = default;
    explicit Handle(int fd) : fd_(fd) {}
    ~Handle();
    Handle(Handle&& other) noexcept : fd_(other.release()) {}
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// A link owned by neither the user nor root, as it was met.
struct ForeignLink {
    std::string link;   // the path of the link itself, as the walk reached it
    unsigned owner = 0;
};

// "Link <link> gehört einem anderen Konto (uid <owner>)"
std::string describe(const ForeignLink& foreign);

// The first foreign link on the way to `path`; nothing when every link is trusted, or
// when the walk ends early (missing, no permission): then there is nothing to read.
// A relative path starts at the working folder.
std::optional<ForeignLink> foreignLinkOn(const std::string& path, unsigned uid);

// A folder reached through trusted links only, opened for listing. `folder` is invalid
// when there is no such folder, or when `foreign` says why it was refused.
struct OpenedFolder {
    Handle folder;
    std::string path;   // as given, ending in "/" unless empty
    std::optional<ForeignLink> foreign;
};
OpenedFolder openFolder(const std::string& path, unsigned uid);
// foreignLinkOn for `name` inside that folder, starting from the folder that was opened,
// whatever has become of its path since.
std::optional<ForeignLink> foreignLinkBelow(const OpenedFolder& folder, const std::string& name, unsigned uid);

// A file others must not control (a file whose lines become source paths): read only
// when reached through trusted links, owned by the user or root, and writable by
// nobody else, as ssh treats its configuration. Never opens anything but a regular
// file, so a fifo cannot block and a device is never touched.
struct GuardedRead {
    enum Outcome { Read, Missing, NotAFile, Refused, Unreadable } outcome;
    std::string bytes;   // Read: the whole file
    std::string why;     // NotAFile: what it is; Refused: the reason; Unreadable: the system's text
};
GuardedRead readOwnFile(const std::string& path, unsigned uid);

}  // namespace velora::pathtrust
