// The SFTP side of the session against OpenSSH's sshd (one sshd -i per connection, see
// SshServer): logins, stores, the replacing rename, host keys, refusals and a server
// that goes away in the middle of a store.
#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "app/ClientIdentity.h"
#include "ftp/FtpSession.h"
#include "ftp/SftpClient.h"
#include "integration/support/SshServer.h"
#include "platform/Errors.h"
#include "support/ErrorOf.h"
#include "support/FixedResolver.h"
#include "support/LogHarness.h"
#include "support/LoopbackPort.h"
#include "support/ScopedEnv.h"
#include "unit/ftp/SessionHarness.h"

namespace velora::test {
namespace {

using Lines = std::vector<std::string>;

// The account the tests log in as: sshd runs as root, and the test password is root's.
const std::string kUser = "root";

// A session whose connections all reach the test's sshd, logging in with the client
// key and the host key pinned, as a user who set SFTP up would.
struct SftpHarness : LogHarness {
    SshServer& server;
    SshServer::Connector connector{server};
    FixedResolver resolver{{{"sftp.example", "127.0.0.1"}}};
    ClientIdentity identity;
    FtpSession session;
    FtpLogin settings;

    explicit SftpHarness(SshServer& s, FtpTimeouts timeouts = {})
        : LogHarness("5000"), server(s), session(identity, log, ui, resolver, connector, timeouts) {
        settings.sftp = true;
        settings.host = "127.0.0.1";
        settings.user = kUser;
        settings.password = "nicht-benutzt";
        settings.sftpKeyFile = s.clientKey();
        settings.sftpHostKey = s.hostKeyFingerprint();
    }
    void connect() { session.B_connectClick(settings); }
    std::string served(const std::string& relative) const { return readFileBytes(server.folder(relative)); }
};

class SftpSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = SshServer::unavailable();
        if (!why.empty()) GTEST_SKIP() << why;
        server = std::make_unique<SshServer>();
    }
    std::unique_ptr<SshServer> server;
};

TEST_F(SftpSessionTest, EveryKindOfLoginStoresByteForByteAndLogsLikeFtp) {
    struct Row {
        const char* name;
        std::string keyType;   // empty: the password
    };
    for (const Row& row : {Row{"ed25519", "ed25519"}, Row{"ecdsa", "ecdsa"}, Row{"rsa", "rsa"}, Row{"password", ""}}) {
        SCOPED_TRACE(row.name);
        SftpHarness h(*server);
        if (row.keyType.empty()) {
            h.settings.sftpKeyFile.clear();
            h.settings.password = SshServer::kPassword;
        } else if (row.keyType != "ed25519") {
            h.settings.sftpKeyFile = server->makeKey(std::string("client_") + row.name, row.keyType);
            server->authorize(h.settings.sftpKeyFile);
        }
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
        ASSERT_GE(h.lines.size(), 11u);
        EXPECT_EQ(Lines(h.lines.begin(), h.lines.begin() + 9),
                  (Lines{"Procedure --> Connect", "Host 127.0.0.1", "User " + kUser, "Host 127.0.0.1",
                         "SFTP: Passiv gilt hier nicht", "Status --> Connecting to 127.0.0.1.", "Status --> Connected.",
                         "Status --> Connection established", "ONLINE"}));
        EXPECT_EQ(h.lines[9].rfind("SSH-2.0-OpenSSH", 0), 0u) << h.lines[9];
        EXPECT_EQ(h.lines[10], "TransferTimeout = 1000 msec.");
        EXPECT_EQ(h.connector.asked, Lines{"127.0.0.1:22"});

        const std::string big = patterned(3 * 256 * 1024 + 17);
        const std::size_t before = h.lines.size();
        EXPECT_EQ(h.session.Put(h.dir.write("big.bin", big), "upload.bin"), static_cast<std::int64_t>(big.size()));
        EXPECT_EQ(h.served("upload.bin"), big);
        EXPECT_EQ(h.linesFrom(before),
                  (Lines{"Status --> Starting FTP transfer", "Status --> Size : 786449 Byte", "Status --> 262144",
                         "Status --> 524288", "Status --> 786432", "Status --> 786449", "Status --> Work End",
                         "Status --> Transfer complete"}));
        // A shorter store replaces the file instead of writing over its start.
        EXPECT_EQ(h.session.Put(h.dir.write("small.bin", "kurz"), "upload.bin"), 4);
        EXPECT_EQ(h.served("upload.bin"), "kurz");
        EXPECT_EQ(h.session.Put(h.dir.write("leer.txt", ""), ""), 0);
        EXPECT_EQ(h.served("leer.txt"), "");

        const std::size_t closing = h.lines.size();
        h.session.B_DisconnectClick();
        EXPECT_EQ(h.linesFrom(closing), (Lines{"Status --> Disconnecting.", "Procedure --> Disconnected",
                                               "Status --> Disconnect = OFFLINE", "Status --> Disconnected.",
                                               "Procedure --> Disconnect"}));
        for (const auto& line : h.lines) EXPECT_EQ(line.find(SshServer::kPassword), std::string::npos) << line;
        server->reap();
    }
}

