// Explicit FTPS against Debian's vsftpd on 127.0.0.1, set up as strictly as it goes:
// TLS required for the login and every data connection, and data connections must
// resume the control connection's session. What the server's own protocol log holds
// tells what crossed the wire; the session's log tells what the user reads.
#include <gtest/gtest.h>

#include <optional>

#include "integration/support/VsftpdServer.h"
#include "platform/FileIo.h"
#include "platform/InputFile.h"
#include "support/ScopedEnv.h"
#include "unit/ftp/SessionHarness.h"

namespace velora::test {
namespace {

using Lines = std::vector<std::string>;

// Replies come fast from a server on loopback; the margin only keeps a busy machine
// from turning a slow moment into a failed login.
FtpTimeouts patientTimeouts() {
    FtpTimeouts t;
    t.readMs = 5000;
    return t;
}

// The fingerprint's pairs as the client prints them, without openssl's prefix.
std::string pairsOf(const std::string& opensslLine) { return opensslLine.substr(opensslLine.find('=') + 1); }

Lines statusLines(const Lines& lines) {
    Lines out;
    for (const auto& l : lines) {
        if (l.rfind("Status --> ", 0) == 0) out.push_back(l);
    }
    return out;
}

std::size_t countOf(const Lines& lines, const std::string& prefix) {
    std::size_t n = 0;
    for (const auto& l : lines) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

struct Harness : SessionHarness {
    Harness(const VsftpdServer& server, bool tls) : SessionHarness(server.port(), patientTimeouts()) {
        settings.user = VsftpdServer::kUser;
        settings.password = "";
        settings.tls = tls;
        if (tls) settings.tlsFingerprint = server.certificate().fingerprint;
    }
};

class FtpsVsftpd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VsftpdServer::installed()) GTEST_SKIP() << VsftpdServer::kProgram << " is not installed";
    }
};

TEST_F(FtpsVsftpd, StoresByteExactlyInTlsAndLogsAsPlainFtpDoes) {
    VsftpdServer secure(true);
    VsftpdServer plain(false);
    const std::string big = patterned(3 * FtpClient::kBlockSize + 17);
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const std::string mode = passive ? "p" : "a";
        Harness overTls(secure, true);
        Harness inPlain(plain, false);
        for (Harness* h : {&overTls, &inPlain}) {
            h->settings.passive = passive;
            h->connect();
            ASSERT_TRUE(h->session.ftpOpen()) << h->lines.back();
            h->session.ChangeDir(VsftpdServer::kUploadFolder);
            // Two stores in one session: each data connection resumes the session anew.
            // The big one is copied while it is sent, as a large row is: without TLS
            // from its copy inside the system, over TLS through the program.
            InputFile file(h->dir.write("big.bin", big));
            ASSERT_TRUE(file.holdTo(*fileio::statusOf(file.path())));
            ASSERT_EQ(file.copyInto(h->dir.file("copy.bin")), 0);
            EXPECT_EQ(h->session.Put(file, mode + "big.bin"), static_cast<std::int64_t>(big.size()));
            EXPECT_EQ(fileio::readAll(h->dir.file("copy.bin")), big);
            EXPECT_EQ(h->session.Put(h->dir.write("small.bin", "kurz"), mode + "small.bin"), 4);
            h->session.B_DisconnectClick();
        }
        EXPECT_EQ(secure.uploaded(mode + "big.bin"), big);
        EXPECT_EQ(secure.uploaded(mode + "small.bin"), "kurz");
        EXPECT_EQ(plain.uploaded(mode + "big.bin"), big);
        EXPECT_EQ(statusLines(overTls.lines), statusLines(inPlain.lines));
        EXPECT_FALSE(overTls.loggedStartingWith("FTP_CONNECTED ERROR")) << overTls.lines.back();
    }
    // TLS before the login, protection before the first transfer, once per session.
    const Lines sent = secure.commands();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 4), (Lines{"AUTH TLS", "OPEN 127.0.0.1:" + std::to_string(secure.port()),
                                                            "USER anonymous", "PBSZ 0"}));
    EXPECT_EQ(countOf(sent, "AUTH TLS"), 2u);
    EXPECT_EQ(countOf(sent, "PROT P"), 2u);
    EXPECT_EQ(countOf(sent, "STOR "), 4u);
    EXPECT_EQ(countOf(plain.commands(), "AUTH"), 0u);
}

