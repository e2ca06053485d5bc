// Whole runs against a real FTP server (pyftpdlib on a free loopback port): the files
// arrive byte for byte in their folders, the transfer log and the counters record
// the run, a refused store is retried, and an unchanged table makes no connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "integration/support/PyFtpServer.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

using test::PyFtpServer;
using test::RunWorld;

const std::string kTransferEnde = std::string(58, '-') + " Transfer Ende";

class RunCycleFtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<PyFtpServer>();
        std::filesystem::create_directory(server->pathOf("web"));
        std::filesystem::create_directory(server->pathOf("data"));
        w.ftp.setServerPort(server->port());
        login(PyFtpServer::kWriteUser);
    }
    void login(const std::string& user) {
        w.settings.e_user_ziel = user;
        w.settings.ME_pwd_ziel = PyFtpServer::kPassword;
    }
    long count(const std::string& text) const { return std::count(w.lines.begin(), w.lines.end(), text); }
    // Counts and the byte total alike (a count reads as unsigned).
    std::int64_t savedCounter(const std::string& name) {
        return static_cast<std::int64_t>(w.registry.openKeyReadOnly(kSettingsKey).readQword(name));
    }

    RunWorld w;
    std::unique_ptr<PyFtpServer> server;
};

TEST_F(RunCycleFtpTest, ChangedFilesArriveInTheirFoldersAndTheRunIsRecorded) {
    const std::string page("<html>\r\n\0\xff binary\n</html>", 25);
    const std::string values = "Datum;Wert\r\n08.12.2026;17,5\r\n";
    const int r1 = w.addRow(w.dir.write("page.htm", page), "/web", "index.html");
    const int r2 = w.addRow(w.dir.write("values.csv", values), "/data", "werte.csv");

    w.cycle.B_StartClick();

    EXPECT_EQ(fileio::readAll(server->pathOf("web/index.html")), page);
    EXPECT_EQ(fileio::readAll(server->pathOf("data/werte.csv")), values);
    for (int r : {r1, r2}) {
        EXPECT_EQ(w.files.cell(Msg, r), "Send");
        EXPECT_EQ(w.files.cell(PsAlt, r), w.files.cell(PsNeu, r));
    }
    const std::string bytes = std::to_string(page.size() + values.size());
    EXPECT_EQ(fileio::readAll(w.settings.e_Transfer_Log),
              "Datum;Zeit;Dauer;Anzahl;Bytes\r\n08.12.2026;14:05:09;00:00:00;2;" + bytes + ";\r\n");
    EXPECT_TRUE(w.logged("akt.anzahl -> 2"));
    EXPECT_TRUE(w.logged("akt.Bytes  -> " + bytes));
    EXPECT_EQ(savedCounter("Send_Files_ges"), 2);
    EXPECT_EQ(savedCounter("Send_Bytes_ges"), std::stoll(bytes));
    EXPECT_EQ(savedCounter("Send_Files_3"), 2);   // Tuesday
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_FALSE(w.ftp.ftpOpen());
    EXPECT_EQ(w.lines.back(), std::string(58, '*'));

    // Nothing changed since: no second connection, no second transfer-log line.
    const std::string logBefore = fileio::readAll(w.settings.e_Transfer_Log);
    w.cycle.B_StartClick();
    EXPECT_EQ(count("Procedure --> Connect"), 1);
    EXPECT_EQ(count(" - - - Nichts geändert. - - -"), 1);
    EXPECT_EQ(fileio::readAll(w.settings.e_Transfer_Log), logBefore);
    EXPECT_FALSE(w.cycle.inWork());
}

