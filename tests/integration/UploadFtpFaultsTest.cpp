// Whole runs against scripted servers that answer late, read slowly, stop reading,
// break the data connection or never finish a reply: the rows, the counters, the log
// and the exact commands on the wire show that no run reports what did not happen,
// and that no wait is unbounded.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "unit/ftp/FakeFtpServer.h"
#include "unit/ftp/SessionHarness.h"
#include "unit/schedule/RunWorld.h"

namespace velora::test {
namespace {

using Lines = std::vector<std::string>;

const FakeStep kPasv{"PASV", pasv("227 Entering Passive Mode (%s).\r\n")};
const FakeStep kCwdOk{"CWD", send("250 Directory changed.\r\n")};
const FakeStep kStoreOk{"STOR", receivePassive("150 Ok to send data.\r\n", "226 Transfer complete.\r\n")};

// One run of the program against a scripted server; the login is withLogin()'s.
struct FaultRun {
    FakeFtpServer server;
    RunWorld w;

    explicit FaultRun(std::vector<FakeStep> afterLogin, FtpTimeouts timeouts = {})
        : server(withLogin(std::move(afterLogin))), w(timeouts) {
        w.ftp.setServerPort(server.port());
        w.settings.e_user_ziel = "anna";
    }
    int row(const std::string& file, const std::string& body, const std::string& folder, const std::string& name) {
        return w.addRow(w.dir.write(file, body), folder, name);
    }
    // The run, then what the server received after the login.
    Lines run() {
        w.cycle.B_StartClick();
        const Lines all = server.finish();
        EXPECT_EQ(server.mismatch(), "");
        return all.size() > kLoginCommands ? Lines(all.begin() + kLoginCommands, all.end()) : Lines{};
    }
    std::string msg(int r) const { return w.files.cell(Msg, r); }
    bool unsentAndDueAgain(int r) const { return msg(r) == "Error" && w.files.cell(PsAlt, r) == "0"; }
    void expectNothingCounted() const {
        EXPECT_TRUE(w.logged("akt.anzahl -> 0"));
        EXPECT_TRUE(w.logged("akt.Bytes  -> 0"));
        EXPECT_EQ(w.counters.Send_Files_ges, 0);
        EXPECT_EQ(w.counters.Send_Bytes_ges, 0u);
    }
    bool loggedMatching(const std::string& pattern) const {
        const std::regex re(pattern);
        for (const auto& line : w.lines) {
            if (std::regex_match(line, re)) return true;
        }
        return false;
    }
};

// "Upload_Temp_Rename" on: a store the server confirmed but will not rename over the
// old file, not even after deleting it, is no export. The row is due again, nothing is
// counted, and the next row still goes out on the same connection.
TEST(UploadFtpFaults, AStoreThatCannotBeRenamedIntoPlaceIsNotSent) {
    const FakeStep rnfrOk{"RNFR", send("350 Ready.\r\n")};
    const FakeStep rntoRefused{"RNTO", send("553 Not allowed.\r\n")};
    FaultRun f({kCwdOk, kPasv, kStoreOk, rnfrOk, rntoRefused, {"DELE a.txt", send("550 No such file.\r\n")}, rnfrOk,
                rntoRefused, {"DELE a.txt.part", send("250 Deleted.\r\n")},
                kCwdOk, kPasv, kStoreOk, rnfrOk, {"RNTO", send("250 Renamed.\r\n")}});
    f.w.settings.cb_temp_rename = true;
    const int r1 = f.row("a.txt", "eins", "/a", "a.txt");
    const int r2 = f.row("b.txt", "zwei", "/b", "b.txt");
    EXPECT_EQ(f.run(), (Lines{"CWD /a", "PASV", "STOR a.txt.part", "RNFR a.txt.part", "RNTO a.txt", "DELE a.txt",
                              "RNFR a.txt.part", "RNTO a.txt", "DELE a.txt.part", "CWD /b", "PASV", "STOR b.txt.part",
                              "RNFR b.txt.part", "RNTO b.txt", "QUIT"}));
    EXPECT_TRUE(f.unsentAndDueAgain(r1));
    EXPECT_TRUE(f.w.logged("FTP_PUT_SENDE ERROR: Exception: 553 Not allowed."));
    EXPECT_EQ(f.msg(r2), "Send");
    EXPECT_TRUE(f.w.logged("akt.anzahl -> 1"));
    EXPECT_EQ(f.w.counters.Send_Files_ges, 1);
    EXPECT_EQ(f.w.counters.Send_Bytes_ges, 4u);
}

// A reply that comes after its command gave up must not answer the next one: the
// session closes, the rows after it fail as with no connection, the next run sends them.
TEST(UploadFtpFaults, ALateReplyClosesTheSessionAndTheNextRunRetries) {
    FaultRun f({{"CWD /slow", silence()}, {"QUIT", send("250 late answer\r\n221 Bye.\r\n")}});
    const int r1 = f.row("a.txt", "eins", "/slow", "a.txt");
    const int r2 = f.row("b.txt", "zwei", "/bad", "b.txt");
    // "CWD /slow\r\n", silence, "QUIT\r\n"; "CWD /bad" never goes out
    EXPECT_EQ(f.run(), (Lines{"CWD /slow", "QUIT"}));
    EXPECT_TRUE(f.unsentAndDueAgain(r1));
    EXPECT_TRUE(f.unsentAndDueAgain(r2));
    EXPECT_TRUE(f.w.logged("ERROR -> ChangeDir /slow"));
    EXPECT_TRUE(f.w.logged("ERROR -> ChangeDir /bad"));
    EXPECT_FALSE(f.w.logged("OK --> ChangeDir /bad"));
    EXPECT_TRUE(f.w.logged("Status --> Disconnect = OFFLINE"));
    EXPECT_TRUE(f.w.logged("NOT Connect"));   // the run's own disconnect finds it closed
    f.expectNothingCounted();

    FakeFtpServer next(withLogin({kCwdOk, kPasv, kStoreOk, kCwdOk, kPasv, kStoreOk}));
    f.w.ftp.setServerPort(next.port());
    f.w.cycle.B_StartClick();
    EXPECT_EQ(f.msg(r1), "Send");
    EXPECT_EQ(f.msg(r2), "Send");
    EXPECT_EQ(f.w.counters.Send_Files_ges, 2);
    next.finish();
    EXPECT_EQ(next.data(), "einszwei");
}

TEST(UploadFtpFaults, ALateFinalReplyFailsItsOwnRowOnly) {
    FaultRun f({kCwdOk, kPasv, {"STOR", receivePassive("150 go\r\n", "")},
                {"QUIT", send("226 Transfer complete.\r\n221 Bye.\r\n")}});
    const int r1 = f.row("a.txt", "eins", "/a", "a.txt");
    const int r2 = f.row("b.txt", "zwei", "/b", "b.txt");
    EXPECT_EQ(f.run(), (Lines{"CWD /a", "PASV", "STOR a.txt", "QUIT"}));
    EXPECT_TRUE(f.unsentAndDueAgain(r1));
    EXPECT_TRUE(f.unsentAndDueAgain(r2));
    EXPECT_TRUE(f.w.logged("FTP_PUT_SENDE ERROR: Exception: Read Timeout"));
    EXPECT_TRUE(f.w.logged("ERROR -> ChangeDir /b"));
    f.expectNothingCounted();
}

// The server reads 8 KiB every 500 ms through a 4 KiB window: what the client's own
// buffers still hold after its last write takes the server longer than the 1000 ms
// reply time-out. The wait for the 226 begins only once the server has everything.
TEST(UploadFtpFaults, ASlowReaderThatConfirmsIsSend) {
    const std::string body = patterned(48 * 1024);
    FaultRun f({kCwdOk, {"PASV", pasv("227 Entering Passive Mode (%s).\r\n", "127,0,0,1", 4096)},
                {"STOR", receivePassiveSlowly(8 * 1024, 500, "150 go\r\n", "226 Transfer complete.\r\n")}});
    const int r = f.row("cam.jpg", body, "/cam", "cam.jpg");
    EXPECT_EQ(f.run(), (Lines{"CWD /cam", "PASV", "STOR cam.jpg", "QUIT"}));
    EXPECT_EQ(f.server.data(), body);
    EXPECT_EQ(f.msg(r), "Send");
    EXPECT_EQ(f.w.files.cell(PsAlt, r), f.w.files.cell(PsNeu, r));
    EXPECT_TRUE(f.w.loggedStartingWith("OK --> Senden der Datei. "));
    EXPECT_TRUE(f.w.logged("akt.anzahl -> 1"));
    EXPECT_TRUE(f.w.logged("akt.Bytes  -> 49152"));
    EXPECT_EQ(f.w.counters.Send_Bytes_ges, 49152u);
}

// Nothing moves for the stall time-out: the store fails, the server never answers,
// so the session closes too. Bounded by the time-outs, whatever the buffers hold.
TEST(UploadFtpFaults, AServerThatStopsReadingIsAnErrorInBoundedTime) {
    FtpTimeouts t;
    t.sendStallMs = 300;
    FaultRun f({kCwdOk, {"PASV", pasv("227 Entering Passive Mode (%s).\r\n", "127,0,0,1", 4096)},
                {"STOR", receivePassiveNeverReading("150 go\r\n")}},
               t);
    const int r1 = f.row("big.bin", patterned(1024 * 1024), "/a", "big.bin");
    const int r2 = f.row("b.txt", "zwei", "/b", "b.txt");
    EXPECT_EQ(f.run(), (Lines{"CWD /a", "PASV", "STOR big.bin", "QUIT"}));
    EXPECT_TRUE(f.unsentAndDueAgain(r1));
    EXPECT_TRUE(f.unsentAndDueAgain(r2));
    EXPECT_TRUE(f.loggedMatching(
        "FTP_PUT_SENDE ERROR: Exception: Zeitüberschreitung der Datenverbindung nach \\d+ von 1048576 Bytes"));
    EXPECT_FALSE(f.w.logged("Status --> Transfer complete"));
    f.expectNothingCounted();
}

// 226 after a reset is no confirmation of a whole file. The reply is still read, so
// the next row is answered in step.
TEST(UploadFtpFaults, AResetDataConnectionFollowedBy226IsAnError) {
    FaultRun f({kCwdOk, kPasv,
                {"STOR", receivePassiveEndingAfter(64 * 1024, DataEnd::Reset, "150 go\r\n", "226 Transfer complete.\r\n")},
                kCwdOk, kPasv, kStoreOk});
    const int r1 = f.row("big.bin", patterned(1024 * 1024), "/a", "big.bin");
    const int r2 = f.row("b.txt", "zwei", "/b", "b.txt");
    EXPECT_EQ(f.run(), (Lines{"CWD /a", "PASV", "STOR big.bin", "CWD /b", "PASV", "STOR b.txt", "QUIT"}));
    EXPECT_TRUE(f.unsentAndDueAgain(r1));
    EXPECT_EQ(f.msg(r2), "Send");
    EXPECT_TRUE(f.loggedMatching("FTP_PUT_SENDE ERROR: EIdSocketError: Datenverbindung abgebrochen nach \\d+ von "
                                 "1048576 Bytes: .+"));
    EXPECT_TRUE(f.w.logged("akt.anzahl -> 1"));
    EXPECT_TRUE(f.w.logged("akt.Bytes  -> 4"));
    EXPECT_EQ(f.w.counters.Send_Bytes_ges, 4u);
}

// Each piece comes well inside the read time-out, but the reply never ends: 400
// pieces 50 ms apart would take 20 s; the whole-reply limit ends it after 1 s.
TEST(UploadFtpFaults, RepliesThatNeverEndAreCutOffAndCloseTheSession) {
    FtpTimeouts t;
    t.wholeReplyMs = 1000;
    constexpr std::size_t kPieces = 400;
    {
        // The greeting: one byte at a time, never a line end.
        FakeFtpServer server({{"", dribble(std::vector<std::string>(kPieces, "2"), 50)}});
        RunWorld w(t);
        w.ftp.setServerPort(server.port());
        const int r = w.addRow(w.dir.write("a.txt", "eins"), "/a", "a.txt");
        w.cycle.B_StartClick();
        EXPECT_EQ(server.finish(), Lines{"QUIT"});
        EXPECT_LT(server.dribbled(), kPieces);
        EXPECT_TRUE(w.logged("FTP_CONNECTED ERROR: Exception: Read Timeout"));
        EXPECT_EQ(w.files.cell(Msg, r), "NEU");   // no upload without a connection
        EXPECT_FALSE(w.cycle.inWork());
    }
    {
        // A multi-line reply to CWD gaining one line at a time.
        std::vector<std::string> lines(kPieces, " noch eine Zeile\r\n");
        lines.front() = "250-Bitte warten\r\n";
        FaultRun f({{"CWD /a", dribble(lines, 50)}}, t);
        const int r1 = f.row("a.txt", "eins", "/a", "a.txt");
        const int r2 = f.row("b.txt", "zwei", "/b", "b.txt");
        EXPECT_EQ(f.run(), (Lines{"CWD /a", "QUIT"}));
        EXPECT_LT(f.server.dribbled(), kPieces);
        EXPECT_TRUE(f.unsentAndDueAgain(r1));
        EXPECT_TRUE(f.unsentAndDueAgain(r2));
        EXPECT_TRUE(f.w.logged("ERROR -> ChangeDir /a"));
        EXPECT_TRUE(f.w.logged("Status --> Disconnected."));
        f.expectNothingCounted();
    }
}

// A CR or LF in a remote name never reaches the wire; one inside a reply never makes
// the client read two replies where one was asked for.
TEST(UploadFtpFaults, LineBreaksInNamesAndRepliesKeepTheSessionInStep) {
    FaultRun f({kCwdOk,
                // "250 ok\n550 forged\r\n": a bare LF makes a second reply nobody asked for
                {"CWD /y", send("250 ok\n550 forged\r\n")}, kPasv,
                // "226 done\rDELE x\r\n": a bare CR stays inside the one line
                {"STOR", receivePassive("150 go\r\n", "226 done\rDELE x\r\n")},
                {"CWD /z", send("250 ok\r\n")}, kPasv, kStoreOk});
    const int r1 = f.row("a.txt", "eins", "/x", "a\r\nDELE b");
    const int r2 = f.row("b.txt", "zwei", "/y", "b.txt");
    const int r3 = f.row("c.txt", "drei", "/z", "c.txt");
    EXPECT_EQ(f.run(), (Lines{"CWD /x", "CWD /y", "PASV", "STOR b.txt", "CWD /z", "PASV", "STOR c.txt", "QUIT"}));
    EXPECT_TRUE(f.unsentAndDueAgain(r1));
    EXPECT_TRUE(f.w.logged("FTP_PUT_SENDE ERROR: Exception: Ungültiges Zeichen im FTP-Befehl"));
    EXPECT_EQ(f.msg(r2), "Send");
    EXPECT_EQ(f.msg(r3), "Send");
    EXPECT_EQ(f.server.data(), "zweidrei");
    EXPECT_EQ(f.w.counters.Send_Files_ges, 2);
}

}  // namespace
}  // namespace velora::test