struct TrustCase {
    const char* name;
    std::string host;
    std::string fingerprint;   // "=": the server's own
    bool trustStoreHasIt;      // the test certificate among the trusted ones
    std::string error;         // empty: the login goes through; else the start of the error
};

TEST_F(FtpsVsftpd, TrustsTheSystemsCertificatesForTheHostOrExactlyThePinnedOne) {
    VsftpdServer server(true);
    const std::string own = pairsOf(server.certificate().fingerprint);
    std::string other = own;
    other[0] = other[0] == 'A' ? 'B' : 'A';
    const std::string untrusted = "FTP_CONNECTED ERROR: Exception: Zertifikat nicht vertrauenswürdig: ";
    const TrustCase cases[] = {
        {"pinned: name and signer do not matter", "fremd.test", "=", false, ""},
        {"pinned, another certificate", "127.0.0.1", other, true,
         untrusted + "SHA-256 Fingerabdruck " + own + " statt des eingetragenen " + other},
        {"unknown signer", "127.0.0.1", "", false, untrusted + "self-signed certificate (SHA-256 Fingerabdruck " + own + ")"},
        {"trusted, its address", "127.0.0.1", "", true, ""},
        {"trusted, its name", "localhost", "", true, ""},
        {"trusted, another name", "fremd.test", "", true, untrusted + "hostname mismatch (SHA-256 Fingerabdruck " + own + ")"},
        {"malformed fingerprint", "127.0.0.1", "AB:CD", true, "FTP_CONNECTED ERROR: Exception: Ungültiger TLS-Fingerabdruck \"AB:CD\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // OpenSSL's default trust store reads this variable at every connect.
        ScopedEnv trust("SSL_CERT_FILE",
                        c.trustStoreHasIt ? server.certificate().certificateFile.c_str() : "/dev/null");
        Harness h(server, true);
        h.resolver.add("fremd.test", "127.0.0.1");
        h.settings.host = c.host;
        h.settings.tlsFingerprint = c.fingerprint == "=" ? server.certificate().fingerprint : c.fingerprint;
        const std::size_t before = server.commands().size();
        h.connect();
        if (c.error.empty()) {
            EXPECT_TRUE(h.session.ftpOpen()) << h.lines.back();
            h.session.B_DisconnectClick();
            continue;
        }
        EXPECT_FALSE(h.session.ftpOpen());
        EXPECT_TRUE(h.loggedStartingWith(c.error)) << h.lines.back();
        // The refusal comes before the login: the server saw AUTH TLS and nothing else.
        const Lines sent = server.commands();
        const Lines expected = c.name == std::string("malformed fingerprint") ? Lines{} : Lines{"AUTH TLS"};
        EXPECT_EQ(Lines(sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()), expected);
    }
}

TEST_F(FtpsVsftpd, AServerWithoutTlsIsRefusedAndNeverTalkedToInPlainText) {
    VsftpdServer server(false);
    Harness h(server, true);
    h.settings.tlsFingerprint = "";
    h.connect();
    EXPECT_FALSE(h.session.ftpOpen());
    EXPECT_TRUE(h.loggedStartingWith("FTP_CONNECTED ERROR: Exception: TLS abgelehnt: 5")) << h.lines.back();
    EXPECT_EQ(server.commands(), (Lines{"AUTH TLS"}));
}

}  // namespace
}  // namespace velora::test
