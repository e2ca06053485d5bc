// Every protocol of the program looks its names up and connects through what
// Program::Services gives it: the FTP connect, the HTTP lookup of the external IP and
// the echo of the online check. Nothing here leaves the process.
#include <gtest/gtest.h>

#include "ftp/FtpClient.h"
#include "platform/Errors.h"
#include "program/Program.h"
#include "schedule/RunCycle.h"
#include "support/FakeScreen.h"
#include "support/FixedResolver.h"
#include "support/LogHarness.h"
#include "support/QuietUiHost.h"
#include "support/RecordingShell.h"
#include "support/TempDir.h"

using namespace velora;

namespace {

// Takes no connection and opens no echo socket; notes what was asked.
struct NoNetwork final : TcpConnector, IcmpSockets {
    std::vector<std::string> connects;   // "ip:port within ms"
    int echoSockets = 0;
    std::optional<TcpSocket> connectWithin(const std::string& ip, int port, int timeoutMs) override {
        connects.push_back(ip + ":" + std::to_string(port) + " within " + std::to_string(timeoutMs));
        return std::nullopt;
    }
    TcpSocket listenOn(const std::string&, int) override { throw SocketError("Operation not permitted"); }
    std::unique_ptr<IcmpSocket> open() override {
        ++echoSockets;
        throw SocketError("Operation not permitted");
    }
};

TEST(NetworkServices, EveryProtocolAsksTheGivenResolverAndConnector) {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}}, home.path()};
    ManualClock clock;
    test::QuietUiHost ui;
    test::FakeScreen screen;
    test::RecordingShell shell;
    test::FixedResolver resolver{{{"ftp.wetter.example", "127.0.0.9"}, {"ip.wetter.example", "127.0.0.8"}}};
    NoNetwork network;
    Program program{{env, clock, Locale::german(), ui, home.file("registry.sqlite3"), {}, screen, shell, resolver,
                     network, network}};
    program.FormCreate();
    const auto lastLine = [&] { return test::textsOf(program.Memo1()).back(); };

    // A control character cuts no name short (a NUL) nor ends a command (CR LF): the
    // host is refused before anything is looked up.
    for (const std::string& host : {std::string("127.0.0.9\0x", 11), std::string("ftp.wetter.example\r\nDELE x")}) {
        program.settings().e_host_ziel = host;
        program.B_connectClick();
        EXPECT_EQ(lastLine(), std::string("FTP_CONNECTED ERROR: Exception: ") + FtpClient::kBadCharacter);
    }
    EXPECT_TRUE(resolver.asked.empty() && network.connects.empty());

    program.settings().e_host_ziel = "ftp.wetter.example";
    program.B_connectClick();
    EXPECT_EQ(lastLine(), "FTP_CONNECTED ERROR:  EIdSocketError: Connection timed out");
    program.runCycle().Button2Click();
    EXPECT_EQ(network.echoSockets, 1);
    program.settings().cb_get_ext_ip = true;
    program.settings().e_www_ext_ip = "http://ip.wetter.example/ip.php";
    ASSERT_TRUE(program.B_einlesenClick());

    EXPECT_EQ(resolver.asked, (std::vector<std::string>{"ftp.wetter.example", "ftp.wetter.example", "ip.wetter.example"}));
    ASSERT_EQ(network.connects.size(), 2u);
    EXPECT_EQ(network.connects[0], "127.0.0.9:21 within " + std::to_string(FtpTimeouts::kConnectSeconds * 1000));
    EXPECT_EQ(network.connects[1].rfind("127.0.0.8:80 within ", 0), 0u) << network.connects[1];
}

}  // namespace
