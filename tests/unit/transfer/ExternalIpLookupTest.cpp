// LookupExternalIp against a scripted page server on loopback: the exact request, every
// way a page can frame or spoil its answer, the log lines in their order, the time-out
// rule, the proxy's credentials and the failures that never reach a server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Errors.h"
#include "settings/Settings.h"
#include "support/ErrorOf.h"
#include "support/FixedResolver.h"
#include "support/HttpTestServer.h"
#include "support/LoopbackPort.h"
#include "support/LogHarness.h"
#include "transfer/ExternalIpLookup.h"

namespace velora {
namespace {

using test::HttpTestAnswer;
using test::HttpTestServer;
using Lines = std::vector<std::string>;

const std::string kRequestTail = "Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n";
const Lines kClosing = {"GET_EXT_IP STATUS : Disconnecting.", "GET_EXT_IP STATUS : Disconnected."};

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Lines opening(const std::string& ip = "127.0.0.1") {
    return {"GET_EXT_IP STATUS : Connecting to " + ip + ".", "GET_EXT_IP STATUS : Connected."};
}

// The lines of a failure that is neither an HTTP error nor the socket layer's, with
// "Timeout Millisek." at 2000.
Lines otherFailure(const std::string& text) {
    return Lines{"GET_EXT_IP ERROR: Exception: " + text, "GET_EXT_IP ERROR: Server did not respond withing 2 seconds"} +
           kClosing;
}

struct LookupRig : test::LogHarness {
    explicit LookupRig(const Clock* answerClock = nullptr)
        : lookup(settings, log, resolver, connector, answerClock ? *answerClock : clock) {
        settings.cb_get_ext_ip = true;
        settings.se_timeout_http.text = "2000";
    }
    void page(const HttpTestServer& server) { settings.e_www_ext_ip = server.url(); }
    void proxy(const HttpTestServer& server, const std::string& user = "", const std::string& password = "") {
        settings.cb_proxy = true;
        settings.E_Host = "127.0.0.1";
        settings.e_http_port = std::to_string(server.port());
        settings.E_User_name = user;
        settings.ME_Pasword = password;
    }

