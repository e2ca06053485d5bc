// The echo of the online check against scripted sockets: what goes out, a silent
// answer, unrelated packets before the answer, the counter's wrap-around, and every
// way the echo cannot be made. Names are answered by a fixed resolver: no DNS query.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "schedule/OnlineCheck.h"
#include "support/FixedResolver.h"
#include "support/LogHarness.h"

#include "IcmpTestPackets.h"

namespace velora {
namespace {

using test::Bytes;
using test::raw;

IcmpPacket answerTo(const Bytes& request, bool withIpHeader);

// Sockets that answer from a script. Each receive takes the next scripted step: a
// packet after some milliseconds, the answer to the request sent, or silence for the
// whole time-out. The clock moves by what each step waits, so round trips and
// time-outs come out exact.
struct ScriptedSockets final : IcmpSockets {
    struct Step {
        int afterMs = 0;
        std::optional<IcmpPacket> packet;   // nullopt: nothing comes (unless echoRequest)
        bool echoRequest = false;           // the answer to what was sent
    };
    struct Socket final : IcmpSocket {
        ScriptedSockets& owner;
        explicit Socket(ScriptedSockets& o) : owner(o) {}
        IcmpSocketKind kind() const override { return owner.kind; }
        void sendTo(const std::string& ip, const Bytes& message) override {
            owner.sentTo.push_back(ip);
            owner.sent.push_back(message);
        }
        std::optional<IcmpPacket> receive(int timeoutMs) override {
            owner.waits.push_back(timeoutMs);
            const bool silent = owner.steps.empty() ||
                                (!owner.steps.front().packet && !owner.steps.front().echoRequest) ||
                                owner.steps.front().afterMs > timeoutMs;
            if (silent) {
                owner.clock.advanceMs(timeoutMs);
                if (!owner.steps.empty()) owner.steps.pop_front();
                return std::nullopt;
            }
            Step s = owner.steps.front();
            owner.steps.pop_front();
            owner.clock.advanceMs(s.afterMs);
            if (s.echoRequest) return answerTo(owner.sent.back(), owner.kind == IcmpSocketKind::Raw);
            return s.packet;
        }
    };

    explicit ScriptedSockets(ManualClock& c) : clock(c) {}
    std::unique_ptr<IcmpSocket> open() override {
        ++opened;
        if (refuse) throw SocketError("Operation not permitted");
        if (forbid) throw IcmpPermissionError("Permission denied");
        return std::make_unique<Socket>(*this);
    }

    ManualClock& clock;
    IcmpSocketKind kind = IcmpSocketKind::Raw;
    bool refuse = false;
    bool forbid = false;   // neither socket kind allowed to this user
    int opened = 0;
    std::deque<Step> steps;
    std::vector<std::string> sentTo;
    std::vector<Bytes> sent;
    std::vector<int> waits;
};

constexpr long kPid = 70000;   // identifier 0x1170

// The answer to a request: its ICMP message echoed as type 0, behind an IP header from
// 127.0.0.1 with ttl 57 (raw), or alone with ttl 64 as ancillary data (datagram; the
// kernel has put its own identifier in).
IcmpPacket answerTo(const Bytes& request, bool withIpHeader) {
    Bytes icmp = request;
    icmp[0] = 0;
    if (!withIpHeader) {
        icmp[4] = 0x42, icmp[5] = 0x42;
        return {icmp, "127.0.0.1", 64};
    }
    Bytes b(20, 0);
    b[0] = 0x45;
    b[8] = 57;
    b[12] = 127, b[15] = 1;
    b.insert(b.end(), icmp.begin(), icmp.end());
    return raw(b);
}

class OnlineCheckTest : public ::testing::Test {
protected:
    test::LogHarness h;
    ScriptedSockets sockets{h.clock};
    test::FixedResolver resolver{{{"ftp.heimnetz", "127.0.0.1"}}};
    OnlineCheck check{resolver, sockets, h.clock, h.log, kPid};