// With the temporary name the old file stays whole and in place while the new one is
// written, and then gives way to it: in one step where the server offers posix-rename
// (OpenSSH), by removing it first where it does not (the scripted server).
TEST(SftpReplace, TemporaryNameReplacesTheOldFileWhole) {
    const std::string why = SshServer::unavailable();
    if (!why.empty()) GTEST_SKIP() << why;
    struct Row {
        SshServer::Sftp kind;
        const char* name;
        std::string requestsAfterWrites;   // of the scripted server: to replace, then to store anew
    };
    for (const Row& row : {Row{SshServer::Sftp::OpenSsh, "posix-rename", ""},
                           Row{SshServer::Sftp::PlainRename, "remove, then rename", "CLOSE\nRENAME\nREMOVE\nRENAME\n"}}) {
        SCOPED_TRACE(row.name);
        SshServer server(row.kind);
        SftpHarness h(server);
        h.settings.tempRename = true;
        writeFileBytes(server.folder("wetter.txt"), "alter Stand");
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back() << "\n" << server.scriptErrors();
        int whileWriting = 0;
        // Events also run after the rename (its log lines); only the time the part is
        // there is the time of writing.
        h.ui.onPump = [&] {
            if (!std::filesystem::exists(server.folder("wetter.txt.part"))) return;
            EXPECT_EQ(h.served("wetter.txt"), "alter Stand");
            ++whileWriting;
        };
        const std::string fresh = patterned(5 * 256 * 1024);
        EXPECT_EQ(h.session.Put(h.dir.write("neu.txt", fresh), "wetter.txt"), static_cast<std::int64_t>(fresh.size()));
        h.ui.onPump = nullptr;
        EXPECT_GE(whileWriting, 5);   // once per block at least
        // The FTP client's words for the same step, so log watchers read both alike.
        for (const char* line : {"Status --> Renaming wetter.txt.part to wetter.txt", "Status --> Renamed."}) {
            EXPECT_NE(std::find(h.lines.begin(), h.lines.end(), line), h.lines.end()) << line;
        }
        EXPECT_EQ(h.served("wetter.txt"), fresh);
        EXPECT_FALSE(std::filesystem::exists(server.folder("wetter.txt.part")));
        if (row.kind == SshServer::Sftp::PlainRename) {
            const std::string requests = server.scriptedRequests();
            const std::string tail = "WRITE\n" + row.requestsAfterWrites;
            ASSERT_GE(requests.size(), tail.size());
            EXPECT_EQ(requests.substr(requests.size() - tail.size()), tail) << requests;
            // A new name needs no removal.
            h.session.Put(h.dir.write("neu.txt", "x"), "neu.txt");
            EXPECT_EQ(server.scriptedRequests().substr(requests.size()), "OPEN\nWRITE\nCLOSE\nRENAME\n");
            EXPECT_EQ(h.served("neu.txt"), "x");
        }
        h.session.B_DisconnectClick();
    }
}

