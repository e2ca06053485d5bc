#include "platform/CoreDumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace velora {

bool disableCoreDumps() {
    // The limit alone is not enough: a core pattern that pipes to a helper
    // (systemd-coredump, apport) may ignore it; a process that is not dumpable gets no
    // core at all.
    const rlimit none{0, 0};
    const bool limited = ::setrlimit(RLIMIT_CORE, &none) == 0;
    const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return limited && undumpable;
}

}  // namespace velora
