#include "ftp/detail/SftpPacket.h"

namespace velora::sftp {
namespace {

void putU32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

std::uint32_t getU32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// ATTRS as version 3 lays it out: flags, then each field the flags announce.
constexpr std::uint32_t kAttrSize = 0x1;
constexpr std::uint32_t kAttrUidGid = 0x2;
constexpr std::uint32_t kAttrPermissions = 0x4;
constexpr std::uint32_t kAttrTimes = 0x8;
constexpr std::uint32_t kAttrExtended = 0x80000000;

std::optional<std::uint32_t> readPermissions(Fields& f) {
    const std::uint32_t flags = f.u32();
    if (flags & kAttrSize) f.u64();
    if (flags & kAttrUidGid) {
        f.u32();
        f.u32();
    }
    std::optional<std::uint32_t> permissions;
    if (flags & kAttrPermissions) permissions = f.u32();
    if (flags & kAttrTimes) {
        f.u32();
        f.u32();
    }
    if (flags & kAttrExtended) {
        const std::uint32_t count = f.u32();
        for (std::uint32_t i = 0; i < count && f.ok(); ++i) {
            f.string();
            f.string();
        }
    }
    return permissions;
}

}  // namespace

Request::Request(Type type, std::uint32_t id) {
    body_.push_back(static_cast<char>(type));
    putU32(body_, id);
}

Request::Request(Type type) { body_.push_back(static_cast<char>(type)); }

Request& Request::u32(std::uint32_t v) {
    putU32(body_, v);
    return *this;
}

Request& Request::u64(std::uint64_t v) {
    putU32(body_, static_cast<std::uint32_t>(v >> 32));
    putU32(body_, static_cast<std::uint32_t>(v));
    return *this;
}

Request& Request::string(const std::string& s) { return string(s.data(), s.size()); }

Request& Request::string(const char* data, std::size_t size) {
    putU32(body_, static_cast<std::uint32_t>(size));
    body_.append(data, size);
    return *this;
}

std::string Request::packet() const {
    std::string out;
    out.reserve(4 + body_.size());
    putU32(out, static_cast<std::uint32_t>(body_.size()));
    return out + body_;
}

bool Fields::take(std::size_t n) {
    if (!ok_ || bytes_.size() - pos_ < n) {
        ok_ = false;
        return false;
    }
    return true;
}

std::uint32_t Fields::u32() {
    if (!take(4)) return 0;
    const std::uint32_t v = getU32(bytes_, pos_);
    pos_ += 4;
    return v;
}

std::uint64_t Fields::u64() {
    const std::uint64_t high = u32();
    return (high << 32) | u32();
}

std::string Fields::string() {
    const std::uint32_t size = u32();
    if (!take(size)) return {};
    std::string s = bytes_.substr(pos_, size);
    pos_ += size;
    return s;
}

std::optional<Reply> ReplyStream::next() {
    if (broken_ || pending_.size() - start_ < 4) return std::nullopt;
    const std::uint32_t length = getU32(pending_, start_);
    if (length > kMaxPacket || length < 5) {
        broken_ = true;
        return std::nullopt;
    }
    if (pending_.size() - start_ - 4 < length) return std::nullopt;
    Reply reply;
    reply.type = static_cast<std::uint8_t>(pending_[start_ + 4]);
    std::size_t bodyAt = start_ + 5;
    if (reply.type != kVersion) {
        reply.id = getU32(pending_, bodyAt);
        bodyAt += 4;
    }
    const std::size_t end = start_ + 4 + length;
    reply.body = pending_.substr(bodyAt, end - bodyAt);
    start_ = end;
    // Drop what was consumed now and then, not after every reply.
    if (start_ == pending_.size()) {
        pending_.clear();
        start_ = 0;
    } else if (start_ > 64 * 1024) {
        pending_.erase(0, start_);
        start_ = 0;
    }
    return reply;
}

std::optional<Status> parseStatus(const std::string& body) {
    Fields f(body);
    Status status;
    status.code = f.u32();
    // The message and its language tag are optional in servers that predate version 3.
    if (!f.atEnd()) status.message = f.string();
    if (!f.ok()) return std::nullopt;
    return status;
}

std::optional<std::string> parseHandle(const std::string& body) {
    Fields f(body);
    std::string handle = f.string();
    if (!f.ok() || handle.empty()) return std::nullopt;
    return handle;
}

std::optional<std::string> parseFirstName(const std::string& body) {
    Fields f(body);
    if (f.u32() == 0) return std::nullopt;
    std::string name = f.string();
    if (!f.ok() || name.empty()) return std::nullopt;
    return name;
}

std::optional<std::optional<std::uint32_t>> parsePermissions(const std::string& body) {
    Fields f(body);
    const std::optional<std::uint32_t> permissions = readPermissions(f);
    if (!f.ok()) return std::nullopt;
    return permissions;
}

std::optional<Version> parseVersion(const std::string& body) {
    Fields f(body);
    Version v;
    v.version = f.u32();
    while (f.ok() && !f.atEnd()) {
        std::string name = f.string();
        std::string data = f.string();
        if (f.ok()) v.extensions[name] = data;
    }
    if (!f.ok()) return std::nullopt;
    return v;
}

}  // namespace velora::sftp