    // A raw packet of another sequence number: not ours, to be skipped.
    static IcmpPacket unrelated() {
        const Bytes icmp = buildEchoRequest(0x1170, 9, 0, "");
        Bytes b(20, 0);
        b[0] = 0x45;
        b.insert(b.end(), icmp.begin(), icmp.end());
        return raw(b);
    }
};

TEST_F(OnlineCheckTest, SilentHostGivesTheTimeOutRecordAfterFiveSeconds) {
    const std::optional<EchoReply> r = check.PingHost("127.0.0.1", 1);

    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, echoTimeoutRecord(1, 5000));
    EXPECT_EQ(sockets.waits, std::vector<int>{5000});
    EXPECT_TRUE(resolver.asked.empty()) << "a numeric address needs no look-up";
    EXPECT_EQ(sockets.sentTo, std::vector<std::string>{"127.0.0.1"});
    ASSERT_EQ(sockets.sent.size(), 1u);
    // type 8, code 0, checksum, identifier 70 11, sequence 01 00, then the counter.
    const Bytes& m = sockets.sent[0];
    EXPECT_EQ(Bytes(m.begin() + 4, m.begin() + 8), (Bytes{0x70, 0x11, 0x01, 0x00}));
    EXPECT_EQ(std::string(m.begin() + 12, m.begin() + 21), "127.0.0.1");
    EXPECT_EQ(h.lines, (std::vector<std::string>{"PING (Procedure Ping) --> 127.0.0.1", "Ping Status --> ICMP Raw-Socket"}));
}

TEST_F(OnlineCheckTest, AnswerAfterUnrelatedPacketsKeepsOneDeadlineAndEchoesTheRoundTrip) {
    // The counter is just below its wrap-around when the echo goes out.
    h.clock.advanceMs((std::int64_t{1} << 32) - h.clock.tickMs() - 10);
    sockets.steps = {{1000, unrelated()}, {2000, unrelated()}, {23, std::nullopt, true}};

    const std::optional<EchoReply> r = check.PingHost("ftp.heimnetz", 1);

    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, (EchoReply{70, "127.0.0.1", 1, 57, 3023}));
    EXPECT_EQ(sockets.waits, (std::vector<int>{5000, 4000, 2000})) << "one deadline for the whole wait";
    EXPECT_EQ(resolver.asked, std::vector<std::string>{"ftp.heimnetz"});
    EXPECT_EQ(sockets.sentTo, std::vector<std::string>{"127.0.0.1"});
}

TEST_F(OnlineCheckTest, LackOfPermissionIsToldOncePerStreakOfRefusedEchoes) {
    // Refused twice, a socket opens (the range was widened), refused again.
    std::vector<long> toldSoFar;
    for (const bool forbid : {true, true, false, true}) {
        sockets.forbid = forbid;
        check.PingHost("127.0.0.1", 1);
        toldSoFar.push_back(std::count(h.lines.begin(), h.lines.end(), kNoIcmpPermission));
    }
    EXPECT_EQ(toldSoFar, (std::vector<long>{1, 1, 1, 2}));
    EXPECT_EQ(h.lines[2], kNoIcmpPermission) << "beside the refusal, before \"Not Route\"";
}

TEST_F(OnlineCheckTest, EchoThatCannotBeMadeSaysNotRoute) {
    struct Case {
        const char* name;
        std::string host;
        bool refuse;
        std::optional<IcmpPacket> reply;
        const char* status;
        int opened;
    };
    Bytes unknownType = buildEchoRequest(0x1170, 1, 0, "");
    unknownType[0] = 42;
    Bytes withHeader(20, 0);
    withHeader[0] = 0x45;
    withHeader.insert(withHeader.end(), unknownType.begin(), unknownType.end());
    const std::vector<Case> cases{
        {"unknown host", "nirgendwo.invalid", false, std::nullopt, "Name or service not known", 0},
        {"no socket allowed", "127.0.0.1", true, std::nullopt, "Operation not permitted", 1},
        {"unknown answer", "127.0.0.1", false, raw(withHeader), "Non-echo type response received", 1},
        {"answer cut short", "127.0.0.1", false, raw(Bytes(20, 0x45)), "Not enough bytes received", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        h.lines.clear();
        sockets.opened = 0;
        sockets.refuse = c.refuse;
        sockets.steps.clear();
        if (c.reply) sockets.steps.push_back({5, c.reply});
        OnlineCheck fresh{resolver, sockets, h.clock, h.log, kPid};

        EXPECT_FALSE(fresh.PingHost(c.host, 1).has_value());

        EXPECT_EQ(sockets.opened, c.opened);
        EXPECT_EQ(h.lines.front(), "PING (Procedure Ping) --> " + c.host);
        EXPECT_EQ(h.lines.back(), "PING (Procedure Ping) --> Not Route");
        EXPECT_TRUE(h.logged(std::string("Ping Status --> ") + c.status));
        EXPECT_FALSE(h.logged(kNoIcmpPermission)) << "only a refused permission is told as one";
    }
}

}  // namespace
}  // namespace velora
