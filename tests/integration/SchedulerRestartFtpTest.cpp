// The restart countdown against a real FTP server (pyftpdlib on a free loopback port):
// an attempt left at work with the connection open is ended on the last tick of the
// countdown, and the open connection is closed.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "integration/support/PyFtpServer.h"
#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

using test::PyFtpServer;
using test::RunWorld;

TEST(SchedulerRestartFtp, LastTickOfTheCountdownClosesTheOpenConnection) {
    PyFtpServer server;
    RunWorld w;
    w.ftp.setServerPort(server.port());
    w.settings.e_user_ziel = PyFtpServer::kWriteUser;
    w.settings.ME_pwd_ziel = PyFtpServer::kPassword;
    w.settings.RestartSeconds = 180;
    w.ftp.B_connectClick(ftpLoginFromSettings(w.settings));
    ASSERT_TRUE(w.ftp.ftpOpen());
    w.state.in_work = true;   // a run that never came back
    w.lines.clear();

    for (int t = 1; t < 180; ++t) {
        w.clock.advanceMs(1000);
        w.scheduler.Timer1Timer(w.noWindow);
    }
    EXPECT_TRUE(w.ftp.ftpOpen());
    EXPECT_EQ(w.status.panels[6], "Restart in 1 sec.");
    w.clock.advanceMs(1000);
    w.scheduler.Timer1Timer(w.noWindow);

    EXPECT_FALSE(w.state.in_work);
    EXPECT_FALSE(w.ftp.ftpOpen());
    EXPECT_FALSE(w.ftp.connected());
    ASSERT_GE(w.lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(w.lines.begin(), w.lines.begin() + 3),
              (std::vector<std::string>{std::string(21, '*'), "*** Timer Restart ***", std::string(21, '*')}));
    EXPECT_TRUE(w.loggedStartingWith("Procedure --> Disconnect"));
}

}  // namespace
}  // namespace velora
