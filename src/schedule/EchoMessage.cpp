#include "schedule/EchoMessage.h"

#include <algorithm>

#include "platform/Errors.h"

namespace velora {

namespace {

constexpr int kEchoReply = 0;
constexpr int kEchoRequest = 8;

// ICMP types of RFC 792, 950 and 1256: the ones this client knows.
bool knownIcmpType(int type) {
    switch (type) {
    case 0: case 3: case 4: case 5: case 8: case 9: case 10: case 11:
    case 12: case 13: case 14: case 15: case 16: case 17: case 18:
        return true;
    default:
        return false;
    }
}

void putLe16(std::vector<unsigned char>& m, std::size_t at, std::uint16_t v) {
    m[at] = static_cast<unsigned char>(v & 0xFF);
    m[at + 1] = static_cast<unsigned char>(v >> 8);
}

std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string dotted(const unsigned char* p) {
    return std::to_string(p[0]) + "." + std::to_string(p[1]) + "." + std::to_string(p[2]) + "." + std::to_string(p[3]);
}

}  // namespace

std::uint16_t internetChecksum(const unsigned char* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (size % 2) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint16_t echoIdentifier(long processId) { return static_cast<std::uint16_t>(processId & 0xFFFF); }

std::vector<unsigned char> buildEchoRequest(std::uint16_t identifier, std::uint16_t sequence, std::uint32_t msCounter,
                                            const std::string& host) {
    std::vector<unsigned char> m(kEchoSize, 0);
    m[0] = kEchoRequest;
    m[1] = 0;
    putLe16(m, 4, identifier);
    putLe16(m, 6, sequence);
    for (int i = 0; i < 4; ++i) m[8 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(msCounter >> (8 * i));
    std::copy_n(host.begin(), std::min(host.size(), kEchoPayloadSize), m.begin() + kEchoPayloadOffset);
    const std::uint16_t sum = internetChecksum(m.data(), m.size());
    // The sum was taken over big-endian words, so it goes back in that order.
    m[2] = static_cast<unsigned char>(sum >> 8);
    m[3] = static_cast<unsigned char>(sum & 0xFF);
    return m;
}

std::optional<EchoAnswer> readEchoPacket(const IcmpPacket& packet, const EchoExpectation& expected) {
    const std::vector<unsigned char>& b = packet.bytes;
    std::size_t header = 0;
    if (expected.withIpHeader) {
        if (b.empty()) throw GeneralError("Not enough bytes received");
        header = static_cast<std::size_t>(b[0] & 15) * 4;
    }
    if (b.size() < header + 8 || (expected.withIpHeader && header < kPlainIpHeaderSize))
        throw GeneralError("Not enough bytes received");
    const unsigned char* icmp = b.data() + header;
    const int type = icmp[0];
    if (!knownIcmpType(type)) throw GeneralError("Non-echo type response received");
    if (type != kEchoReply) return std::nullopt;
    const std::uint16_t sequence = le16(icmp + 6);
    if (sequence != expected.sequence) return std::nullopt;
    if (expected.identifier && le16(icmp + 4) != *expected.identifier) return std::nullopt;
    const std::string from = expected.withIpHeader ? dotted(b.data() + 12) : packet.from;
    if (from != expected.from) return std::nullopt;

    EchoAnswer answer;
    EchoReply& r = answer.reply;
    r.sequence = sequence;
    r.from = from;
    if (expected.withIpHeader) {
        r.bytesReceived = static_cast<int>(b.size());
        r.ttl = b[8];
    } else {
        r.bytesReceived = static_cast<int>(b.size()) + kPlainIpHeaderSize;
        r.ttl = packet.ttl;
    }
    if (b.size() >= header + 12) answer.echoedCounter = le32(icmp + 8);
    return answer;
}

EchoReply echoTimeoutRecord(int sequence, std::int64_t waitedMs) {
    EchoReply r;
    r.sequence = sequence;
    r.roundTripMs = waitedMs;
    return r;
}

std::string formatEchoReply(const EchoReply& r) {
    return std::to_string(r.bytesReceived) + " bytes from " + r.from + ": icmp_seq=" + std::to_string(r.sequence) +
           " ttl=" + std::to_string(r.ttl) + " time=" + std::to_string(r.roundTripMs) + " ms";
}

}  // namespace velora
