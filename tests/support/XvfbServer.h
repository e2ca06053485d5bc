#pragma once
// A private X server for one test: Xvfb on a display number it picks itself among the
// free ones (-displayfd), ready when the constructor returns (Xvfb reports the number
// only once it accepts clients), stopped by the destructor. Clients such as xsetroot
// or trayer run on it with DISPLAY set for them alone.
#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace velora::test {

class XvfbServer {
public:
    struct Screen {
        int width;
        int height;
        int depth;
    };
    // Throws std::runtime_error when Xvfb does not come up within the time-out.
    explicit XvfbServer(std::vector<Screen> screens = {{320, 200, 24}}, bool xinerama = false);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& display() const { return display_; }
    pid_t pid() const { return pid_; }

    // Runs a client on this display to its end; its exit code (-1: did not end in time).
    int run(const std::vector<std::string>& argv) const;
    // Starts a client in the background; stop it with stop().
    pid_t start(const std::vector<std::string>& argv) const;
    static void stop(pid_t pid);

    // Waits, up to `seconds`, until the selection (e.g. "_NET_SYSTEM_TRAY_S0") has an
    // owner (or, with `owned` false, none); true when it came to be.
    bool waitForSelection(const std::string& selection, bool owned, double seconds = 30) const;

private:
    pid_t spawn(const std::vector<std::string>& argv, int displayFd) const;

    TempDir dir_;   // Xvfb's and the clients' messages, for a failing test to show
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace velora::test
