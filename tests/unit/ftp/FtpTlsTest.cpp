// Explicit FTPS against the scripted server, for the answers real servers do not give:
// AUTH TLS refused, plain text slipped in after the server's yes, a handshake that
// never comes, protection refused after the login, a data connection without TLS.
// Whatever goes wrong, the session ends with the reason and never goes on in plain text.
#include <gtest/gtest.h>

#include "FakeFtpServer.h"
#include "SessionHarness.h"
#include "support/ErrorOf.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"

namespace velora::test {
namespace {

using Lines = std::vector<std::string>;
using test::errorOf;

const FakeStep kGreeting{"", send("220 fake ready\r\n")};
const std::string kRefused = "FTP_CONNECTED ERROR: Exception: ";

// Handshakes on loopback take milliseconds; the bound matters only for the one that
// never comes, and keeps a busy machine from failing the others.
FtpTimeouts handshakeTimeouts() {
    FtpTimeouts t;
    t.connectMs = 2000;
    t.readMs = 5000;
    return t;
}

struct TlsFixture {
    TempDir folder;
    TestCertificate certificate = TestCertificate::makeIn(folder.path());

    void configure(SessionHarness& h) const {
        h.settings.tls = true;
        h.settings.tlsFingerprint = certificate.fingerprint;
    }
    // Greeting, TLS, the login and its protection, up to `protection`'s answers.
    std::vector<FakeStep> loginUpTo(std::vector<FakeStep> protection) const {
        std::vector<FakeStep> steps = {kGreeting,
                                       {"AUTH TLS", acceptTls(certificate)},
                                       {"OPEN", send("500 unknown\r\n")},
                                       {"USER", send("230 ok\r\n")}};
        steps.insert(steps.end(), protection.begin(), protection.end());
        return steps;
    }
};

// Waits for the client's first handshake bytes, answers them in plain text and hangs up.
FakeAction answerHelloInPlainText() {
    return [](FakeFtpServer& s) {
        s.awaitClient();
        s.write("220 plain again\r\n");
        s.closeControl();
    };
}

struct RefusalCase {
    const char* name;
    std::vector<FakeStep> script;
    std::string error;   // the start of the logged error's text
    Lines wire;          // every line the server received
};

TEST(FtpTls, EveryRefusalEndsTheConnectBeforeAnythingGoesOutInPlainText) {
    const TlsFixture tls;
    const RefusalCase cases[] = {
        {"AUTH not understood", {kGreeting, {"AUTH TLS", send("500 AUTH not understood.\r\n")}},
         "TLS abgelehnt: 500 AUTH not understood.", {"AUTH TLS"}},
        {"AUTH refused before a login", {kGreeting, {"AUTH TLS", send("530 Please login with USER and PASS.\r\n")}},
         "TLS abgelehnt: 530 Please login with USER and PASS.", {"AUTH TLS"}},
        {"plain text right behind the yes", {kGreeting, {"AUTH TLS", send("234 go\r\n230 Logged in.\r\n")}},
         "TLS abgelehnt: Klartext nach der Zusage des Servers", {"AUTH TLS"}},
        {"the handshake never comes", {kGreeting, {"AUTH TLS", send("234 go\r\n")}},
         "TLS-Aushandlung fehlgeschlagen: Zeitüberschreitung", {"AUTH TLS"}},
        {"no TLS behind the yes", {kGreeting, {"AUTH TLS", send("234 go\r\n")}, {"", answerHelloInPlainText()}},
         "TLS-Aushandlung fehlgeschlagen: ", {"AUTH TLS"}},
        {"PBSZ refused", tls.loginUpTo({{"PBSZ", send("502 Not implemented.\r\n")}}),
         "TLS abgelehnt: PBSZ 0: 502 Not implemented.", {"AUTH TLS", "OPEN", "USER anna", "PBSZ 0", "QUIT"}},
        {"PROT P refused",
         tls.loginUpTo({{"PBSZ", send("200 PBSZ=0\r\n")}, {"PROT", send("534 Request denied for policy reasons.\r\n")}}),
         "TLS abgelehnt: PROT P: 534 Request denied for policy reasons.",
         {"AUTH TLS", "OPEN", "USER anna", "PBSZ 0", "PROT P", "QUIT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFtpServer server(c.script);
        SessionHarness h(server.port(), handshakeTimeouts());
        tls.configure(h);
        h.connect();
        EXPECT_FALSE(h.session.ftpOpen());
        EXPECT_FALSE(h.session.connected());
        EXPECT_TRUE(h.loggedStartingWith(kRefused + c.error)) << h.lines.back();
        Lines wire = server.finish();
        // OPEN names the port, which changes from run to run.
        for (auto& line : wire) {
            if (line.rfind("OPEN ", 0) == 0) line = "OPEN";
        }
        EXPECT_EQ(wire, c.wire);
        EXPECT_EQ(server.mismatch(), "");
    }
}

TEST(FtpTls, ThroughAProxyTheTlsIsWithTheProxyBeforeAnyLogin) {
    const TlsFixture tls;
    FakeFtpServer server({kGreeting,
                          {"AUTH TLS", acceptTls(tls.certificate)},
                          {"USER ax", send("331 Proxy password.\r\n")},
                          {"PASS qwpl482", send("230 Proxy ok.\r\n")},
                          {"OPEN", send("220 Connected to target.\r\n")},
                          {"USER anna", send("331 Password required.\r\n")},
                          {"PASS pw", send("230 Logged in.\r\n")},
                          {"PBSZ 0", send("200 PBSZ=0\r\n")},
                          {"PROT P", send("200 Protection set to Private\r\n")},
                          {"FEAT", send("211 No features\r\n")},
                          {"TYPE", send("200 ok\r\n")},
                          {"SYST", send("215 UNIX\r\n")},
                          {"PWD", send("257 \"/\"\r\n")}});
    SessionHarness h(21, handshakeTimeouts());
    h.useProxy(server.port());
    h.settings.host = "ziel.example";
    tls.configure(h);
    h.connect();
    EXPECT_TRUE(h.session.ftpOpen()) << h.lines.back();
    h.session.B_DisconnectClick();
    EXPECT_EQ(server.finish(), (Lines{"AUTH TLS", "USER ax", "PASS qwpl482", "OPEN ziel.example", "USER anna", "PASS pw",
                                      "PBSZ 0", "PROT P", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}));
    EXPECT_EQ(server.mismatch(), "");
    // The target is only named in OPEN, never looked up.
    EXPECT_TRUE(h.resolver.asked.empty());
}

TEST(FtpTls, ADataConnectionWithoutTlsFailsTheStoreWithoutSendingTheFile) {
    const TlsFixture tls;
    std::vector<FakeStep> script = tls.loginUpTo({{"PBSZ", send("200 ok\r\n")},
                                                 {"PROT", send("200 ok\r\n")},
                                                 {"FEAT", send("211 none\r\n")},
                                                 {"TYPE", send("200 ok\r\n")},
                                                 {"SYST", send("215 UNIX\r\n")},
                                                 {"PWD", send("257 \"/\"\r\n")},
                                                 {"PASV", pasv("227 Entering Passive Mode (%s)\r\n")},
                                                 {"STOR", receivePassiveEndingAfter(0, DataEnd::Close, "150 ok\r\n",
                                                                                    "226 done\r\n")}});
    FakeFtpServer server(script);
    SessionHarness h(server.port(), handshakeTimeouts());
    tls.configure(h);
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
    const std::string error = errorOf([&] { h.session.Put(h.dir.write("a.txt", "geheime Daten"), "a.txt"); });
    EXPECT_EQ(error.rfind("TLS der Datenverbindung fehlgeschlagen: ", 0), 0u) << error;
    h.session.B_DisconnectClick();
    server.finish();
    EXPECT_EQ(server.data(), "");
    EXPECT_EQ(server.mismatch(), "");
}

}  // namespace
}  // namespace velora::test
