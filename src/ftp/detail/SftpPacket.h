#pragma once
// The SFTP messages the store needs (version 3, as OpenSSH speaks it), built and taken
// apart byte by byte. libssh's own SFTP layer in the version we build against waits for
// every write before the next and renames only with the plain request, which OpenSSH
// refuses over an existing file; so the client frames the messages itself and sends
// them over libssh's channel. Nothing here does any I/O.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace velora::sftp {

enum Type : std::uint8_t {
    kInit = 1,
    kVersion = 2,
    kOpen = 3,
    kClose = 4,
    kWrite = 6,
    kRemove = 13,
    kRealpath = 16,
    kStat = 17,
    kRename = 18,
    kStatus = 101,
    kHandle = 102,
    kName = 104,
    kAttrs = 105,
    kExtended = 200,
};

enum StatusCode : std::uint32_t { kOk = 0, kNoSuchFile = 2, kPermissionDenied = 3, kFailure = 4, kOpUnsupported = 8 };

// Open flags.
constexpr std::uint32_t kOpenWrite = 0x02;
constexpr std::uint32_t kOpenCreate = 0x08;
constexpr std::uint32_t kOpenTruncate = 0x10;

// The largest message a server may send us; OpenSSH's own limit is 256 KiB.
constexpr std::size_t kMaxPacket = 256 * 1024 + 1024;

constexpr const char* kPosixRename = "posix-rename@openssh.com";

// A request's bytes, length prefix included once packet() is called.
class Request {
public:
    Request(Type type, std::uint32_t id);
    explicit Request(Type type);   // only INIT carries no id
    Request& u32(std::uint32_t v);
    Request& u64(std::uint64_t v);
    Request& string(const std::string& s);
    Request& string(const char* data, std::size_t size);
    std::string packet() const;

private:
    std::string body_;
};

// A reply as it came: its type, its request id (0 for VERSION) and what follows.
struct Reply {
    std::uint8_t type = 0;
    std::uint32_t id = 0;
    std::string body;
};

// Reads the fields of a reply's body; any read past the end marks it malformed and
// yields zero values, so one check at the end covers a whole sequence.
class Fields {
public:
    explicit Fields(const std::string& bytes) : bytes_(bytes) {}
    std::uint32_t u32();
    std::uint64_t u64();
    std::string string();
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == bytes_.size(); }

private:
    bool take(std::size_t n);
    const std::string& bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The whole replies at the front of a byte stream. A length beyond kMaxPacket or below
// what a type and an id need is a broken stream: the caller must drop the connection.
class ReplyStream {
public:
    void append(const char* data, std::size_t size) { pending_.append(data, size); }
    // The next whole reply; nullopt while it is incomplete. Sets broken() instead of
    // returning nonsense.
    std::optional<Reply> next();
    bool broken() const { return broken_; }

private:
    std::string pending_;
    std::size_t start_ = 0;
    bool broken_ = false;
};

struct Status {
    std::uint32_t code = kFailure;
    std::string message;
};

// Each returns nullopt for a body that does not hold what its type promises.
std::optional<Status> parseStatus(const std::string& body);
std::optional<std::string> parseHandle(const std::string& body);
// The first name of a NAME reply (REALPATH answers with exactly one).
std::optional<std::string> parseFirstName(const std::string& body);
// The permission bits of an ATTRS body (with the file type bits), when present.
std::optional<std::optional<std::uint32_t>> parsePermissions(const std::string& body);
// VERSION: the version and the extensions with their data.
struct Version {
    std::uint32_t version = 0;
    std::map<std::string, std::string> extensions;
};
std::optional<Version> parseVersion(const std::string& body);

}  // namespace velora::sftp
