#pragma once
// A helper process a test starts (an FTP server, a proxy, velora-cli, Xvfb) must not
// outlive the test: a test process that crashed would otherwise leave its server holding
// port 21 and the test's pipes open until someone kills it by hand.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace velora::test {

// Called in the child right after fork() (only async-signal-safe calls: the parent may
// have threads), with the parent's pid read before the fork. The kernel clears the
// request when the child changes its user or group, so a child that drops its rights
// calls this afterwards. A parent that ended between fork() and prctl() is caught by
// comparing getppid(): the signal would never come then.
// The kernel signals when the *thread* that forked ends, so tests fork from the thread
// that outlives the child.
inline void dieWithParent(pid_t parent) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(125);
}

}  // namespace velora::test
