#include "platform/CoreDumps.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velora {
namespace {

// In a child, so the test process itself stays dumpable for a debugger: after the call
// the core limit is 0 and the process is not dumpable; the child says which failed.
TEST(CoreDumps, SwitchedOffForTheWholeProcess) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit raised{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &raised);  // may fail without rights; 0 must follow anyway
        const bool reported = disableCoreDumps();
        rlimit now{};
        ::getrlimit(RLIMIT_CORE, &now);
        int code = 0;
        if (now.rlim_cur != 0 || now.rlim_max != 0) code |= 1;
        if (::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0) code |= 2;
        if (!reported) code |= 4;
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: core limit left, 2: still dumpable, 4: reported a failure";
}

}  // namespace
}  // namespace velora
