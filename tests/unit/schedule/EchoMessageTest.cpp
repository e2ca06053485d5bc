// The echo on the wire: the 50-byte request, the RFC 1071 checksum, the reading of
// raw-socket and datagram-socket packets, and the reply line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Errors.h"
#include "schedule/EchoMessage.h"
#include "support/ErrorOf.h"

#include "IcmpTestPackets.h"

namespace velora {
namespace {

using test::Bytes;
using test::raw;

// An IPv4 header of `headerWords` 32-bit words from 192.0.2.7 with the given ttl,
// followed by `icmp`.
Bytes ipPacket(const Bytes& icmp, int ttl = 57, int headerWords = 5) {
    Bytes b(static_cast<std::size_t>(headerWords) * 4, 0);
    b[0] = static_cast<unsigned char>(0x40 | headerWords);
    b[8] = static_cast<unsigned char>(ttl);
    b[9] = 1;
    b[12] = 192, b[13] = 0, b[14] = 2, b[15] = 7;
    b.insert(b.end(), icmp.begin(), icmp.end());
    return b;
}

// An ICMP message: type, code 0, checksum 0, identifier and sequence little-endian,
// the counter, then zeros up to 50 bytes.
Bytes icmpMessage(int type, std::uint16_t id, std::uint16_t seq, std::uint32_t counter = 0x01020304) {
    Bytes m = buildEchoRequest(id, seq, counter, "");
    m[0] = static_cast<unsigned char>(type);
    return m;
}

TEST(EchoMessage, ChecksumIsTheOnesComplementOfTheOnesComplementSum) {
    struct Case {
        Bytes data;
        std::uint16_t sum;
    };
    // The worked example of RFC 1071 (sum ddf2), an odd length padded with a zero byte,
    // and a carry that must be folded back in.
    for (const Case& c : {Case{{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}, 0x220d}, Case{{0x01}, 0xfeff},
                          Case{{0xff, 0xff, 0x00, 0x01}, 0xfffe}, Case{{}, 0xffff}}) {
        EXPECT_EQ(internetChecksum(c.data.data(), c.data.size()), c.sum);
    }
}

TEST(EchoMessage, RequestIsFiftyBytesLaidOutLittleEndianWithAValidChecksum) {
    // pid 70000 is 0x11170: the identifier is its low 16 bits, 0x1170.
    const Bytes m = buildEchoRequest(echoIdentifier(70000), 1, 0xA1B2C3D4, "ftp.example");
    ASSERT_EQ(m.size(), 50u);
    const Bytes head(m.begin(), m.begin() + 12);
    EXPECT_EQ(head, (Bytes{0x08, 0x00, m[2], m[3], 0x70, 0x11, 0x01, 0x00, 0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(std::string(m.begin() + 12, m.begin() + 23), "ftp.example");
    EXPECT_EQ(Bytes(m.begin() + 23, m.end()), Bytes(27, 0));
    EXPECT_EQ(internetChecksum(m.data(), m.size()), 0) << "the checksum field makes the whole sum all ones";

    struct Case {
        long pid;
        std::uint16_t id;
    };
    for (const Case c : {Case{1, 1}, Case{65535, 65535}, Case{65536, 0}, Case{4194304 + 7, 7}})
        EXPECT_EQ(echoIdentifier(c.pid), c.id) << c.pid;

    // A host text longer than the 38-byte payload is cut; the message stays 50 bytes.
    const std::string longHost(60, 'h');
    const Bytes cut = buildEchoRequest(1, 1, 0, longHost);
    EXPECT_EQ(cut.size(), 50u);
    EXPECT_EQ(std::string(cut.begin() + 12, cut.end()), std::string(38, 'h'));
    EXPECT_EQ(internetChecksum(cut.data(), cut.size()), 0);
}

TEST(EchoMessage, PacketsAreAnswersSkippedOrFailures) {
    const EchoExpectation viaRaw{1, 0x1170, true, "192.0.2.7"};
    const EchoExpectation viaDatagram{1, std::nullopt, false, "127.0.0.1"};
    const EchoExpectation askedAnother{1, 0x1170, true, "192.0.2.8"};
    struct Case {
        const char* name;
        IcmpPacket packet;
        EchoExpectation expected;
        std::optional<EchoReply> reply;   // nullopt: skipped
        const char* error = nullptr;
    };
    const std::vector<Case> cases{
        {"echo reply", raw(ipPacket(icmpMessage(0, 0x1170, 1))), viaRaw, EchoReply{70, "192.0.2.7", 1, 57, 0}},
        {"our own request seen on loopback", raw(ipPacket(icmpMessage(8, 0x1170, 1), 64)), viaRaw, std::nullopt},
        {"reply from an address not asked", raw(ipPacket(icmpMessage(0, 0x1170, 1))), askedAnother, std::nullopt},
        {"header with options", raw(ipPacket(icmpMessage(0, 0x1170, 1), 57, 6)), viaRaw, EchoReply{74, "192.0.2.7", 1, 57, 0}},
        {"another sequence", raw(ipPacket(icmpMessage(0, 0x1170, 2))), viaRaw, std::nullopt},
        {"another program's echo", raw(ipPacket(icmpMessage(0, 0x1171, 1))), viaRaw, std::nullopt},
        {"destination unreachable", raw(ipPacket(icmpMessage(3, 0x1170, 1))), viaRaw, std::nullopt},
        {"time exceeded", raw(ipPacket(icmpMessage(11, 0x1170, 1))), viaRaw, std::nullopt},
        {"unknown type", raw(ipPacket(icmpMessage(42, 0x1170, 1))), viaRaw, std::nullopt, "Non-echo type response received"},
        {"cut short", raw(ipPacket(Bytes{0, 0, 0, 0, 0x70, 0x11, 1})), viaRaw, std::nullopt, "Not enough bytes received"},
        {"empty", raw(Bytes{}), viaRaw, std::nullopt, "Not enough bytes received"},
        {"datagram socket", {icmpMessage(0, 0x4242, 1), "127.0.0.1", 64}, viaDatagram,
         EchoReply{70, "127.0.0.1", 1, 64, 0}},
        {"datagram, another sequence", {icmpMessage(0, 0x4242, 9), "127.0.0.1", 64}, viaDatagram, std::nullopt},
        {"datagram from another address", {icmpMessage(0, 0x4242, 1), "127.0.0.2", 64}, viaDatagram, std::nullopt},
        {"datagram cut short", {Bytes(7, 0), "127.0.0.1", 64}, viaDatagram, std::nullopt, "Not enough bytes received"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.error) {
            EXPECT_EQ(test::errorOf<GeneralError>([&] { readEchoPacket(c.packet, c.expected); }), c.error);
            continue;
        }
        const std::optional<EchoAnswer> a = readEchoPacket(c.packet, c.expected);
        ASSERT_EQ(a.has_value(), c.reply.has_value());
        if (!a) continue;
        EXPECT_EQ(a->reply, *c.reply);
        EXPECT_EQ(a->echoedCounter, std::optional<std::uint32_t>(0x01020304));
    }
}

TEST(EchoMessage, ReplyLineFollowsThePatternForAnswersAndTimeOuts) {
    EXPECT_EQ(formatEchoReply({70, "192.0.2.7", 1, 57, 23}), "70 bytes from 192.0.2.7: icmp_seq=1 ttl=57 time=23 ms");
    EXPECT_EQ(formatEchoReply(echoTimeoutRecord(1, 5000)), "0 bytes from 0.0.0.0: icmp_seq=1 ttl=0 time=5000 ms");
}

}  // namespace
}  // namespace velora
