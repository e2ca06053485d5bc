// ChangeDir and Put against the scripted server: passive and active stores, the data
// that arrives, the progress lines, and every way the server can break a store.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "FakeFtpServer.h"
#include "SessionHarness.h"
#include "ftp/FtpClient.h"
#include "platform/Errors.h"
#include "support/ErrorOf.h"

namespace velora::test {
namespace {

using Lines = std::vector<std::string>;
using test::errorOf;
constexpr std::size_t kFileSize = 600 * 1024;   // two full blocks and a part

// The wire after the login commands.
Lines afterLogin(const Lines& wire) {
    return wire.size() > kLoginCommands ? Lines(wire.begin() + kLoginCommands, wire.end()) : Lines{};
}

struct Connected {
    FakeFtpServer server;
    SessionHarness h;
    explicit Connected(std::vector<FakeStep> after, bool passive = true, const std::string& feat = "211 none\r\n")
        : server(withLogin(std::move(after), feat)), h(server.port()) {
        h.settings.passive = passive;
        h.connect();
    }
};

TEST(FtpSessionPut, PassiveStoreSendsEveryByteAndLogsProgressPerBlock) {
    const char* replies[] = {"227 Entering Passive Mode (%s).\r\n",   // with parentheses
                             "227 Entering Passive Mode %s\r\n"};    // the last word
    for (const char* reply : replies) {
        Connected c({{"PASV", pasv(reply)}, {"STOR", receivePassive("150 Ok to send data.\r\n", "226 Transfer complete.\r\n")}});
        ASSERT_TRUE(c.h.session.ftpOpen()) << reply;
        const std::string body = patterned(kFileSize);
        const std::string local = c.h.dir.write("report.csv", body);
        const std::size_t before = c.h.lines.size();
        // The bytes the server received and confirmed.
        EXPECT_EQ(c.h.session.Put(local, "export.csv"), static_cast<std::int64_t>(kFileSize)) << reply;
        EXPECT_EQ(c.h.linesFrom(before),
                  (Lines{"Status --> Starting FTP transfer", "Status --> Size : 614400 Byte", "Status --> 262144",
                         "Status --> 524288", "Status --> 614400", "Status --> Work End", "Status --> Transfer complete"}))
            << reply;
        c.h.session.B_DisconnectClick();
        // "PASV\r\n" then "STOR export.csv\r\n", sent before the data connection opens
        EXPECT_EQ(afterLogin(c.server.finish()), (Lines{"PASV", "STOR export.csv", "QUIT"})) << reply;
        EXPECT_EQ(c.server.data(), body) << reply;
    }
}

TEST(FtpSessionPut, PretGoesFirstWhenTheServerListsIt) {
    Connected c({{"PRET", send("200 ready\r\n")},
                 {"PASV", pasv("227 Entering Passive Mode (%s)\r\n")},
                 {"STOR", receivePassive("150 go\r\n", "226 done\r\n")}},
                true, "211-Features:\r\n PRET\r\n211 End\r\n");
    c.h.session.Put(c.h.dir.write("a.txt", "abc"), "b.txt");
    c.h.session.B_DisconnectClick();
    EXPECT_EQ(afterLogin(c.server.finish()), (Lines{"PRET STOR b.txt", "PASV", "STOR b.txt", "QUIT"}));
    EXPECT_EQ(c.server.data(), "abc");
}

TEST(FtpSessionPut, DataGoesToTheControlPeerWhateverAddressPasvNames) {
    // Another loopback address: were it followed, the connection would be refused.
    Connected c({{"PASV", pasv("227 Entering Passive Mode (%s)\r\n", "127,0,0,2")},
                 {"STOR", receivePassive("150 go\r\n", "226 done\r\n")}});
    c.h.session.Put(c.h.dir.write("a.txt", "payload"), "");
    EXPECT_TRUE(c.h.logged("PASV-Adresse 127.0.0.2 ignoriert, verwende 127.0.0.1"));
    c.h.session.B_DisconnectClick();
    // An empty remote name stores under the local name part.
    EXPECT_EQ(afterLogin(c.server.finish()), (Lines{"PASV", "STOR a.txt", "QUIT"}));
    EXPECT_EQ(c.server.data(), "payload");
}

TEST(FtpSessionPut, BadPasvNumbersFailWithoutStorOrDataConnection) {
    const char* replies[] = {"227 Entering Passive Mode (127,0,0,1,4)\r\n", "227 Entering Passive Mode (127,0,0,1,4,1,9)\r\n",
                             "227 Entering Passive Mode (127,0,0,999,4,1)\r\n", "227 Entering Passive Mode (127,0,0,1,0,0)\r\n",
                             "227 Entering Passive Mode (127,0,0,1,x,1)\r\n"};
    for (const char* reply : replies) {
        Connected c({{"PASV", send(reply)}});
        const std::string error = errorOf([&] { c.h.session.Put(c.h.dir.write("a.txt", "x"), "a.txt"); });
        EXPECT_EQ(error.rfind("Ungültige PASV-Antwort: 227", 0), 0u) << error;
        EXPECT_TRUE(c.h.session.connected()) << reply;
        c.h.session.B_DisconnectClick();
        EXPECT_EQ(afterLogin(c.server.finish()), (Lines{"PASV", "QUIT"})) << reply;
    }
}

struct FailureCase {
    const char* name;
    bool passive;
    std::vector<FakeStep> steps;
    std::string error;     // a regular expression for the whole text
    bool stillConnected;   // false: the session closed, it was out of step or told to go
};

TEST(FtpSessionPut, ServerFailuresReachTheCallerWithTheReplyText) {
    const FakeStep pasvOk{"PASV", pasv("227 Entering Passive Mode (%s)\r\n")};
    const FakeStep portOk{"PORT", send("200 PORT ok\r\n")};
    const std::vector<FailureCase> cases = {
        {"550 to passive STOR", true, {pasvOk, {"STOR", send("550 Permission denied.\r\n")}}, "550 Permission denied.", true},
        {"552 to active STOR", false, {portOk, {"STOR", send("552 Quota exceeded.\r\n")}}, "552 Quota exceeded.", true},
        {"PORT refused", false, {{"PORT", send("500 Illegal PORT.\r\n")}}, "500 Illegal PORT.", true},
        // The bytes that were written before the break depend on the buffers; the size
        // is the file's.
        {"data connection closed early", true,
         {pasvOk, {"STOR", receivePassiveEndingAfter(1000, DataEnd::Close, "150 go\r\n", "426 Transfer aborted.\r\n")}},
         "Datenverbindung abgebrochen nach \\d+ von 614400 Bytes: .+", true},
        {"data connection reset, then 226", true,
         {pasvOk, {"STOR", receivePassiveEndingAfter(1000, DataEnd::Reset, "150 go\r\n", "226 Transfer complete.\r\n")}},
         "Datenverbindung abgebrochen nach \\d+ von 614400 Bytes: .+", true},
        {"final reply is an error", true, {pasvOk, {"STOR", receivePassive("150 go\r\n", "451 Disk error.\r\n")}},
         "451 Disk error.", true},
        {"no final reply", true, {pasvOk, {"STOR", receivePassive("150 go\r\n", "")}}, "Read Timeout", false},
        {"no reply to STOR", true, {pasvOk, {"STOR", silence()}}, "Read Timeout", false},
        {"421 to PASV", true, {{"PASV", send("421 Timeout.\r\n")}}, "421 Timeout.", false},
        {"421 to STOR", true, {pasvOk, {"STOR", send("421 Going down.\r\n")}}, "421 Going down.", false},
        {"421 as final reply", true, {pasvOk, {"STOR", receivePassive("150 go\r\n", "421 Bye.\r\n")}}, "421 Bye.", false},
        {"421 while waiting for the active connection", false,
         {portOk, {"STOR", send("150 go\r\n421 Shutting down.\r\n")}}, "421 Shutting down.", false},
        // Two replies in one read: the 425 behind the 150 ends the wait at once.
        {"425 while waiting for the active connection", false,
         {portOk, {"STOR", send("150 go\r\n425 Can't open data connection.\r\n")}}, "425 Can't open data connection.",
         true},
    };
    for (const auto& c : cases) {
        Connected s(c.steps, c.passive);
        ASSERT_TRUE(s.h.session.ftpOpen()) << c.name;
        const auto start = std::chrono::steady_clock::now();
        const std::string error = errorOf([&] { s.h.session.Put(s.h.dir.write("a.txt", patterned(kFileSize)), "a.txt"); });
        EXPECT_TRUE(std::regex_match(error, std::regex(c.error))) << c.name << ": " << error;
        // A store whose data did not all arrive never says it is complete.
        if (error.rfind("Datenverbindung", 0) == 0) {
            EXPECT_FALSE(s.h.logged("Status --> Transfer complete")) << c.name;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
        EXPECT_EQ(s.h.session.connected(), c.stillConnected) << c.name;
        EXPECT_EQ(s.h.session.ftpOpen(), c.stillConnected) << c.name;
        if (!c.stillConnected) {
            EXPECT_TRUE(s.h.logged("Status --> Disconnected.")) << c.name;
        }
        s.h.session.B_DisconnectClick();
        s.server.finish();
    }
}

// With "Upload_Temp_Rename" the file goes up as NAME.part and is renamed over NAME only
// once the server confirmed it; a server that will not rename over a file gets its
// old one deleted first, once. Whatever fails, a piece never stays as NAME.part,
// unless the old file is gone and the part is the only whole copy left.
TEST(FtpSessionPut, TempRenameStoresAPartAndRenamesItOnlyOverAConfirmedStore) {
    const FakeStep pasvOk{"PASV", pasv("227 Entering Passive Mode (%s)\r\n")};
    const FakeStep stored{"STOR", receivePassive("150 go\r\n", "226 done\r\n")};
    const FakeStep rnfrOk{"RNFR", send("350 Ready for destination name.\r\n")};
    const FakeStep rntoOk{"RNTO", send("250 Renaming ok.\r\n")};
    const FakeStep rntoExists{"RNTO", send("553 File exists.\r\n")};
    struct Case {
        const char* name;
        std::vector<FakeStep> steps;
        std::string error;   // empty: stored
        Lines wire;          // after the login
    };
    const std::vector<Case> cases = {
        {"renamed at once", {pasvOk, stored, rnfrOk, rntoOk}, "",
         {"PASV", "STOR a.txt.part", "RNFR a.txt.part", "RNTO a.txt", "QUIT"}},
        {"RNTO refused, the old file deleted, renamed", {pasvOk, stored, rnfrOk, rntoExists,
          {"DELE", send("250 Deleted.\r\n")}, rnfrOk, rntoOk}, "",
         {"PASV", "STOR a.txt.part", "RNFR a.txt.part", "RNTO a.txt", "DELE a.txt", "RNFR a.txt.part", "RNTO a.txt",
          "QUIT"}},
        {"refused twice, the old file still there", {pasvOk, stored, rnfrOk, rntoExists,
          {"DELE", send("550 Permission denied.\r\n")}, rnfrOk, rntoExists, {"DELE", send("250 Deleted.\r\n")}},
         "553 File exists.",
         {"PASV", "STOR a.txt.part", "RNFR a.txt.part", "RNTO a.txt", "DELE a.txt", "RNFR a.txt.part", "RNTO a.txt",
          "DELE a.txt.part", "QUIT"}},
        {"refused twice after the old file was deleted: the part stays", {pasvOk, stored, rnfrOk, rntoExists,
          {"DELE", send("250 Deleted.\r\n")}, rnfrOk, rntoExists}, "553 File exists.",
         {"PASV", "STOR a.txt.part", "RNFR a.txt.part", "RNTO a.txt", "DELE a.txt", "RNFR a.txt.part", "RNTO a.txt",
          "QUIT"}},
        {"RNFR refused", {pasvOk, stored, {"RNFR", send("550 No such file.\r\n")}, {"DELE", send("550 No.\r\n")}},
         "550 No such file.", {"PASV", "STOR a.txt.part", "RNFR a.txt.part", "DELE a.txt.part", "QUIT"}},
        // Only a refusal for good (5xx) deletes the old file.
        {"RNTO refused for now", {pasvOk, stored, rnfrOk, {"RNTO", send("450 Busy.\r\n")}, {"DELE", send("250 ok\r\n")}},
         "450 Busy.", {"PASV", "STOR a.txt.part", "RNFR a.txt.part", "RNTO a.txt", "DELE a.txt.part", "QUIT"}},
        {"final reply an error", {pasvOk, {"STOR", receivePassive("150 go\r\n", "451 Disk error.\r\n")},
          {"DELE", send("250 ok\r\n")}}, "451 Disk error.", {"PASV", "STOR a.txt.part", "DELE a.txt.part", "QUIT"}},
        {"data connection reset", {pasvOk, {"STOR", receivePassiveEndingAfter(1000, DataEnd::Reset, "150 go\r\n",
          "426 Aborted.\r\n")}, {"DELE", send("250 ok\r\n")}},
         "Datenverbindung abgebrochen nach \\d+ von 614400 Bytes: .+",
         {"PASV", "STOR a.txt.part", "DELE a.txt.part", "QUIT"}},
        // Nothing was stored, so there is nothing to remove.
        {"STOR refused", {pasvOk, {"STOR", send("550 Permission denied.\r\n")}}, "550 Permission denied.",
         {"PASV", "STOR a.txt.part", "QUIT"}},
    };
    for (const auto& c : cases) {
        FakeFtpServer server(withLogin(c.steps));
        SessionHarness h(server.port());
        h.settings.tempRename = true;
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << c.name;
        const std::string body = patterned(kFileSize);
        std::int64_t sent = -1;
        const std::string error = errorOf([&] { sent = h.session.Put(h.dir.write("a.txt", body), "a.txt"); });
        if (c.error.empty()) {
            EXPECT_EQ(error, test::kNoError) << c.name;
            EXPECT_EQ(sent, static_cast<std::int64_t>(kFileSize)) << c.name;
            EXPECT_TRUE(h.logged("Status --> Renaming a.txt.part to a.txt")) << c.name;
            EXPECT_TRUE(h.logged("Status --> Renamed.")) << c.name;
        } else {
            EXPECT_TRUE(std::regex_match(error, std::regex(c.error))) << c.name << ": " << error;
            EXPECT_FALSE(h.logged("Status --> Renamed.")) << c.name;
        }
        EXPECT_TRUE(h.session.connected()) << c.name;
        h.session.B_DisconnectClick();
        EXPECT_EQ(afterLogin(server.finish()), c.wire) << c.name;
        EXPECT_EQ(server.mismatch(), "") << c.name;
    }
}

TEST(FtpSessionPut, ActiveStoreAnnouncesTheListeningAddressAndSendsEveryByte) {
    Connected c({{"PORT", send("200 PORT ok\r\n")}, {"STOR", receiveActive("150 go\r\n", "226 done\r\n")}}, false);
    const std::string body = patterned(kFileSize);
    EXPECT_EQ(c.h.session.Put(c.h.dir.write("a.bin", body), "b.bin"), static_cast<std::int64_t>(kFileSize));
    EXPECT_TRUE(c.h.logged("Status --> Transfer complete"));
    c.h.session.B_DisconnectClick();
    const Lines wire = afterLogin(c.server.finish());
    ASSERT_EQ(wire.size(), 3u);
    // "PORT 127,0,0,1,p1,p2\r\n": the control connection's own address, the port in two bytes
    EXPECT_TRUE(std::regex_match(wire[0], std::regex(R"(PORT 127,0,0,1,\d{1,3},\d{1,3})"))) << wire[0];
    EXPECT_EQ(wire[1], "STOR b.bin");
    EXPECT_EQ(c.server.data(), body);
}

TEST(FtpSessionPut, ActiveStoreGivesUpWhenTheServerNeverConnects) {
    FakeFtpServer server(withLogin({{"PORT", send("200 ok\r\n")}, {"STOR", send("150 go\r\n")}}));
    FtpTimeouts timeouts;
    timeouts.acceptMs = 300;
    SessionHarness h(server.port(), timeouts);
    h.settings.passive = false;
    h.connect();
    const std::string local = h.dir.write("a", "x");
    EXPECT_EQ(errorOf([&] { h.session.Put(local, "a"); }), "Zeitüberschreitung: keine Datenverbindung vom Server");
    EXPECT_TRUE(h.session.connected());
    h.session.B_DisconnectClick();
    EXPECT_EQ(afterLogin(server.finish()).back(), "QUIT");
}

TEST(FtpSessionPut, LocalAndNamingFaultsSendNothing) {
    Connected c({});
    const std::string missing = c.h.dir.file("missing.txt");
    EXPECT_EQ(errorOf([&] { c.h.session.Put(missing, "x"); }),
              "Datei \"" + missing + "\" kann nicht geöffnet werden. No such file or directory");
    EXPECT_EQ(errorOf([&] { c.h.session.Put(c.h.dir.write("a", "x"), "a\r\nDELE b"); }), FtpClient::kBadCharacter);
    EXPECT_EQ(errorOf([&] { c.h.session.ChangeDir("/x\nDELE y"); }), FtpClient::kBadCharacter);
    EXPECT_FALSE(c.h.logged("Status --> Starting FTP transfer"));
    EXPECT_TRUE(c.h.session.connected());
    c.h.session.B_DisconnectClick();
    EXPECT_EQ(afterLogin(c.server.finish()), Lines{"QUIT"});
}

TEST(FtpSessionChangeDir, AcceptsOnly200And250) {
    Connected c({{"CWD", send("250 Directory changed.\r\n")},
                 {"CWD", send("200 ok\r\n")},
                 {"CWD", send("550 No such directory.\r\n")},
                 {"CWD", send("257 odd\r\n")}});
    c.h.session.ChangeDir("/wetter");
    c.h.session.ChangeDir("/wetter/web");
    EXPECT_EQ(errorOf([&] { c.h.session.ChangeDir("/fehlt"); }), "550 No such directory.");
    EXPECT_EQ(errorOf([&] { c.h.session.ChangeDir("/odd"); }), "257 odd");
    EXPECT_TRUE(c.h.session.connected());
    c.h.session.B_DisconnectClick();
    EXPECT_EQ(afterLogin(c.server.finish()), (Lines{"CWD /wetter", "CWD /wetter/web", "CWD /fehlt", "CWD /odd", "QUIT"}));
}

// The server answers CWD /slow only once the client has moved on: the late 250 must
// not answer anything sent after the time-out.
TEST(FtpSessionChangeDir, AReplyTooLateClosesTheSessionSoItAnswersNothingElse) {
    FakeFtpServer server(withLogin({{"CWD /slow", silence()}, {"QUIT", send("250 late answer\r\n221 Bye.\r\n")}}));
    SessionHarness h(server.port());
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen());
    const std::size_t before = h.lines.size();
    EXPECT_EQ(errorOf([&] { h.session.ChangeDir("/slow"); }), "Read Timeout");
    EXPECT_EQ(h.linesFrom(before), (Lines{"Status --> Disconnecting.", "Procedure --> Disconnected",
                                          "Status --> Disconnect = OFFLINE", "Status --> Disconnected."}));
    EXPECT_FALSE(h.session.ftpOpen());
    EXPECT_EQ(errorOf([&] { h.session.ChangeDir("/bad"); }), "Not Connected");
    // "CWD /slow\r\n" then "QUIT\r\n"; "CWD /bad" never leaves
    EXPECT_EQ(afterLogin(server.finish()), (Lines{"CWD /slow", "QUIT"}));
    EXPECT_EQ(server.mismatch(), "");
}

TEST(FtpSessionChangeDir, RelativeFoldersStartAtTheLoginFolder) {
    struct Case {
        const char* name;
        std::string pwdReply;
        Lines wire;           // after the login, for ChangeDir "/up", "bilder", "", "bilder"
        bool relativeSent;
    } cases[] = {
        {"login folder with a doubled quote", "257 \"/home/an\"\"na\" is current\r\n",
         {"CWD /up", "CWD /home/an\"na/bilder", "CWD ", "CWD /home/an\"na/bilder", "QUIT"}, true},
        {"login folder with a trailing slash", "257 \"/srv/\"\r\n",
         {"CWD /up", "CWD /srv/bilder", "CWD ", "CWD /srv/bilder", "QUIT"}, true},
        {"PWD refused", "550 Not allowed.\r\n", {"CWD /up", "CWD ", "QUIT"}, false},
    };
    for (const auto& c : cases) {
        std::vector<FakeStep> script = withLogin({});
        script.back() = {"PWD", send(c.pwdReply)};
        FakeFtpServer server(script, {{"CWD", "250 ok\r\n"}});
        SessionHarness h(server.port());
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << c.name;
        h.session.ChangeDir("/up");
        const std::string relative = errorOf([&] { h.session.ChangeDir("bilder"); });
        h.session.ChangeDir("");   // an empty folder goes out as it is
        const std::string again = errorOf([&] { h.session.ChangeDir("bilder"); });
        EXPECT_EQ(relative, c.relativeSent ? test::kNoError : "Anmeldeordner unbekannt: relativer FTP Pfad bilder") << c.name;
        EXPECT_EQ(again, relative) << c.name;
        EXPECT_TRUE(h.session.connected()) << c.name;
        h.session.B_DisconnectClick();
        EXPECT_EQ(afterLogin(server.finish()), c.wire) << c.name;
    }
}

TEST(FtpSessionChangeDir, A421ClosesTheSessionCleanly) {
    Connected c({{"CWD", send("421 Service not available, closing control connection.\r\n")}});
    const std::size_t before = c.h.lines.size();
    EXPECT_EQ(errorOf([&] { c.h.session.ChangeDir("/a"); }), "421 Service not available, closing control connection.");
    EXPECT_EQ(c.h.linesFrom(before), (Lines{"Status --> Disconnecting.", "Procedure --> Disconnected",
                                            "Status --> Disconnect = OFFLINE", "Status --> Disconnected."}));
    EXPECT_FALSE(c.h.session.ftpOpen());
    EXPECT_EQ(afterLogin(c.server.finish()), (Lines{"CWD /a", "QUIT"}));
}

TEST(FtpSessionPut, DisconnectFromAProgressTickEndsTheStoreWithoutHarm) {
    Connected c({{"PASV", pasv("227 Entering Passive Mode (%s)\r\n")},
                 {"STOR", receivePassive("150 go\r\n", "226 done\r\n")}});
    bool fired = false;
    c.h.ui.onPump = [&] {
        // The restart countdown may disconnect between two blocks of a store.
        if (!fired && c.h.logged("Status --> 262144")) {
            fired = true;
            c.h.session.B_DisconnectClick();
        }
    };
    EXPECT_EQ(errorOf([&] { c.h.session.Put(c.h.dir.write("a", patterned(kFileSize)), "a"); }), "Not Connected");
    EXPECT_TRUE(fired);
    EXPECT_FALSE(c.h.session.connected());
    EXPECT_FALSE(c.h.session.ftpOpen());
    c.server.finish();
}

}  // namespace
}  // namespace velora::test