    Settings settings;
    test::FixedResolver resolver{{{"ip.example.test", "127.0.0.1"}, {"proxy.example.test", "127.0.0.1"}}};
    SystemTcpConnector connector;
    ExternalIpLookup lookup;
};

TEST(LookupExternalIp, DirectRequestBytesAndLogLines) {
    HttpTestServer server({HttpTestAnswer::send("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n203.0.113.7\n")});
    LookupRig rig;
    const std::string port = std::to_string(server.port());
    rig.settings.e_www_ext_ip = "http://ip.example.test:" + port + "/Scripts/IP.php?v=4#x";

    EXPECT_EQ(rig.lookup.LookupExternalIp(), "203.0.113.7\n");

    EXPECT_EQ(server.requests(), Lines{"GET /Scripts/IP.php?v=4 HTTP/1.1\r\n"
                                       "Host: ip.example.test:" + port + "\r\n" + kRequestTail});
    const Lines expected = Lines{"GET_EXT_IP_PROXY_USE: NO", "GET_EXT_IP STATUS : Resolving hostname ip.example.test."} +
                           opening() + kClosing + Lines{"GET_EXT_IP RESULT: 203.0.113.7\\n"};
    EXPECT_EQ(rig.lines, expected);
    EXPECT_FALSE(rig.logged("Get_Ext_IP -> Begin"));
}

// Through the proxy only the proxy's name is resolved; the page's host goes to the
// proxy inside the complete URL.
TEST(LookupExternalIp, ProxyRequestBytesAndLogLines) {
    HttpTestServer proxy({HttpTestAnswer::send("HTTP/1.0 200 OK\r\n\r\n198.51.100.23")});
    LookupRig rig;
    rig.proxy(proxy, "ax", "qwpl482");
    rig.settings.E_Host = "proxy.example.test";
    rig.settings.e_www_ext_ip = "http://ip.norvex.example/Scripts/IP.php";

    EXPECT_EQ(rig.lookup.LookupExternalIp(), "198.51.100.23");

    EXPECT_EQ(proxy.requests(), Lines{"GET http://ip.norvex.example/Scripts/IP.php HTTP/1.1\r\n"
                                      "Host: ip.norvex.example\r\n" + kRequestTail});
    EXPECT_EQ(rig.resolver.asked, Lines{"proxy.example.test"});
    const Lines expected = Lines{"Get_Ext_IP -> Begin", "GET_EXT_IP_PROXY_USE: YES",
                                 "GET_EXT_IP STATUS : Resolving hostname proxy.example.test."} +
                           opening() + kClosing + Lines{"GET_EXT_IP RESULT: 198.51.100.23"};
    EXPECT_EQ(rig.lines, expected);
}

TEST(LookupExternalIp, EveryWayOfFramingOrSpoilingTheAnswer) {
    struct Case {
        const char* name;
        HttpTestAnswer answer;
        std::string result;
        Lines after;   // the log lines after "Connected."
    };
    // The log writes a line break inside a text as "\n" or "\r": one event, one line.
    const auto ok = [](const std::string& body) {
        return kClosing + Lines{EventLog::oneLine("GET_EXT_IP RESULT: " + body)};
    };
    const auto httpError = [](const std::string& body) {
        return kClosing + Lines{"GET_EXT_IP ERROR: HTTP-Fehler: " + body};
    };
    const std::string big = "Answer larger than 65536 bytes";
    const Case cases[] = {
        {"length", HttpTestAnswer::send("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n203.0.113.7\nREST"),
         "203.0.113.7\n", ok("203.0.113.7\n")},
        {"until close", HttpTestAnswer::send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n 203.0.113.7\r\n"),
         " 203.0.113.7\r\n", ok(" 203.0.113.7\r\n")},
        {"chunked", HttpTestAnswer::send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                         "4;x=1\r\n203.\r\n9 \r\n0.113.7\r\n\r\n0\r\nX-T: 1\r\n\r\n"),
         "203.0.113.7\r\n", ok("203.0.113.7\r\n")},
        {"chunked wins", HttpTestAnswer::hold("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n"
                                              "\r\nb\r\n198.51.100.\r\n1\r\n2\r\n0\r\n\r\n"),
         "198.51.100.2", ok("198.51.100.2")},
        {"interim, bare LF", HttpTestAnswer::hold("HTTP/1.1 100 Continue\n\nHTTP/1.1 200 OK\nContent-length: 4\n\n10.0"),
         "10.0", ok("10.0")},
        {"no content", HttpTestAnswer::hold("HTTP/1.1 204 No Content\r\n\r\n"), "", ok("")},
        {"404", HttpTestAnswer::send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nNicht da."), "ERROR",
         httpError("Nicht da.")},
        {"302", HttpTestAnswer::send("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:9/ip\r\n\r\nmoved"), "ERROR",
         httpError("moved")},
        {"500 empty", HttpTestAnswer::send("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n"), "ERROR",
         httpError("")},
        {"closed mid-body", HttpTestAnswer::send("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n203.0"), "ERROR",
         otherFailure("Connection Closed Gracefully.")},
        {"closed at once", HttpTestAnswer::send(""), "ERROR", otherFailure("Connection Closed Gracefully.")},
        {"not HTTP", HttpTestAnswer::send("SSH-2.0-OpenSSH_9.2\r\n"), "ERROR", otherFailure("Invalid HTTP answer")},
        {"two lengths", HttpTestAnswer::send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n1234"),
         "ERROR", otherFailure("Invalid HTTP answer")},
        {"bad chunk", HttpTestAnswer::send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"), "ERROR",
         otherFailure("Invalid HTTP answer")},
        {"endless header", HttpTestAnswer::endless("HTTP/1.1 200 OK\r\nX: "), "ERROR",
         otherFailure("Invalid HTTP answer")},
        {"endless body", HttpTestAnswer::endless("HTTP/1.1 200 OK\r\n\r\n"), "ERROR", otherFailure(big)},
        {"endless chunk", HttpTestAnswer::endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7fffffff\r\n"),
         "ERROR", otherFailure(big)},
        {"huge length", HttpTestAnswer::hold("HTTP/1.1 200 OK\r\nContent-Length: 65537\r\n\r\n"), "ERROR",
         otherFailure(big)},
    };
    for (const auto& c : cases) {
        HttpTestServer server({c.answer});
        LookupRig rig;
        rig.page(server);
        EXPECT_EQ(rig.lookup.LookupExternalIp(), c.result) << c.name;
        EXPECT_EQ(rig.lines, (Lines{"GET_EXT_IP_PROXY_USE: NO"} + opening() + c.after)) << c.name;
        // Redirects are not followed, and nothing is asked twice.
        EXPECT_EQ(server.requests().size(), 1u) << c.name;
    }
}

// The page never answers: the configured time-out ends the wait. Before any lookup
// through the proxy the direct lookup takes "Timeout Millisek." as it stands.
TEST(LookupExternalIp, TimeoutOf1500MsReportsOneSecond) {
    HttpTestServer server({HttpTestAnswer::hold()});
    LookupRig rig;
    rig.settings.se_timeout_http.text = "1500";
    rig.page(server);
    EXPECT_EQ(rig.lookup.LookupExternalIp(), "ERROR");
    const Lines expected = Lines{"GET_EXT_IP_PROXY_USE: NO"} + opening() +
                           Lines{"GET_EXT_IP ERROR: Exception: Read Timeout",
                                 "GET_EXT_IP ERROR: Server did not respond withing 1 seconds"} +
                           kClosing;
    EXPECT_EQ(rig.lines, expected);
}

// The time-out set by a lookup through the proxy stays in force once the proxy is off;
// the page below would close after 20 s, so a wait of "Timeout Millisek." (100 s)
// instead ends as an early close, not as a read time-out.
TEST(LookupExternalIp, ProxyTimeoutsStayInForceForDirectLookups) {
    HttpTestServer proxy({HttpTestAnswer::send("HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n10.1.1.1")});
    HttpTestServer silent({HttpTestAnswer::closeAfter(20000)});
    LookupRig rig;
    rig.proxy(proxy);
    rig.settings.se_timeout_http.text = "300";
    rig.settings.e_www_ext_ip = "http://ip.example.test/";
    ASSERT_EQ(rig.lookup.LookupExternalIp(), "10.1.1.1");

    rig.settings.cb_proxy = false;
    rig.settings.se_timeout_http.text = "100000";
    rig.page(silent);
    EXPECT_EQ(rig.lookup.LookupExternalIp(), "ERROR");
    EXPECT_TRUE(rig.logged("GET_EXT_IP ERROR: Exception: Read Timeout"));
    EXPECT_EQ(rig.lines.back(), kClosing.back());
    EXPECT_TRUE(rig.logged("GET_EXT_IP ERROR: Server did not respond withing 100 seconds"));
}

TEST(LookupExternalIp, ProxyCredentialsOnlyAfterA407AndOnlyOnce) {
    const std::string challenge = "HTTP/1.0 407 Proxy Authentication Required\r\n"
                                  "Proxy-Authenticate: Basic realm=\"proxy\"\r\nContent-Length: 13\r\n\r\nAccess denied";
    const std::string digestOnly = "HTTP/1.0 407 Proxy Authentication Required\r\n"
                                   "Proxy-Authenticate: Digest realm=\"p\", nonce=\"basic\"\r\n\r\nDigest only";
    const std::string ok = "HTTP/1.0 200 OK\r\n\r\n192.0.2.55";
    const std::string first = "GET http://ip.example.test/ HTTP/1.1\r\nHost: ip.example.test\r\n" + kRequestTail;
    const std::string withCredentials =
        "GET http://ip.example.test/ HTTP/1.1\r\nHost: ip.example.test\r\n"
        "Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
        "Proxy-Authorization: Basic YXg6cXdwbDQ4Mg==\r\n\r\n";
    struct Case {
        const char* name;
        std::vector<HttpTestAnswer> script;
        std::string user;
        std::string result;
        Lines requests;
        std::string lastLine;
    };
    const Case cases[] = {
        {"accepted", {HttpTestAnswer::send(challenge), HttpTestAnswer::send(ok)}, "ax", "192.0.2.55",
         {first, withCredentials}, "GET_EXT_IP RESULT: 192.0.2.55"},
        {"refused twice", {HttpTestAnswer::send(challenge)}, "ax", "ERROR", {first, withCredentials},
         "GET_EXT_IP ERROR: HTTP-Fehler: Access denied"},
        {"no user", {HttpTestAnswer::send(challenge), HttpTestAnswer::send(ok)}, "", "ERROR", {first},
         "GET_EXT_IP ERROR: HTTP-Fehler: Access denied"},
        {"not Basic", {HttpTestAnswer::send(digestOnly), HttpTestAnswer::send(ok)}, "ax", "ERROR", {first},
         "GET_EXT_IP ERROR: HTTP-Fehler: Digest only"},
    };
    for (const auto& c : cases) {
        HttpTestServer proxy(c.script);
        LookupRig rig;
        rig.proxy(proxy, c.user, "qwpl482");
        rig.settings.e_www_ext_ip = "http://ip.example.test/";
        EXPECT_EQ(rig.lookup.LookupExternalIp(), c.result) << c.name;
        EXPECT_EQ(proxy.requests(), c.requests) << c.name;
        EXPECT_EQ(rig.lines.back(), c.lastLine) << c.name;
        // Only the empty user hears of the demand, and never with the password in it.
        EXPECT_EQ(rig.logged("GET_EXT_IP STATUS_Proxy : Basic Og=="), c.user.empty()) << c.name;
        EXPECT_FALSE(rig.logged("GET_EXT_IP STATUS_Proxy : " + HttpClient::basicCredentials("", "qwpl482")));
    }

    // A page that answers 407 itself is no proxy: nothing is retried.
    HttpTestServer page({HttpTestAnswer::send(challenge), HttpTestAnswer::send(ok)});
    LookupRig rig;
    rig.page(page);
    EXPECT_EQ(rig.lookup.LookupExternalIp(), "ERROR");
    EXPECT_EQ(page.requests().size(), 1u);
    EXPECT_FALSE(rig.loggedStartingWith("GET_EXT_IP STATUS_Proxy"));
}

TEST(LookupExternalIp, SocketLayerFailuresNameTheirCause) {
    struct Case {
        std::string url;
        Lines lines;
    };
    const Case cases[] = {
        {"http://127.0.0.1:" + std::to_string(test::refusingLoopbackPort()) + "/",
         {"GET_EXT_IP_PROXY_USE: NO", "GET_EXT_IP STATUS : Connecting to 127.0.0.1.",
          "GET_EXT_IP ERROR: EIdSocketError: Connection refused"}},
        {"http://nowhere.example.test/Scripts/IP.php",
         {"GET_EXT_IP_PROXY_USE: NO", "GET_EXT_IP STATUS : Resolving hostname nowhere.example.test.",
          "GET_EXT_IP ERROR: EIdSocketError: Name or service not known"}},
    };
    for (const auto& c : cases) {
        LookupRig rig;
        rig.settings.e_www_ext_ip = c.url;
        EXPECT_EQ(rig.lookup.LookupExternalIp(), "ERROR") << c.url;
        EXPECT_EQ(rig.lines, c.lines) << c.url;
    }
}

TEST(LookupExternalIp, UnusableUrlIsLoggedAndNothingIsContacted) {
    for (const std::string url : {"", "https://ip.example.test/", "http://ip.example.test/\r\nX-Evil: 1"}) {
        for (const bool viaProxy : {false, true}) {
            LookupRig rig;
            rig.settings.cb_proxy = viaProxy;
            rig.settings.e_http_port = "3128";
            rig.settings.e_www_ext_ip = url;
            EXPECT_EQ(rig.lookup.LookupExternalIp(), "ERROR") << url;
            EXPECT_EQ(rig.lines.back(), EventLog::oneLine("GET_EXT_IP ERROR: Invalid URL: " + url));
            EXPECT_FALSE(rig.loggedStartingWith("GET_EXT_IP STATUS")) << url;
            EXPECT_TRUE(rig.resolver.asked.empty()) << url;
        }
    }
}

// A proxy HTTP port that is no whole number stops the lookup before anything else; a
// whole number out of range is an ordinary failure of the request.
TEST(LookupExternalIp, ProxyPortMustBeAWholeNumber) {
    for (const std::string port : {"", "abc", "31 28", " 3128", "3128.0", "0x50", "99999999999"}) {
        LookupRig rig;
        rig.settings.cb_proxy = true;
        rig.settings.e_http_port = port;
        rig.settings.e_www_ext_ip = "http://ip.example.test/";
        EXPECT_EQ(test::errorOf<GeneralError>([&] { rig.lookup.LookupExternalIp(); }),
                  "'" + port + "' ist kein gültiger Integerwert");
        EXPECT_EQ(rig.lines, Lines{"Get_Ext_IP -> Begin"}) << port;
    }
    for (const std::string port : {"0", "-1", "65536"}) {
        LookupRig rig;
        rig.settings.cb_proxy = true;
        rig.settings.e_http_port = port;
        rig.settings.e_www_ext_ip = "http://ip.example.test/";
        EXPECT_EQ(rig.lookup.LookupExternalIp(), "ERROR");
        EXPECT_EQ(rig.lines, (Lines{"Get_Ext_IP -> Begin", "GET_EXT_IP_PROXY_USE: YES",
                                    "GET_EXT_IP ERROR: Exception: Invalid port " + port,
                                    "GET_EXT_IP ERROR: Server did not respond withing 2 seconds"}));
    }
}

// A clock that moves a second every time it is read.
class SteppingClock final : public Clock {
public:
    DateTime now() const override { return {}; }
    std::int64_t tickMs() const override { return tick_ += 1000; }
    void sleepMs(int) override {}

private:
    mutable std::int64_t tick_ = 0;
};

// A page that drips its body a byte at a time never finishes; the whole answer is
// bounded by the read time-out plus the grace, whatever each single wait does.
TEST(LookupExternalIp, DrippingAnswerEndsAfterTheWholeAnswerLimit) {
    HttpTestServer server({HttpTestAnswer::drip("HTTP/1.1 200 OK\r\nContent-Length: 60000\r\n\r\n")});
    SteppingClock clock;
    LookupRig rig(&clock);
    rig.page(server);
    EXPECT_EQ(rig.lookup.LookupExternalIp(), "ERROR");
    const Lines expected = Lines{"GET_EXT_IP_PROXY_USE: NO"} + opening() +
                           otherFailure("Read Timeout: answer not complete within 32000 ms");
    EXPECT_EQ(rig.lines, expected);
}

// A log line lets window messages run, and one of them may start another lookup while
// this one has its connection open: each keeps its own connection and its answer.
TEST(LookupExternalIp, NestedLookupKeepsItsOwnConnection) {
    HttpTestServer outer({HttpTestAnswer::send("HTTP/1.1 200 OK\r\n\r\n192.0.2.1")});
    HttpTestServer inner({HttpTestAnswer::send("HTTP/1.1 200 OK\r\n\r\n192.0.2.2")});
    LookupRig rig;
    rig.page(outer);
    std::string nested;
    rig.ui.onPump = [&] {
        if (nested.empty() && rig.lines.back() == "GET_EXT_IP STATUS : Connected.") {
            nested = "running";
            rig.page(inner);
            nested = rig.lookup.LookupExternalIp();
        }
    };
    EXPECT_EQ(rig.lookup.LookupExternalIp(), "192.0.2.1");
    EXPECT_EQ(nested, "192.0.2.2");
    EXPECT_EQ(outer.requests().size(), 1u);
    EXPECT_EQ(inner.requests().size(), 1u);
}

}  // namespace
}  // namespace velora
