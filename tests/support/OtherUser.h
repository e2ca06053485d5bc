#pragma once
// Runs a piece of a test as an ordinary account when the suite runs as root (as CI
// does): root reads every file and owns every folder, which would hide the very
// failures these tests are about. The body runs in a child process; its failed checks
// fail the test.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "support/DieWithParent.h"

namespace velora::test {

inline constexpr unsigned kOtherUid = 65534;   // "nobody" on Debian

inline void asOrdinaryUser(const std::function<void()>& body) {
    if (::geteuid() != 0) {
        body();
        return;
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(kOtherUid) == 0 && ::setuid(kOtherUid) == 0;
        if (dropped) dieWithParent(parent);
        if (dropped) body();
        ::_exit(dropped && !::testing::Test::HasFailure() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the part run as an ordinary user failed";
}

}  // namespace velora::test
