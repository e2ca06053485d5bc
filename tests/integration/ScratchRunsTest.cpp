// Whole runs against a real FTP server that must never send stale, shared or foreign
// bytes: the scratch folder comes and goes, rows change their "TAG" or get a row
// inserted above them, the tag file goes missing, the disk or the log is full, and
// another run holds the scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "integration/support/PyFtpServer.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "support/Namespaces.h"
#include "transfer/UploadPass.h"
#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using test::PyFtpServer;
using test::RunWorld;

class ScratchRunsTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<PyFtpServer>();
        fs::create_directory(server->pathOf("web"));
        w.ftp.setServerPort(server->port());
        w.settings.e_user_ziel = PyFtpServer::kWriteUser;
        w.settings.ME_pwd_ziel = PyFtpServer::kPassword;
    }
    int addTagRow(const std::string& source, const std::string& name) {
        const int r = w.addRow(source, "/web", name);
        w.files.setCell(Tag, r, "Ja");
        return r;
    }
    std::string onServer(const std::string& name) const { return fileio::readAll(server->pathOf("web/" + name)); }
    long linesWith(const std::string& part) const {
        return std::count_if(w.lines.begin(), w.lines.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }

    RunWorld w;
    std::unique_ptr<PyFtpServer> server;
};

TEST_F(ScratchRunsTest, ScratchFolderRemovedBetweenRunsComesBack) {
    const std::string page = w.dir.write("page.html", "[SYS_COMPUTERNAME] eins");
    const int tagged = addTagRow(page, "page.html");
    const int plain = w.addRow(w.dir.write("cam.jpg", "bild 1"), "/web", "cam.jpg");
    w.cycle.B_StartClick();
    ASSERT_EQ(onServer("page.html"), "KESTA-PC eins");

    // A cleaner of temporary folders runs between two runs.
    fs::remove_all(w.temp.path());
    fileio::writeAll(page, "[SYS_COMPUTERNAME] zwei");
    fileio::writeAll(w.dir.file("cam.jpg"), "bild 2 ");
    w.cycle.B_StartClick();

    EXPECT_EQ(w.files.cell(Msg, tagged), "Send");
    EXPECT_EQ(w.files.cell(Msg, plain), "Send");
    EXPECT_EQ(onServer("page.html"), "KESTA-PC zwei");
    EXPECT_EQ(onServer("cam.jpg"), "bild 2 ");
    // Nothing of the stores stays behind: only the copy a tag row keeps for its next pass.
    EXPECT_FALSE(fs::exists(w.temp.transferCopyPath()));
}

// After "TAG" is switched off the row sends its source, not the last replaced copy.
TEST_F(ScratchRunsTest, SwitchingTagOffSendsTheSourceFromThenOn) {
    const std::string page = w.dir.write("page.html", "[SYS_COMPUTERNAME] alt");
    const int r = addTagRow(page, "page.html");
    w.cycle.B_StartClick();
    ASSERT_EQ(onServer("page.html"), "KESTA-PC alt");

    w.files.setCell(Tag, r, "No");
    fileio::writeAll(page, "[SYS_COMPUTERNAME] neu, ohne Ersetzung");
    w.cycle.B_StartClick();

    EXPECT_EQ(w.files.cell(Msg, r), "Send");
    EXPECT_EQ(w.files.cell(TmpQuelle, r), page);
    EXPECT_EQ(onServer("page.html"), "[SYS_COMPUTERNAME] neu, ohne Ersetzung");
}

// A row inserted above a tag row has the number the tag row's copy is named after;
// the German page must not go out as the English one.
TEST_F(ScratchRunsTest, ARowInsertedAboveNeverSharesACopy) {
    fs::create_directory(w.dir.file("de"));
    fs::create_directory(w.dir.file("en"));
    const std::string de = w.dir.write("de/index.html", "Deutsch [SYS_OS]");
    addTagRow(de, "de.html");
    w.cycle.B_StartClick();
    ASSERT_EQ(onServer("de.html"), "Deutsch Linux");

    const std::string en = w.dir.write("en/index.html", "English [SYS_OS]");
    w.files.insertRow(1, {"", "Ja", "Ja", en, "/web", "en.html", "0", "0", "", ""});
    w.files.renumberRows();
    fileio::writeAll(de, "Deutsch, neu [SYS_OS]");
    w.cycle.B_StartClick();

    EXPECT_EQ(onServer("en.html"), "English Linux");
    EXPECT_EQ(onServer("de.html"), "Deutsch, neu Linux");
    EXPECT_NE(w.files.cell(TmpQuelle, 1), w.files.cell(TmpQuelle, 2));
    EXPECT_TRUE(w.loggedStartingWith("tmp-Quelle von Zeile 2 belegt, Kopie von Zeile 1 geht nach : "));
}

// The fingerprints the program used to take for "no change": a text whose bytes XOR to
// 0 looked like the load mark, and "10:01" and "10:10" have the same bytes.
TEST_F(ScratchRunsTest, ChangesTheOldFingerprintsMissedAreSent) {
    const std::string xs = w.dir.write("x.txt", "xxxxxxxxxx");
    const std::string stand = w.dir.write("stand.html", "Stand: 10:01");
    const int zero = addTagRow(xs, "x.txt");
    const int time = addTagRow(stand, "stand.html");
    w.cycle.B_StartClick();
    EXPECT_EQ(w.files.cell(Msg, zero), "Send");
    EXPECT_EQ(onServer("x.txt"), "xxxxxxxxxx");

    fileio::writeAll(stand, "Stand: 10:10");
    w.cycle.B_StartClick();
    EXPECT_EQ(w.files.cell(Msg, time), "Send");
    EXPECT_EQ(w.files.cell(Msg, zero), "OK");
    EXPECT_EQ(onServer("stand.html"), "Stand: 10:10");
}

