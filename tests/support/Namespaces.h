#pragma once
// Runs part of a test in a child process with private namespaces: a network with only
// loopback (the program's fixed FTP port 21 is free there and nothing leaves the
// machine), or private mounts (a tiny tmpfs for a full disk). The child's failed
// checks fail the test; where the system gives no namespaces (not root), the test is
// skipped. CI runs as root.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "support/DieWithParent.h"

namespace velora::test {

namespace detail {

inline bool loopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

constexpr int kNoNamespace = 77;

}  // namespace detail

// `prepare` runs in the child after unshare() and returns false when the namespace
// cannot be set up.
inline void inChild(int namespaces, const std::function<bool()>& prepare, const std::function<void()>& body) {
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dieWithParent(parent);
        if (::unshare(namespaces) != 0 || !prepare()) ::_exit(detail::kNoNamespace);
        body();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == detail::kNoNamespace) GTEST_SKIP() << "no namespaces here (CI runs as root)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the part run in the child failed";
}

// Only loopback exists, and it is up.
inline void inPrivateNetwork(const std::function<void()>& body) {
    inChild(CLONE_NEWNET, detail::loopbackUp, body);
}

// A tmpfs of `size` ("1m") mounted at `where`, seen by nobody else.
inline void onSmallDisk(const std::string& where, const std::string& size, const std::function<void()>& body) {
    inChild(
        CLONE_NEWNS,
        [&] {
            return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   ::mount("tmpfs", where.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
        },
        body);
}

}  // namespace velora::test
