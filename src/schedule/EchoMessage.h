#pragma once
// The echo of the online check on the wire: the 50-byte request and the reading of
// what comes back, kept apart from any socket so the byte rules can be checked alone.
//
// Request (multi-byte fields little-endian, except the checksum):
//   0 type 8 | 1 code 0 | 2-3 RFC 1071 checksum over all 50 bytes | 4-5 identifier |
//   6-7 sequence number | 8-11 sender's millisecond counter | 12-49 host text, zero-filled
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/IcmpSocket.h"

namespace velora {

inline constexpr std::size_t kEchoSize = 50;
inline constexpr std::size_t kEchoPayloadOffset = 12;
inline constexpr std::size_t kEchoPayloadSize = kEchoSize - kEchoPayloadOffset;   // 38
// What a datagram socket's read lacks: the IPv4 header without options.
inline constexpr int kPlainIpHeaderSize = 20;

// The reply record handed to the reply handler.
struct EchoReply {
    int bytesReceived = 0;          // the whole datagram, IP header included
    std::string from = "0.0.0.0";
    int sequence = 0;
    int ttl = 0;
    std::int64_t roundTripMs = 0;
    bool operator==(const EchoReply&) const = default;
};

// RFC 1071: the ones' complement of the ones' complement sum of the 16-bit words.
std::uint16_t internetChecksum(const unsigned char* data, std::size_t size);

// A process id as the 16-bit identifier: its low 16 bits (Linux ids go far above).
std::uint16_t echoIdentifier(long processId);

// A host text longer than the payload is cut, so the message stays 50 bytes.
std::vector<unsigned char> buildEchoRequest(std::uint16_t identifier, std::uint16_t sequence, std::uint32_t msCounter,
                                            const std::string& host);

// What we look for in the packets that arrive: an echo reply to our request from the
// address we asked. A raw socket also reads the requests leaving the machine, our own
// among them when the host is routed back to us, so a request never counts.
struct EchoExpectation {
    std::uint16_t sequence = 1;
    // Raw sockets see every ICMP packet of the machine, so another program's echo with
    // the same sequence number must not count; a datagram socket's kernel already
    // filtered by its own identifier (nullopt: do not compare).
    std::optional<std::uint16_t> identifier;
    bool withIpHeader = true;
    std::string from;   // the address asked, dotted decimal
};

struct EchoAnswer {
    EchoReply reply;
    // The counter the answer carries at ICMP offset 8 (none in an answer cut short).
    std::optional<std::uint32_t> echoedCounter;
};

// The answer when `packet` is one, nullopt for a packet to skip (a request, another
// sequence, identifier or sender, an ICMP error report). A packet too short for its IP
// header and 8 bytes raises GeneralError "Not enough bytes received"; an ICMP type this
// client does not know raises GeneralError "Non-echo type response received".
std::optional<EchoAnswer> readEchoPacket(const IcmpPacket& packet, const EchoExpectation& expected);

// The record of an echo nobody answered.
EchoReply echoTimeoutRecord(int sequence, std::int64_t waitedMs);

// "%d bytes from %s: icmp_seq=%d ttl=%d time%s%d ms" with "=" as the fifth value.
std::string formatEchoReply(const EchoReply& reply);

}  // namespace velora
