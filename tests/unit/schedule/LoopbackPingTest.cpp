// The echo for real, to 127.0.0.1 only: over a raw socket (needs root, as CI has) and
// over Linux's unprivileged ICMP datagram socket. The datagram test runs in a child
// process inside a network namespace of its own, where it may admit every group to
// such sockets without touching the machine's setting; without the right to make a
// namespace it tries the machine's setting and skips when that admits nobody.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/Clock.h"
#include "schedule/OnlineCheck.h"
#include "support/DieWithParent.h"
#include "support/FixedResolver.h"
#include "support/LogHarness.h"

namespace velora {
namespace {

struct PingResult {
    bool skipped = false;
    std::string why;
    std::optional<EchoReply> reply;
    std::vector<std::string> lines;
};

PingResult pingLoopback(IcmpSocketKind kind) {
    PingResult result;
    SystemIcmpSockets sockets({kind});
    try {
        sockets.open();
    } catch (const std::exception& e) {
        result.skipped = true;
        result.why = e.what();
        return result;
    }
    test::LogHarness h;
    SystemClock clock;
    test::FixedResolver resolver;   // knows no names: 127.0.0.1 needs none
    OnlineCheck check(resolver, sockets, clock, h.log, currentProcessId(), 2000);
    result.reply = check.PingHost("127.0.0.1", 1);
    result.lines = h.lines;
    return result;
}

void expectLoopbackAnswer(const PingResult& r) {
    ASSERT_TRUE(r.reply.has_value()) << (r.lines.empty() ? "" : r.lines.back());
    EXPECT_EQ(r.reply->bytesReceived, 70);
    EXPECT_EQ(r.reply->from, "127.0.0.1");
    EXPECT_EQ(r.reply->sequence, 1);
    EXPECT_GT(r.reply->ttl, 0);
    EXPECT_GE(r.reply->roundTripMs, 0);
    EXPECT_LT(r.reply->roundTripMs, 2000);
}

TEST(LoopbackPing, RawSocketGetsTheAnswerOf127001) {
    const PingResult r = pingLoopback(IcmpSocketKind::Raw);
    if (r.skipped) GTEST_SKIP() << "no raw ICMP socket here: " << r.why;
    expectLoopbackAnswer(r);
    EXPECT_EQ(r.lines.front(), "PING (Procedure Ping) --> 127.0.0.1");
}

// Brings the namespace's loopback interface up and admits every group to ICMP
// datagram sockets there. False when this process may not make a namespace.
bool privateNetworkWithDatagramPing() {
    if (::unshare(CLONE_NEWNET) != 0) return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "lo");
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 &&
                    (ifr.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0);
    if (fd >= 0) ::close(fd);
    std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "0 2147483647\n";
    return up;
}

TEST(LoopbackPing, DatagramSocketGetsTheAnswerWithoutRawRights) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        test::dieWithParent(parent);
        ::close(pipeFds[0]);
        privateNetworkWithDatagramPing();
        const PingResult r = pingLoopback(IcmpSocketKind::Datagram);
        std::string out;
        if (r.skipped) {
            out = "skip " + r.why;
        } else if (!r.reply) {
            out = "fail " + (r.lines.empty() ? std::string() : r.lines.back());
        } else {
            out = "ok " + std::to_string(r.reply->bytesReceived) + " " + r.reply->from + " " +
                  std::to_string(r.reply->sequence) + " " + std::to_string(r.reply->ttl);
            for (const auto& l : r.lines) out += "\n" + l;
        }
        const ssize_t written = ::write(pipeFds[1], out.data(), out.size());
        ::_exit(written == static_cast<ssize_t>(out.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string got;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << got;
    if (got.rfind("skip ", 0) == 0) GTEST_SKIP() << "no ICMP datagram socket for this user: " << got.substr(5);
    const std::string first = got.substr(0, got.find('\n'));
    EXPECT_EQ(first, "ok 70 127.0.0.1 1 64") << got;
    EXPECT_NE(got.find("Ping Status --> ICMP Datagramm-Socket (kein Recht auf Raw-Socket)"), std::string::npos) << got;
}

}  // namespace
}  // namespace velora