TEST_F(SftpSessionTest, FoldersAreTakenFromTheLoginFolderAndMustExist) {
    std::filesystem::create_directories(server->folder("bilder/heute"));
    writeFileBytes(server->folder("datei.txt"), "x");
    SftpHarness h(*server);
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
    struct Row {
        std::string path;
        std::string landsIn;   // empty: refused with this text after the folder
        std::string refusal;
    };
    const std::string served = server->servedFolder();
    for (const Row& row : {Row{"bilder", "bilder/", ""}, Row{"bilder/heute", "bilder/heute/", ""},
                           Row{served + "/bilder", "bilder/", ""}, Row{"", "", ""},
                           Row{"fehlt", "", served + "/fehlt: No such file"},
                           Row{"datei.txt", "", served + "/datei.txt: kein Ordner"}}) {
        SCOPED_TRACE(row.path);
        // A relative path never depends on where the row before went.
        h.session.ChangeDir("bilder/heute");
        if (!row.refusal.empty()) {
            EXPECT_EQ(errorOf([&] { h.session.ChangeDir(row.path); }), "SFTP Ordner " + row.refusal);
            EXPECT_TRUE(h.session.connected());
            continue;
        }
        h.session.ChangeDir(row.path);
        h.session.Put(h.dir.write("cam.jpg", row.path), "cam.jpg");
        EXPECT_EQ(h.served(row.landsIn + "cam.jpg"), row.path);
    }
    h.session.B_DisconnectClick();
}

// Whatever the host key setting or known_hosts say against the server's key, the
// connect ends before the server hears of any user or password.
TEST_F(SftpSessionTest, HostKeysAreCheckedBeforeAnyAuthentication) {
    const std::string real = server->hostKeyFingerprint();
    const std::string otherPin = "SHA256:" + std::string(42, 'A') + "E";
    struct Row {
        const char* name;
        std::string pin;
        std::string home;   // for known_hosts
        std::string refusal;   // empty: the login goes ahead
    };
    const std::string noHosts = server->root() + "/home-empty";
    std::filesystem::create_directories(noHosts + "/.ssh");
    const Row rows[] = {
        {"pinned", real, noHosts, ""},
        {"pinned without prefix", "  " + real.substr(7) + " ", noHosts, ""},
        {"known_hosts", "", server->homeWithKnownHosts("127.0.0.1", true), ""},
        {"pinned other", otherPin, noHosts, "ist " + real + ", nicht " + otherPin + " aus SFTP_HostKey"},
        {"unknown", "", noHosts, "unbekannt: " + real},
        {"changed", "", server->homeWithKnownHosts("127.0.0.1", false), "hat sich geändert: " + real},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedEnv home("HOME", row.home.c_str());
        SftpHarness h(*server);
        h.settings.sftpHostKey = row.pin;
        h.settings.sftpKeyFile.clear();
        h.settings.password = SshServer::kPassword;
        const std::size_t logBefore = server->log().size();
        h.connect();
        if (row.refusal.empty()) {
            EXPECT_TRUE(h.session.ftpOpen()) << h.lines.back();
            h.session.B_DisconnectClick();
        } else {
            EXPECT_FALSE(h.session.connected());
            EXPECT_TRUE(h.loggedStartingWith("FTP_CONNECTED ERROR: Exception: SFTP Host-Schlüssel von 127.0.0.1 " +
                                             row.refusal))
                << h.lines.back();
            EXPECT_TRUE(h.logged("Status --> Disconnected."));
        }
        server->reap();
        const std::string sshdLog = server->log().substr(logBefore);
        EXPECT_EQ(sshdLog.find("userauth-request") == std::string::npos, !row.refusal.empty()) << sshdLog;
    }
}

