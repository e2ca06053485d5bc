#pragma once
// The test program's X server with a tray host on it, made by main before Qt starts
// (Qt takes its display once). Tests may stop the tray host and start a new one.
#include <sys/types.h>

#include "support/XvfbServer.h"

namespace velora::test {

class TrayHost {
public:
    static TrayHost& instance();
    explicit TrayHost(XvfbServer& x) : x_(x) {}
    // trayer on the top edge; true once it owns the tray selection.
    bool start();
    // Ends trayer; true once the tray selection has no owner any more.
    bool stop();
    XvfbServer& server() { return x_; }

private:
    XvfbServer& x_;
    pid_t trayer_ = -1;
};

}  // namespace velora::test
