// main of the tray tests: a private Xvfb with trayer, then Qt on it (xcb), then the
// tests; afterwards Qt lets go of the display before the server ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tray/TrayHost.h"

namespace velora::test {

namespace {
TrayHost* current = nullptr;
}

TrayHost& TrayHost::instance() { return *current; }

bool TrayHost::start() {
    trayer_ = x_.start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                        "--SetDockType", "true", "--transparent", "false"});
    return x_.waitForSelection("_NET_SYSTEM_TRAY_S0", true);
}

bool TrayHost::stop() {
    if (trayer_ > 0) XvfbServer::stop(trayer_);
    trayer_ = -1;
    return x_.waitForSelection("_NET_SYSTEM_TRAY_S0", false);
}

}  // namespace velora::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no server.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return RUN_ALL_TESTS();

    velora::test::XvfbServer x({{800, 600, 24}});
    velora::test::TrayHost host(x);
    velora::test::current = &host;
    if (!host.start()) {
        std::fprintf(stderr, "trayer did not take the tray\n");
        return 1;
    }
    ::setenv("DISPLAY", x.display().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    // No desktop bus here: Qt must use the X11 tray protocol, not a StatusNotifier.
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    auto app = std::make_unique<QApplication>(argc, argv);
    const int result = RUN_ALL_TESTS();
    app.reset();
    host.stop();
    return result;
}