// The read-only account may change folders but not store: every row stays due and
// goes out in the next run with write access.
TEST_F(RunCycleFtpTest, RefusedStoresAreErrorsAndAreRetriedByTheNextRun) {
    login(PyFtpServer::kReadUser);
    const int r1 = w.addRow(w.dir.write("a.txt", "alpha"), "/web", "a.txt");
    const int r2 = w.addRow(w.dir.write("b.txt", "beta"), "/data", "b.txt");

    w.cycle.B_StartClick();

    for (int r : {r1, r2}) {
        EXPECT_EQ(w.files.cell(Msg, r), "Error");
        EXPECT_EQ(w.files.cell(PsAlt, r), "0");
    }
    EXPECT_EQ(std::count_if(w.lines.begin(), w.lines.end(),
                            [](const std::string& l) { return l.rfind("FTP_PUT_SENDE ERROR: Exception: 550", 0) == 0; }),
              2);
    EXPECT_FALSE(std::filesystem::exists(server->pathOf("web/a.txt")));
    EXPECT_TRUE(w.logged("akt.anzahl -> 0"));
    EXPECT_EQ(savedCounter("Send_Files_ges"), 0);

    login(PyFtpServer::kWriteUser);
    w.cycle.B_StartClick();

    EXPECT_EQ(w.files.cell(Msg, r1), "Send");
    EXPECT_EQ(w.files.cell(Msg, r2), "Send");
    EXPECT_EQ(fileio::readAll(server->pathOf("web/a.txt")), "alpha");
    EXPECT_EQ(fileio::readAll(server->pathOf("data/b.txt")), "beta");
    EXPECT_EQ(savedCounter("Send_Files_ges"), 2);
}

TEST_F(RunCycleFtpTest, MissingFolderIsAnErrorAndAnEmptyNameArrivesUnderItsSourceName) {
    const int missing = w.addRow(w.dir.write("m.txt", "m"), "/nowhere", "m.txt");
    const int nameless = w.addRow(w.dir.write("n.txt", "nameless"), "/data", "");

    w.cycle.B_StartClick();

    EXPECT_EQ(w.files.cell(Msg, missing), "Error");
    EXPECT_TRUE(w.logged("ERROR -> ChangeDir /nowhere"));
    EXPECT_EQ(w.files.cell(Msg, nameless), "Send");
    EXPECT_EQ(fileio::readAll(server->pathOf("data/n.txt")), "nameless");
    EXPECT_FALSE(fileio::exists(server->pathOf("data/VELORA.tmp")));
    EXPECT_EQ(savedCounter("Send_Files_ges"), 1);
}

// A failure nobody catches (the transfer log cannot be written) ends the run where it
// happens: connected, in_work still set, counters unsaved, until the manual reset.
TEST_F(RunCycleFtpTest, UncaughtTransferLogFailureLeavesTheRunHangingUntilLabel12Click) {
    w.settings.e_Transfer_Log = w.dir.file("no-such-folder/Transfer_Log.csv");
    w.addRow(w.dir.write("a.txt", "alpha"), "/web", "a.txt");

    EXPECT_THROW(w.cycle.B_StartClick(), IoError);

    EXPECT_TRUE(w.cycle.inWork());
    EXPECT_TRUE(w.ftp.ftpOpen());
    EXPECT_TRUE(w.logged(kTransferEnde));
    EXPECT_FALSE(w.logged("Procedure --> Disconnect"));
    EXPECT_FALSE(w.countersSaved());

    w.cycle.Label12Click();
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_FALSE(w.ftp.ftpOpen());
    EXPECT_TRUE(w.ftp.connected());
    w.stats.UpdateStatusDisplay();
    EXPECT_EQ(w.status.panels[2], "Offline");
    w.ftp.B_connectClick(ftpLoginFromSettings(w.settings));
    EXPECT_EQ(w.lines.back(), "es besteht bereits ein Connected");
    w.ftp.B_DisconnectClick();
}

TEST_F(RunCycleFtpTest, VersendenWithoutAConnectionMarksEveryDueRowError) {
    const int r = w.addRow(w.dir.write("a.txt", "alpha"), "/web", "a.txt");
    w.preparation.run();
    ASSERT_EQ(w.files.cell(Msg, r), "NEU");

    w.upload.B_versendenClick();

    EXPECT_EQ(w.files.cell(Msg, r), "Error");
    EXPECT_TRUE(w.logged("ERROR -> ChangeDir /web") || w.loggedStartingWith("ERROR -> EIdSocketError: "));
    EXPECT_TRUE(w.logged("akt.anzahl -> 0"));
}

}  // namespace
}  // namespace velora