// Settings that cannot work are refused before any connection is opened.
TEST_F(SftpSessionTest, UnusableSettingsFailBeforeAnyConnection) {
    const std::string encrypted = server->makeKey("verschluesselt", "ed25519", "geheim");
    const std::string text = server->root() + "/kein-schluessel.txt";
    writeFileBytes(text, "Hallo\n");
    const std::string missing = server->root() + "/fehlt_ed25519";
    struct Row {
        std::string keyFile;
        std::string hostKey;
        std::string error;
    };
    const std::string pin = server->hostKeyFingerprint();
    const Row rows[] = {
        {missing, pin, "Schlüsseldatei nicht gefunden: " + missing + " (No such file or directory)"},
        {text, pin, "Keine private Schlüsseldatei: " + text + " (unterstützt: ed25519, ecdsa, rsa, ohne Passphrase)"},
        {encrypted, pin, "Schlüsseldatei verschlüsselt: " + encrypted + " (nur Schlüssel ohne Passphrase)"},
        {server->clientKey(), "MD5:16:27:ac:a5:76:28:2d:36:63:1b:56:4d:eb:df:a6:48",
         "SFTP_HostKey hat ein falsches Format: \"MD5:16:27:ac:a5:76:28:2d:36:63:1b:56:4d:eb:df:a6:48\" "
         "(erwartet SHA256:... wie ssh-keygen -l -E sha256 es zeigt)"},
        {server->clientKey(), pin.substr(0, pin.size() - 1),
         "SFTP_HostKey hat ein falsches Format: \"" + pin.substr(0, pin.size() - 1) +
             "\" (erwartet SHA256:... wie ssh-keygen -l -E sha256 es zeigt)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        SftpHarness h(*server);
        h.settings.sftpKeyFile = row.keyFile;
        h.settings.sftpHostKey = row.hostKey;
        h.connect();
        EXPECT_EQ(h.lines.back(), "FTP_CONNECTED ERROR: Exception: " + row.error);
        EXPECT_TRUE(h.connector.asked.empty());
        EXPECT_FALSE(h.session.connected());
    }
}

// A folder the server may not write to: the store fails with the server's text, the
// file there keeps its bytes, and the session carries on.
TEST_F(SftpSessionTest, RefusedStoreLeavesTheOldFileAndTheSession) {
    const std::string folder = SshServer::kReadOnlyFolder;
    writeFileBytes(server->folder(folder + "/alt.txt"), "bleibt");
    for (bool tempRename : {false, true}) {
        SCOPED_TRACE(tempRename ? "temporary name" : "direct");
        SftpHarness h(*server);
        h.settings.tempRename = tempRename;
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
        h.session.ChangeDir(folder);
        const std::string stored = server->servedFolder() + "/" + folder + "/alt.txt" + (tempRename ? ".part" : "");
        EXPECT_EQ(errorOf([&] { h.session.Put(h.dir.write("neu.txt", "neu"), "alt.txt"); }),
                  "SFTP " + stored + ": Failure");
        EXPECT_EQ(h.served(folder + "/alt.txt"), "bleibt");
        ASSERT_TRUE(h.session.connected());
        h.session.ChangeDir("");
        EXPECT_EQ(h.session.Put(h.dir.write("neu.txt", "neu"), "neu.txt"), 3);
        h.session.B_DisconnectClick();
        server->reap();
    }
}

// A server killed or frozen in the middle of a store: the store ends as an error within
// the time-outs, and the session is closed.
TEST_F(SftpSessionTest, ServerGoneInTheMiddleOfAStoreEndsIt) {
    FtpTimeouts timeouts;
    timeouts.sendStallMs = 300;
    timeouts.wholeReplyMs = 300;
    timeouts.quitReplyMs = 10;
    struct Row {
        int signal;
        std::string error;
    };
    for (const Row& row : {Row{SIGKILL, "Datenverbindung abgebrochen nach "},
                           Row{SIGSTOP, "Zeitüberschreitung der Datenverbindung nach "}}) {
        SCOPED_TRACE(row.signal);
        SftpHarness h(*server, timeouts);
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
        // After the first block has gone out.
        h.ui.onPump = [&] {
            if (h.lines.back() == "Status --> 262144") server->signalConnections(row.signal);
        };
        const std::string error = errorOf([&] { h.session.Put(h.dir.write("gross.bin", patterned(64 << 20)), "g.bin"); });
        EXPECT_EQ(error.rfind(row.error, 0), 0u) << error;
        EXPECT_FALSE(h.session.connected());
        EXPECT_TRUE(h.logged("Status --> Work End"));
        EXPECT_TRUE(h.logged("Status --> Disconnect = OFFLINE"));
        h.ui.onPump = nullptr;
        server->signalConnections(SIGKILL);
        server->reap();
    }
}

// The program's end request between two blocks gives the store up at once; the
// session stays usable and, with the temporary name, nothing of the store remains.
TEST_F(SftpSessionTest, EndRequestGivesTheStoreUpBetweenBlocks) {
    struct EndingEvents final : FtpClientEvents {
        int blocks = 0;
        bool ending = true;
        void IdFTP1Status(const std::string&) override {}
        void IdFTP1WorkBegin(std::int64_t) override {}
        void IdFTP1Work(std::int64_t) override { ++blocks; }
        void IdFTP1WorkEnd() override {}
        void IdFTP1Disconnected() override {}
        void notice(const std::string&) override {}
        bool abandonStore() override { return ending && blocks >= 2; }
    };
    writeFileBytes(server->folder("bild.jpg"), "altes Bild");
    for (bool tempRename : {true, false}) {
        SCOPED_TRACE(tempRename ? "temporary name" : "direct");
        EndingEvents events;
        FixedResolver resolver;
        SshServer::Connector connector(*server);
        SftpClient client(events, resolver, connector);
        FtpLogin login;
        login.host = "127.0.0.1";
        login.user = kUser;
        login.sftpKeyFile = server->clientKey();
        login.sftpHostKey = server->hostKeyFingerprint();
        login.tempRename = tempRename;
        client.connect(login);
        TempDir local;
        EXPECT_EQ(errorOf([&] { client.put(local.write("neu.jpg", patterned(8 * 256 * 1024)), "bild.jpg"); }),
                  "Übertragung abgebrochen nach 524288 von 2097152 Bytes: Programmende");
        EXPECT_EQ(events.blocks, 2);
        ASSERT_TRUE(client.connected());
        EXPECT_FALSE(std::filesystem::exists(server->folder("bild.jpg.part")));
        if (tempRename) {
            EXPECT_EQ(readFileBytes(server->folder("bild.jpg")), "altes Bild");
        }
        events.ending = false;
        EXPECT_EQ(client.put(local.write("klein.txt", "ok"), "klein.txt"), 2);
        client.disconnect();
        server->reap();
    }
}

// Window messages run while the store logs; a disconnect among them ends the store
// wherever it comes, with nothing used after it was closed.
TEST_F(SftpSessionTest, DisconnectFromAHandlerEndsTheStore) {
    for (const char* at : {"Status --> 262144", "Status --> Work End", "Status --> Transfer complete"}) {
        SCOPED_TRACE(at);
        SftpHarness h(*server);
        h.settings.tempRename = true;
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
        h.ui.onPump = [&] {
            if (h.lines.back() == at && h.session.connected()) h.session.B_DisconnectClick();
        };
        EXPECT_EQ(errorOf([&] { h.session.Put(h.dir.write("a.bin", patterned(3 * 256 * 1024)), "a.bin"); }),
                  "Not Connected");
        EXPECT_FALSE(h.session.connected());
        EXPECT_FALSE(std::filesystem::exists(server->folder("a.bin")));
        h.ui.onPump = nullptr;
        server->reap();
    }
}

// Hosts that never answer: one that drops the connection request, one whose system
// takes the connection but no server ever speaks on it.
TEST(SftpConnect, HostsThatNeverAnswerEndAfterTheirTimeOuts) {
    TcpSocket silent = TcpSocket::listenOn("127.0.0.1", 0);
    FtpTimeouts timeouts;
    timeouts.connectMs = 100;
    timeouts.wholeReplyMs = 200;
    struct Row {
        int port;
        std::string line;
    };
    for (const Row& row : {Row{test::synDroppingLoopbackPort(), "FTP_CONNECTED ERROR:  EIdSocketError: Connection timed out"},
                           Row{silent.localAddress().port, "FTP_CONNECTED ERROR: Exception: SSH Verbindung: "}}) {
        SCOPED_TRACE(row.port);
        SessionHarness h(21, timeouts);
        h.settings.sftp = true;
        h.settings.sftpPort = row.port;
        h.settings.sftpHostKey = "SHA256:" + std::string(42, 'A') + "E";
        h.connect();
        EXPECT_EQ(h.lines.back().rfind(row.line, 0), 0u) << h.lines.back();
        EXPECT_FALSE(h.session.connected());
    }
}

}  // namespace
}  // namespace velora::test
