// The notify protocol from the sending side: one datagram per message, to a socket
// named by a path or by an abstract name ('@'), and nothing at all without a name.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ServiceNotifier.h"
#include "support/TempDir.h"

using namespace velora;

namespace {

// A datagram socket bound where the test says, as a service manager keeps one.
struct ManagerSocket {
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    explicit ManagerSocket(const std::string& name) {
        sockaddr_un address{AF_UNIX, {}};
        std::memcpy(address.sun_path, name.data(), name.size());
        if (name[0] == '@') address.sun_path[0] = '\0';
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (name[0] == '@' ? 0 : 1));
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0)
            throw std::runtime_error("cannot bind " + name);
    }
    ~ManagerSocket() { ::close(fd); }
    // Every datagram received so far, without waiting.
    std::vector<std::string> received() {
        std::vector<std::string> out;
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
            out.emplace_back(buffer, static_cast<std::size_t>(n));
        return out;
    }
};

}  // namespace

TEST(ServiceNotifier, SendsEachMessageAsOneDatagramToPathOrAbstractName) {
    test::TempDir dir;
    const std::string abstractName = "@velora-notify-test-" + std::to_string(::getpid());
    for (const std::string& name : {dir.file("notify"), abstractName}) {
        SCOPED_TRACE(name);
        ManagerSocket manager(name);
        ServiceNotifier notifier(name);
        ASSERT_TRUE(notifier.active());
        EXPECT_TRUE(notifier.send("READY=1\nSTATUS=next run 14:05"));
        EXPECT_TRUE(notifier.send("WATCHDOG=1"));
        EXPECT_EQ(manager.received(), (std::vector<std::string>{"READY=1\nSTATUS=next run 14:05", "WATCHDOG=1"}));
    }
}

TEST(ServiceNotifier, WithoutAUsableSocketNothingIsSentAndTheReasonIsKept) {
    test::TempDir dir;
    // A name it cannot use is not taken up; a socket nobody binds or a path too long fails on sending.
    const std::pair<std::string, bool> cases[] = {
        {"", false}, {"vsock:2:1234", false}, {dir.file("nobody-listens"), true}, {"/" + std::string(200, 'x'), true}};
    for (const auto& [name, active] : cases) {
        SCOPED_TRACE(name);
        ServiceNotifier notifier(name);
        EXPECT_EQ(notifier.active(), active);
        EXPECT_FALSE(notifier.send("READY=1"));
        EXPECT_EQ(notifier.lastError().empty(), name.empty());
    }
}
