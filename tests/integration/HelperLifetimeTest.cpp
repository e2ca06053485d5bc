// The servers the tests start end with the test process, even when it is killed and its
// destructors never run: otherwise a crashed test leaves pyftpdlib holding port 21 (and
// the test's pipes open) for the next test to trip over.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "integration/support/PyFtpServer.h"
#include "integration/support/TinyProxy.h"
#include "support/XvfbServer.h"

namespace velora {
namespace {

// Starts a helper, keeps it running for the rest of the process, returns its pid.
using Starter = std::function<pid_t()>;

template <typename Helper>
Starter keepRunning() {
    return [] {
        static std::unique_ptr<Helper> helper = std::make_unique<Helper>();
        return helper->pid();
    };
}

// Waits for an adopted child to end; its status, or nothing after the bound.
std::optional<int> waitBounded(pid_t pid, std::chrono::seconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (std::chrono::steady_clock::now() < until) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

TEST(HelperLifetime, HelpersDieWithAKilledTestProcess) {
    const struct {
        const char* helper;
        Starter start;
    } cases[] = {
        {"pyftpdlib", keepRunning<test::PyFtpServer>()},
        {"tinyproxy", keepRunning<test::TinyProxy>()},
        {"Xvfb", keepRunning<test::XvfbServer>()},
    };
    // Orphans are handed to this process instead of init, so it can see how they ended.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.helper);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        // The stand-in for a test process: starts the helper, says its pid, then hangs.
        const pid_t testProcess = ::fork();
        ASSERT_GE(testProcess, 0);
        if (testProcess == 0) {
            ::close(fds[0]);
            pid_t helper = -1;
            try {
                helper = c.start();
            } catch (const std::exception&) {
            }
            (void)!::write(fds[1], &helper, sizeof helper);
            for (;;) ::pause();
        }
        ::close(fds[1]);
        pid_t helper = -1;
        const bool told = ::read(fds[0], &helper, sizeof helper) == sizeof helper;
        ::close(fds[0]);
        ::kill(testProcess, SIGKILL);
        ::waitpid(testProcess, nullptr, 0);
        ASSERT_TRUE(told && helper > 0) << "the helper did not start";

        const auto status = waitBounded(helper, std::chrono::seconds(30));
        if (!status) {
            ::kill(helper, SIGKILL);
            ::waitpid(helper, nullptr, 0);
        }
        ASSERT_TRUE(status.has_value()) << "the helper outlived the killed test process";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
}  // namespace velora
