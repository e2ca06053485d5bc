// Connect and disconnect against the scripted server: the exact lines on the wire and
// the exact lines in the event log, for the happy path and for each way a server can
// refuse or misbehave during the login.
#include <gtest/gtest.h>

#include "FakeFtpServer.h"
#include "SessionHarness.h"
#include "platform/Errors.h"
#include "support/ErrorOf.h"
#include "support/LoopbackPort.h"

namespace velora::test {
namespace {

using Lines = std::vector<std::string>;
using test::errorOf;

const FakeStep kGreeting{"", send("220 fake ready\r\n")};

// Answers for every login command, for tests that care only about what is sent.
const FakeFtpServer::Fallback kAnswerAll = {
    {"USER", "331 Password required.\r\n"}, {"PASS", "230 Logged in.\r\n"}, {"OPEN", "500 unknown\r\n"},
    {"FEAT", "211-Features:\r\n CLNT\r\n211 End\r\n"},    {"CLNT", "200 ok\r\n"},
    {"TYPE", "200 ok\r\n"},   {"SYST", "215 UNIX\r\n"}, {"PWD", "257 \"/\"\r\n"}};

// The log of one disconnect, as the session writes it when the client closes.
const Lines kClosing = {"Status --> Disconnecting.", "Procedure --> Disconnected", "Status --> Disconnect = OFFLINE",
                        "Status --> Disconnected."};

Lines concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FtpSessionConnect, DirectLoginSendsExactlyTheseLinesAndLogsEveryStep) {
    FakeFtpServer server({kGreeting,
                          {"OPEN", send("500 Command \"OPEN\" not understood.\r\n")},
                          {"USER", send("331 Password required.\r\n")},
                          {"PASS", send("230 Logged in.\r\n")},
                          {"FEAT", send("211-Features:\r\n MDTM\r\n CLNT\r\n211 End\r\n")},
                          {"CLNT", send("200 Noted.\r\n")},
                          {"TYPE", send("200 Type set to I.\r\n")},
                          {"SYST", send("215 UNIX Type: L8\r\n")},
                          {"PWD", send("257 \"/home/anna\" is the current directory\r\n")}});
    SessionHarness h(server.port());
    h.connect();
    EXPECT_TRUE(h.session.ftpOpen());
    EXPECT_TRUE(h.session.connected());
    h.session.B_DisconnectClick();
    EXPECT_FALSE(h.session.ftpOpen());

    const std::string port = std::to_string(server.port());
    // On the wire, each followed by CR LF:
    EXPECT_EQ(server.finish(), (Lines{"OPEN 127.0.0.1:" + port,   // "OPEN 127.0.0.1:<port>\r\n"
                                      "USER anna",                // "USER anna\r\n"
                                      "PASS pw",                  // "PASS pw\r\n"
                                      "FEAT",                     // "FEAT\r\n"
                                      "CLNT PC1 VELORA Linux",    // "CLNT PC1 VELORA Linux\r\n"
                                      "TYPE I",                   // "TYPE I\r\n"
                                      "SYST",                     // "SYST\r\n"
                                      "PWD",                      // "PWD\r\n"
                                      "QUIT"}));                  // "QUIT\r\n"
    EXPECT_EQ(server.mismatch(), "");
    EXPECT_EQ(h.lines, concat(Lines{"Procedure --> Connect", "Host 127.0.0.1", "User anna", "Host 127.0.0.1",
                                      "Status --> Connecting to 127.0.0.1.", "Status --> Connected.",
                                      "Status --> Connection established", "ONLINE", "UNIX Type: L8",
                                      "TransferTimeout = 1000 msec."},
                                concat(kClosing, {"Procedure --> Disconnect"})));
}

TEST(FtpSessionConnect, ProxyLoginGoesToTheProxyAndNamesTheTargetWithOpen) {
    FakeFtpServer server({kGreeting,
                          {"USER ax", send("331 Proxy password.\r\n")},
                          {"PASS qwpl482", send("230 Proxy ok.\r\n")},
                          {"OPEN", send("220 Connected to target.\r\n")},
                          {"USER anna", send("331 Password required.\r\n")},
                          {"PASS pw", send("230 Logged in.\r\n")},
                          {"FEAT", send("211 No features\r\n")},
                          {"TYPE", send("200 ok\r\n")},
                          {"SYST", send("215 UNIX\r\n")},
                          {"PWD", send("257 \"/\"\r\n")}});
    SessionHarness h;
    h.useProxy(server.port());
    // The target name only travels inside OPEN; it is never looked up here.
    h.settings.host = "ftp.target.example";
    h.connect();
    EXPECT_TRUE(h.session.ftpOpen());
    h.session.B_DisconnectClick();

    // "USER ax\r\n" "PASS qwpl482\r\n" "OPEN ftp.target.example\r\n" (port 21: no ":21")
    EXPECT_EQ(server.finish(), (Lines{"USER ax", "PASS qwpl482", "OPEN ftp.target.example", "USER anna", "PASS pw",
                                      "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}));
    const Lines all = h.lines;
    ASSERT_GE(all.size(), 9u);
    const Lines head(all.begin(), all.begin() + 9);
    EXPECT_EQ(head, (Lines{"Procedure --> Connect", "Use Proxy 127.0.0.1", "Proxy User ax",
                           "Proxy Port " + std::to_string(server.port()), "Host ftp.target.example", "User anna",
                           "Host ftp.target.example", "Status --> Connecting to 127.0.0.1.", "Status --> Connected."}));
}

TEST(FtpSessionConnect, ProxyWithoutUserSendsOnlyOpenThenTheLogin) {
    FakeFtpServer server({kGreeting,
                          {"OPEN", send("500 unknown\r\n")},
                          {"USER anna", send("230 Logged in without password.\r\n")},
                          {"FEAT", send("500 unknown\r\n")},
                          {"TYPE", send("200 ok\r\n")},
                          {"SYST", send("215 UNIX\r\n")},
                          {"PWD", send("257 \"/\"\r\n")}});
    SessionHarness h;
    h.useProxy(server.port());
    h.settings.proxyUser = "";
    h.connect();
    h.session.B_DisconnectClick();
    // 230 to USER: no PASS follows.
    EXPECT_EQ(server.finish(), (Lines{"OPEN 127.0.0.1", "USER anna", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}));
    EXPECT_TRUE(h.logged("ONLINE"));
}

// The proxy's own login knows 230 and 331 only; 232 is an answer of the target's login.
TEST(FtpSessionConnect, ProxyUserAnsweredWith232IsRefused) {
    FakeFtpServer server({kGreeting, {"USER ax", send("232 Logged in.\r\n")}});
    SessionHarness h;
    h.useProxy(server.port());
    h.connect();
    EXPECT_FALSE(h.session.connected());
    EXPECT_FALSE(h.logged("ONLINE"));
    EXPECT_EQ(h.lines.back(), "FTP_CONNECTED ERROR: Exception: 232 Logged in.");
    // "USER ax\r\n" then "QUIT\r\n": no OPEN, no login at the target
    EXPECT_EQ(server.finish(), (Lines{"USER ax", "QUIT"}));
}

TEST(FtpSessionConnect, AHostNameIsResolvedFirstAndReported) {
    FakeFtpServer server({kGreeting}, kAnswerAll);
    SessionHarness h(server.port());
    h.settings.host = "localhost";
    h.connect();
    EXPECT_TRUE(h.session.ftpOpen());
    const Lines lines = h.lines;
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(Lines(lines.begin() + 4, lines.begin() + 7),
              (Lines{"Status --> Resolving hostname localhost.", "Status --> Connecting to 127.0.0.1.",
                     "Status --> Connected."}));
    h.session.B_DisconnectClick();
    EXPECT_EQ(server.finish().front(), "OPEN localhost:" + std::to_string(server.port()));
}

TEST(FtpSessionConnect, UncheckingTheProxyGoesStraightToTheServerNextTime) {
    SessionHarness h;
    {
        FakeFtpServer proxy({kGreeting}, kAnswerAll);
        h.useProxy(proxy.port());
        h.connect();
        h.session.B_DisconnectClick();
        EXPECT_EQ(proxy.finish().front(), "USER ax");
    }
    FakeFtpServer direct({kGreeting}, kAnswerAll);
    h.settings.useProxy = false;
    h.session.setServerPort(direct.port());
    const std::size_t before = h.lines.size();
    h.connect();
    EXPECT_TRUE(h.session.ftpOpen());
    h.session.B_DisconnectClick();
    EXPECT_EQ(direct.finish().front(), "OPEN 127.0.0.1:" + std::to_string(direct.port()));
    for (const auto& line : h.linesFrom(before)) EXPECT_EQ(line.rfind("Use Proxy", 0), std::string::npos) << line;
}

// One login step answered differently each time: what goes over the wire, and the
// line connect ends with.
struct LoginCase {
    const char* name;
    std::vector<FakeStep> script;
    Lines wire;
    std::string verdict;   // the connect's last telling line
    bool online;
};

TEST(FtpSessionConnect, LoginRepliesDecideTheOutcome) {
    const FakeStep open{"OPEN", send("500 no\r\n")};
    const FakeStep user331{"USER", send("331 Password required.\r\n")};
    const FakeStep featPlain{"FEAT", send("211-Features:\r\n MDTM\r\n211 End\r\n")};
    const FakeStep type{"TYPE", send("200 ok\r\n")};
    const FakeStep syst{"SYST", send("215 UNIX\r\n")};
    const FakeStep pwd{"PWD", send("257 \"/\"\r\n")};
    const std::vector<LoginCase> cases = {
        {"230 to USER sends no PASS",
         {kGreeting, open, {"USER", send("230 Welcome.\r\n")}, featPlain, type, syst, pwd},
         {"OPEN", "USER anna", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}, "UNIX", true},
        {"232 to USER sends no PASS",
         {kGreeting, open, {"USER", send("232 Logged in, security data exchanged.\r\n")}, featPlain, type, syst, pwd},
         {"OPEN", "USER anna", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}, "UNIX", true},
        {"500 to SYST logs Unknown",
         {kGreeting, open, user331, {"PASS", send("230 ok\r\n")}, featPlain, type,
          {"SYST", send("500 SYST not understood\r\n")}, pwd},
         {"OPEN", "USER anna", "PASS pw", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}, "Unknown", true},
        {"PWD refused: online, and the log says relative folders are not sent",
         {kGreeting, open, {"USER", send("230 ok\r\n")}, featPlain, type, syst, {"PWD", send("502 No.\r\n")}},
         {"OPEN", "USER anna", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"},
         "PWD ohne Ordner (502 No.): relative FTP Pfade werden nicht gesendet", true},
        {"PWD without a quoted folder counts as refused",
         {kGreeting, open, {"USER", send("230 ok\r\n")}, featPlain, type, syst, {"PWD", send("257 /home\r\n")}},
         {"OPEN", "USER anna", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"},
         "PWD ohne Ordner (257 /home): relative FTP Pfade werden nicht gesendet", true},
        {"no reply to PWD: the session is out of step and closes",
         {kGreeting, open, {"USER", send("230 ok\r\n")}, featPlain, type, syst, {"PWD", silence()}},
         {"OPEN", "USER anna", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}, "FTP_CONNECTED ERROR: Exception: Read Timeout",
         false},
        {"530 to PASS",
         {kGreeting, open, user331, {"PASS", send("530 Login incorrect.\r\n")}},
         {"OPEN", "USER anna", "PASS pw", "QUIT"}, "FTP_CONNECTED ERROR: Exception: 530 Login incorrect.", false},
        {"332 wants an account we do not have",
         {kGreeting, open, user331, {"PASS", send("332 Need account for login.\r\n")}},
         {"OPEN", "USER anna", "PASS pw", "QUIT"}, "FTP_CONNECTED ERROR: Exception: 332 Need account for login.",
         false},
        {"greeting other than 220",
         {{"", send("120 Service ready in 5 minutes.\r\n")}},
         {"QUIT"}, "FTP_CONNECTED ERROR: Exception: 120 Service ready in 5 minutes.", false},
        {"TYPE I refused",
         {kGreeting, open, user331, {"PASS", send("230 ok\r\n")}, featPlain, {"TYPE", send("504 No binary.\r\n")}},
         {"OPEN", "USER anna", "PASS pw", "FEAT", "TYPE I", "QUIT"}, "FTP_CONNECTED ERROR: Exception: 504 No binary.",
         false},
        {"421 as greeting",
         {{"", send("421 Too many users.\r\n")}},
         {"QUIT"}, "FTP_CONNECTED ERROR: Exception: 421 Too many users.", false},
        {"421 to USER",
         {kGreeting, open, {"USER", send("421 Shutting down.\r\n")}},
         {"OPEN", "USER anna", "QUIT"}, "FTP_CONNECTED ERROR: Exception: 421 Shutting down.", false},
        {"421 to FEAT",
         {kGreeting, open, {"USER", send("230 ok\r\n")}, {"FEAT", send("421 Idle.\r\n")}},
         {"OPEN", "USER anna", "FEAT", "QUIT"}, "FTP_CONNECTED ERROR: Exception: 421 Idle.", false},
        {"greeting never comes",
         {{"", silence()}},
         {"QUIT"}, "FTP_CONNECTED ERROR: Exception: Read Timeout", false},
        {"multi-line greeting sent byte by byte",
         {{"", sendByteByByte("220-Welcome\r\n220 ready\r\n")}, open, {"USER", send("230 ok\r\n")}, featPlain, type,
          syst, pwd},
         {"OPEN", "USER anna", "FEAT", "TYPE I", "SYST", "PWD", "QUIT"}, "UNIX", true},
        {"endless greeting line",
         {{"", send("220 " + std::string(70 * 1024, 'x'))}},
         {"QUIT"}, "FTP_CONNECTED ERROR: Exception: Ungültige Serverantwort: Zeile zu lang", false},
        {"NUL byte in a reply",
         {kGreeting, {"OPEN", send(std::string("500 n\0o\r\n", 9))}},
         {"OPEN", "QUIT"}, "FTP_CONNECTED ERROR: Exception: Ungültige Serverantwort: NUL-Zeichen", false},
        {"server hangs up during login",
         {kGreeting, open, {"USER", hangUp()}},
         {"OPEN", "USER anna"}, "FTP_CONNECTED ERROR:  EIdSocketError: Connection closed by peer", false},
    };
    for (const auto& c : cases) {
        FakeFtpServer server(c.script);
        SessionHarness h(server.port());
        h.connect();
        EXPECT_EQ(h.session.ftpOpen(), c.online) << c.name;
        EXPECT_EQ(h.session.connected(), c.online) << c.name;
        if (c.online) {
            EXPECT_TRUE(h.logged(c.verdict)) << c.name;
            h.session.B_DisconnectClick();
        } else {
            // The failed login has closed the connection before connect reports it.
            Lines tail = h.lines;
            ASSERT_GE(tail.size(), 1u) << c.name;
            EXPECT_EQ(tail.back(), c.verdict) << c.name;
            if (c.wire.back() == "QUIT") {
                tail.erase(tail.begin(), tail.end() - 5);
                EXPECT_EQ(tail, concat(kClosing, {c.verdict})) << c.name;
            }
            EXPECT_FALSE(h.logged("ONLINE")) << c.name;
        }
        Lines wire = server.finish();
        if (!wire.empty() && wire.front().rfind("OPEN ", 0) == 0) wire.front() = "OPEN";
        EXPECT_EQ(wire, c.wire) << c.name;
    }
}

TEST(FtpSessionConnect, ClntOnlyWhenListedAndIdentified) {
    const auto script = [](const std::string& feat) {
        return std::vector<FakeStep>{kGreeting, {"OPEN", send("500 no\r\n")}, {"USER", send("230 ok\r\n")},
                                     {"FEAT", send(feat)}};
    };
    struct Case {
        const char* feat;
        std::string identification;
        bool clnt;
    } cases[] = {
        {"211-Features:\r\n clnt\r\n211 End\r\n", "PC1", true},
        {"211-Features:\r\n MDTM\r\n UTF8\r\n211 End\r\n", "PC1", false},
        {"211 CLNT\r\n", "PC1", false},   // a one-line answer lists nothing
        {"211-Features:\r\n CLNT\r\n211 End\r\n", "", false},
    };
    for (const auto& c : cases) {
        FakeFtpServer server(script(c.feat), kAnswerAll);
        SessionHarness h(server.port());
        h.identity = ClientIdentity();
        h.identity.setClientName(c.identification);
        h.connect();
        EXPECT_TRUE(h.session.ftpOpen());
        h.session.B_DisconnectClick();
        const Lines wire = server.finish();
        ASSERT_GE(wire.size(), 4u);
        EXPECT_EQ(wire[3] == "CLNT " + c.identification, c.clnt) << c.feat << " / " << wire[3];
    }
}

TEST(FtpSessionConnect, ControlCharactersInAnyFieldNeverReachTheWire) {
    struct Case {
        const char* field;
        std::function<void(SessionHarness&)> set;
    } cases[] = {
        {"user", [](SessionHarness& h) { h.settings.user = "anna\r\nDELE x"; }},
        {"password", [](SessionHarness& h) { h.settings.password = "pw\nDELE x"; }},
        {"host", [](SessionHarness& h) { h.settings.host = "target\rDELE x"; }},
        {"proxy user", [](SessionHarness& h) { h.settings.proxyUser = "ax\x7F"; }},
        {"proxy password", [](SessionHarness& h) { h.settings.proxyPassword = std::string("qw\0pl", 5); }},
        {"identification", [](SessionHarness& h) { h.identity.setPlatformDescription("Linux\r\nDELE x"); }},
    };
    for (const auto& c : cases) {
        FakeFtpServer server({kGreeting}, kAnswerAll);
        SessionHarness h;
        // Through a proxy so the host is only ever written in OPEN, never looked up.
        h.useProxy(server.port());
        c.set(h);
        h.connect();
        const Lines wire = server.finish();
        for (const auto& line : wire) {
            EXPECT_EQ(line.find("DELE"), std::string::npos) << c.field << ": " << line;
            for (unsigned char ch : line) EXPECT_TRUE(ch >= 0x20 && ch != 0x7F) << c.field << ": " << line;
        }
        EXPECT_FALSE(h.session.connected()) << c.field;
        EXPECT_FALSE(h.logged("ONLINE")) << c.field;
    }
}

TEST(FtpSessionConnect, InjectedUserFailsWithTheGuardTextAndSendsNoUserLine) {
    FakeFtpServer server({kGreeting, {"OPEN", send("500 no\r\n")}});
    SessionHarness h(server.port());
    h.settings.user = "anna\r\nDELE important.txt";
    h.connect();
    EXPECT_EQ(h.lines.back(), "FTP_CONNECTED ERROR: Exception: Ungültiges Zeichen im FTP-Befehl");
    const Lines wire = server.finish();
    EXPECT_EQ(wire.size(), 2u);
    EXPECT_EQ(wire.back(), "QUIT");
}

TEST(FtpSessionConnect, BadProxyPortIsAGeneralFailureBeforeAnyConnection) {
    SessionHarness h;
    h.useProxy("21x");
    h.connect();
    EXPECT_EQ(h.lines, (Lines{"Procedure --> Connect",
                                "FTP_CONNECTED ERROR: Exception: '21x' ist kein gültiger Integerwert"}));
    EXPECT_FALSE(h.session.connected());
}

TEST(FtpSessionConnect, RefusedConnectionIsASocketErrorWithTheSystemText) {
    SessionHarness h(test::refusingLoopbackPort());
    h.connect();
    EXPECT_EQ(h.lines.back(), "FTP_CONNECTED ERROR:  EIdSocketError: Connection refused");
    EXPECT_FALSE(h.logged("Status --> Connected."));
    EXPECT_FALSE(h.logged("Procedure --> Disconnected"));   // nothing was open to close
}

// A host that drops connection requests: the control and the passive data connection
// give up after the connect time-out with the system's own time-out text.
TEST(FtpSessionConnect, ConnectionsNobodyTakesEndAfterTheConnectTimeOut) {
    const int dropping = test::synDroppingLoopbackPort();
    FtpTimeouts timeouts;
    timeouts.connectMs = 100;

    SessionHarness control(dropping, timeouts);
    control.connect();
    EXPECT_EQ(control.linesFrom(4), (Lines{"Status --> Connecting to 127.0.0.1.",
                                           "FTP_CONNECTED ERROR:  EIdSocketError: Connection timed out"}));
    EXPECT_FALSE(control.session.connected());

    const std::string pasv = "227 Entering Passive Mode (127,0,0,1," + std::to_string(dropping / 256) + "," +
                             std::to_string(dropping % 256) + ")\r\n";
    FakeFtpServer server(withLogin({{"PASV", send(pasv)}}));
    SessionHarness data(server.port(), timeouts);
    data.connect();
    EXPECT_EQ(errorOf<SocketError>([&] { data.session.Put(data.dir.write("a.txt", "x"), "a.txt"); }),
              "Connection timed out");
    EXPECT_TRUE(data.session.connected());
    data.session.B_DisconnectClick();
    const Lines wire = server.finish();
    EXPECT_EQ(Lines(wire.begin() + kLoginCommands, wire.end()), (Lines{"PASV", "STOR a.txt", "QUIT"}));
}

TEST(FtpSessionConnect, SecondConnectAndDisconnectWhileClosedOnlyLog) {
    SessionHarness idle;
    idle.session.B_DisconnectClick();
    EXPECT_EQ(idle.lines, Lines{"NOT Connect"});

    FakeFtpServer server(withLogin({}));
    SessionHarness h(server.port());
    h.connect();
    const std::size_t before = h.lines.size();
    h.connect();
    EXPECT_EQ(h.linesFrom(before), Lines{"es besteht bereits ein Connected"});
    h.session.B_DisconnectClick();
    EXPECT_EQ(server.finish().back(), "QUIT");
}

TEST(FtpSessionConnect, LabelClearedFlagIsSetAgainOnlyByTheNextConnect) {
    FakeFtpServer server(withLogin({}));
    SessionHarness h(server.port());
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen());
    h.session.clearFtpOpen();
    EXPECT_FALSE(h.session.ftpOpen());
    EXPECT_TRUE(h.session.connected());
    h.session.B_DisconnectClick();
    EXPECT_FALSE(h.session.connected());
    server.finish();
}

}  // namespace
}  // namespace velora::test