// Without its tag file a page would go out with its placeholders; the server keeps the
// last good page and the next run tries again.
TEST_F(ScratchRunsTest, TagRowsWaitWhileTheTagFileIsMissing) {
    w.settings.cb_tag_datei = true;
    w.dir.write("Export_Tags.TXT", "[TEMP_AUSSEN];5 C\r\n");
    const std::string page = w.dir.write("wetter.html", "Aussen [TEMP_AUSSEN]");
    const int tagged = addTagRow(page, "wetter.html");
    const int plain = w.addRow(w.dir.write("cam.jpg", "bild"), "/web", "cam.jpg");
    w.cycle.B_StartClick();
    ASSERT_EQ(onServer("wetter.html"), "Aussen 5 C");
    const std::string sent = w.files.cell(PsAlt, tagged);

    fs::remove(w.dir.file("Export_Tags.TXT"));
    fileio::writeAll(page, "Aussen jetzt [TEMP_AUSSEN]");
    fileio::writeAll(w.dir.file("cam.jpg"), "bild 2");
    w.cycle.B_StartClick();

    EXPECT_EQ(w.files.cell(Msg, tagged), "Error");
    EXPECT_EQ(w.files.cell(PsAlt, tagged), sent);
    EXPECT_EQ(onServer("wetter.html"), "Aussen 5 C");
    EXPECT_EQ(w.files.cell(Msg, plain), "Send");
    EXPECT_TRUE(w.logged("ERROR Datei nicht gefunden ! " + w.settings.E_tags));

    w.dir.write("Export_Tags.TXT", "[TEMP_AUSSEN];6 C\r\n");
    w.cycle.B_StartClick();
    EXPECT_EQ(onServer("wetter.html"), "Aussen jetzt 6 C");
}

TEST_F(ScratchRunsTest, AFullLogDiskNeverStopsTheRun) {
    w.settings.E_logfile = "/dev/full";
    const int r = w.addRow(w.dir.write("a.txt", "alpha"), "/web", "a.txt");
    EXPECT_NO_THROW(w.cycle.B_StartClick());
    EXPECT_EQ(w.files.cell(Msg, r), "Send");
    EXPECT_EQ(onServer("a.txt"), "alpha");
    EXPECT_EQ(linesWith("kann nicht geschrieben werden"), 1);
}

// Another process (a cron run beside the window) holds the scratch folder: this run
// is skipped with one line and sends nothing, the next one goes ahead.
TEST_F(ScratchRunsTest, ARunWhileAnotherHoldsTheScratchFolderIsSkipped) {
    const int r = w.addRow(w.dir.write("a.txt", "alpha"), "/web", "a.txt");
    FileLock other;
    std::string why;
    ASSERT_EQ(other.tryLock(w.temp.lockPath(), why), FileLock::Result::Acquired) << why;

    w.cycle.B_StartClick();
    EXPECT_EQ(w.cycle.lastOutcome(), RunOutcome::Skipped);
    EXPECT_FALSE(w.cycle.inWork());
    EXPECT_EQ(w.lines, std::vector<std::string>{"Lauf übersprungen: ein anderer Lauf arbeitet gerade mit " +
                                                w.temp.path()});
    EXPECT_FALSE(fs::exists(server->pathOf("web/a.txt")));

    other.release();
    w.cycle.B_StartClick();
    EXPECT_EQ(w.cycle.lastOutcome(), RunOutcome::Done);
    EXPECT_EQ(w.files.cell(Msg, r), "Send");
}

// A copy larger than the disk fails its own row, leaves no partial file behind, and
// the next run (the big row switched off) sends again.
TEST_F(ScratchRunsTest, AFullScratchDiskFailsOnlyTheRowThatDoesNotFit) {
    const std::string small = w.dir.file("klein");
    fs::create_directory(small);
    // Large enough to be copied on disk; a smaller file is held in memory.
    const auto size = static_cast<std::size_t>(UploadPass::kSendWhileCopyingFrom);
    const int big = w.addRow(w.dir.write("big.bin", std::string(size, 'b')), "/web", "big.bin");
    const int cam = w.addRow(w.dir.write("cam.jpg", "bild 1"), "/web", "cam.jpg");
    test::onSmallDisk(small, "1m", [&] {
        w.env.set("temp", small);
        w.cycle.B_StartClick();
        EXPECT_EQ(w.files.cell(Msg, big), "Error");
        EXPECT_EQ(w.files.cell(Msg, cam), "Send");
        // Only the run lock is left: no partial transfer copy fills the disk.
        for (const auto& e : fs::directory_iterator(w.temp.path())) EXPECT_EQ(e.path(), w.temp.lockPath());

        w.files.setCell(Aktiv, big, "No");
        fileio::writeAll(w.dir.file("cam.jpg"), "bild 2");
        w.cycle.B_StartClick();
        EXPECT_EQ(w.files.cell(Msg, cam), "Send");
        EXPECT_EQ(onServer("cam.jpg"), "bild 2");
    });
    EXPECT_FALSE(fs::exists(server->pathOf("web/big.bin")));
}

}  // namespace
}  // namespace velora
