// The preparation pass: which rows take part, how a source is resolved (tag, pattern),
// the marks it leaves, and what happens when the table changes under it.
#include <gtest/gtest.h>

#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "PreparationTestSupport.h"
#include "support/OtherUser.h"
#include "support/ScopedEnv.h"
#include "platform/DirListing.h"
#include "platform/Errors.h"
#include "transfer/Checksums.h"

namespace velora {
namespace {

using test::PassRig;
using test::setLocalMtime;
using test::writeFileBytes;

std::vector<std::string> viewLines(const TextView& view) { return {view.lines().begin(), view.lines().end()}; }

TEST(PreparationPass, ActiveTestUpperCasesAndWantsExactlyJa) {
    struct Case {
        const char* aktiv;
        bool active;
    };
    const Case cases[] = {{"Ja", true}, {"ja", true}, {"JA", true}, {"jA", true},
                          {"Yes", false}, {"No", false}, {" Ja", false}, {"", false}, {"Jä", false}};
    PassRig rig;
    const std::string file = rig.dir.write("data.txt", "1");
    for (const auto& c : cases) rig.addRow(c.aktiv, "No", file);
    rig.pass.run();
    for (int r = 1; r <= rig.files.rowCount(); ++r) {
        const auto& c = cases[r - 1];
        if (c.active) {
            EXPECT_EQ(rig.cell(Msg, r), "NEU") << c.aktiv;
            EXPECT_EQ(rig.cell(PsNeu, r), std::to_string(FileChecksum(file))) << c.aktiv;
        } else {
            EXPECT_EQ(rig.cell(Msg, r), "?") << c.aktiv;
            EXPECT_EQ(rig.cell(PsNeu, r), "?") << c.aktiv;
            EXPECT_EQ(rig.cell(TmpQuelle, r), "") << c.aktiv;
        }
    }
}

TEST(PreparationPass, MarksOfAPlainRow) {
    PassRig rig;
    const std::string file = rig.dir.write("Wetterstation.html", "<html/>");
    ASSERT_EQ(::mkdir(rig.dir.file("folder").c_str(), 0755), 0);
    const int fresh = rig.addRow("Ja", "No", file);
    const int missing = rig.addRow("Ja", "No", rig.dir.file("gone.html"));
    const int folder = rig.addRow("Ja", "No", rig.dir.file("folder"));
    const int empty = rig.addRow("Ja", "No", "");
    rig.pass.run();

    const std::string cs = std::to_string(FileChecksum(file));
    EXPECT_EQ(rig.cell(PsNeu, fresh), cs);
    EXPECT_EQ(rig.cell(Msg, fresh), "NEU");
    EXPECT_EQ(rig.cell(TmpQuelle, fresh), file);
    EXPECT_EQ(rig.cell(Msg, missing), "NF");
    EXPECT_EQ(rig.cell(PsNeu, missing), "?");
    EXPECT_EQ(rig.cell(Msg, folder), "NF");
    EXPECT_EQ(rig.cell(Msg, empty), "?");
    EXPECT_EQ(rig.lines.front(), "Einlesen");

    // After an upload "PS alt" holds the value: the next pass says "OK", tmp-Quelle stays.
    rig.files.setCell(PsAlt, fresh, cs);
    rig.files.setCell(TmpQuelle, fresh, "/elsewhere/kept");
    rig.pass.run();
    EXPECT_EQ(rig.cell(Msg, fresh), "OK");
    EXPECT_EQ(rig.cell(TmpQuelle, fresh), "/elsewhere/kept");
}

TEST(PreparationPass, UnmeasurableFileIsIoError) {
    test::asOrdinaryUser([] {
        PassRig rig;
        const std::string secret = rig.dir.write("secret.bin", "x");
        ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
        const int r = rig.addRow("Ja", "No", secret);
        rig.pass.run();
        EXPECT_EQ(rig.cell(Msg, r), "IOERROR");
        EXPECT_EQ(rig.cell(PsNeu, r), "?");
        EXPECT_TRUE(rig.logged("IORESULT <> 0 -> " + secret));
    });
}

TEST(PreparationPass, ReadOnlySourceIsExportedLikeAnyOther) {
    PassRig rig;
    const std::string file = rig.dir.file("readonly.csv");
    writeFileBytes(file, "a;b;c");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const int r = rig.addRow("Ja", "No", file);
    rig.pass.run();
    EXPECT_EQ(rig.cell(Msg, r), "NEU");
    EXPECT_EQ(rig.cell(PsNeu, r), std::to_string(FileChecksum(file)));
    EXPECT_NE(rig.cell(PsNeu, r), "-1");
}

TEST(PreparationPass, SourceGivenAsTag) {
    PassRig rig;
    const std::string picture = rig.dir.write("p1.jpg", "JPEG1");
    const std::string other = rig.dir.write("p2.jpg", "JPEG22");
    rig.dir.write("tags.txt", "[_CAM_1_LAST_FOTO_NAME];" + picture + "\r\n[A];" + picture + "\r\n[A];" +
                                        other + "\r\n[SYS_DATE];x\r\n");
    rig.settings.cb_tag_datei = true;
    rig.settings.E_tags = rig.dir.file("tags.txt");
    const int cam = rig.addRow("Ja", "No", "[_CAM_1_LAST_FOTO_NAME]");
    const int twice = rig.addRow("Ja", "No", "[A]");
    const int date = rig.addRow("Ja", "No", "[SYS_DATE]");
    const int nope = rig.addRow("Ja", "No", "[NOPE]");
    rig.files.setCell(TmpQuelle, nope, "/old/value");
    rig.pass.run();

    EXPECT_EQ(rig.cell(TmpQuelle, cam), picture);
    EXPECT_EQ(rig.cell(PsNeu, cam), std::to_string(FileChecksum(picture)));
    EXPECT_EQ(rig.cell(Msg, cam), "NEU");
    EXPECT_EQ(rig.cell(TmpQuelle, twice), other);  // the last matching row wins
    EXPECT_EQ(rig.cell(PsNeu, twice), std::to_string(FileChecksum(other)));
    EXPECT_EQ(rig.cell(TmpQuelle, date), "x");
    EXPECT_EQ(rig.cell(Msg, date), "NF");
    EXPECT_EQ(rig.cell(TmpQuelle, nope), "");
    EXPECT_EQ(rig.cell(Msg, nope), "NF");
}

class PickNewest : public ::testing::Test {
protected:
    void SetUp() override {
        cam = rig.dir.file("cam");
        ASSERT_EQ(::mkdir(cam.c_str(), 0755), 0);
    }
    void picture(const std::string& name, const DateTime& t) {
        writeFileBytes(cam + "/" + name, name);
        setLocalMtime(cam + "/" + name, t);
    }
    PassRig rig;
    std::string cam;
};

TEST_F(PickNewest, TakesTheLatestWriteAndListsTheCandidates) {
    picture("a.jpg", {2026, 12, 8, 10, 0, 0});
    picture("b.jpg", {2026, 12, 8, 11, 30, 0});
    picture("c.jpg", {2026, 12, 7, 23, 59, 58});
    picture("notes.txt", {2026, 12, 8, 12, 0, 0});
    const int r = rig.addRow("Ja", "No", cam + "/*.jpg");
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, r), cam + "/b.jpg");
    EXPECT_EQ(rig.cell(PsNeu, r), std::to_string(FileChecksum(cam + "/b.jpg")));
    EXPECT_EQ(rig.cell(Msg, r), "NEU");

    std::vector<std::string> listed;
    for (const auto& e : listMatching(cam + "/*.jpg")) listed.push_back(e.name);
    EXPECT_EQ(viewLines(rig.mTemp), listed);
    EXPECT_EQ(listed.size(), 3u);
    // One clear at the start, one update for the whole list.
    EXPECT_EQ(rig.mTempUpdates, 2);
}

TEST_F(PickNewest, EqualTimesKeepTheEntryListedFirstAndNanosecondsCount) {
    for (const char* name : {"x1.jpg", "x2.jpg", "x3.jpg", "x4.jpg"}) picture(name, {2026, 12, 8, 9, 0, 0});
    const auto listing = listMatching(cam + "/*.jpg");
    ASSERT_EQ(listing.size(), 4u);
    const int r = rig.addRow("Ja", "No", cam + "/x?.jpg");
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, r), cam + "/" + listing.front().name);

    // A picture written 1 ms later within the same second is the newer one.
    setLocalMtime(cam + "/" + listing.back().name, {2026, 12, 8, 9, 0, 0}, 1000000);
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, r), cam + "/" + listing.back().name);
}

TEST_F(PickNewest, FarFutureStampsAreJustLater) {
    picture("future.jpg", {2050, 1, 1, 0, 0, 0});
    picture("now.jpg", {2026, 12, 8, 14, 0, 0});
    const int r = rig.addRow("Ja", "No", cam + "/*.jpg");
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, r), cam + "/future.jpg");
}

// The night the clocks go back, 02:00 to 03:00 happens twice; the pictures of the
// second, winter-time hour are the newer ones although their local times are smaller.
TEST_F(PickNewest, TheHourTheClocksGoBackIsOrderedByRealTime) {
    auto berlin = std::make_unique<test::ScopedEnv>("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    // 2026-10-25 00:50 UTC is 02:50 summer time; 01:00..01:49 UTC are 02:00..02:49 winter time.
    const time_t summer0250 = 1792889400;
    writeFileBytes(cam + "/s.jpg", "s");
    test::setFileTime(cam + "/s.jpg", summer0250);
    const int r = rig.addRow("Ja", "No", cam + "/*.jpg");
    for (int minute = 0; minute < 50; minute += 10) {
        const std::string name = "w" + std::to_string(minute) + ".jpg";
        writeFileBytes(cam + "/" + name, name);
        test::setFileTime(cam + "/" + name, summer0250 + 600 + minute * 60);
        rig.pass.run();
        EXPECT_EQ(rig.cell(TmpQuelle, r), cam + "/" + name) << minute;
    }
    berlin.reset();
    tzset();
}

TEST_F(PickNewest, NothingMatchingLeavesThePattern) {
    const int none = rig.addRow("Ja", "No", cam + "/*.png");
    const int nowhere = rig.addRow("Ja", "No", rig.dir.file("no/such/folder/*.jpg"));
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, none), cam + "/*.png");
    EXPECT_EQ(rig.cell(Msg, none), "NF");
    EXPECT_EQ(rig.cell(TmpQuelle, nowhere), rig.dir.file("no/such/folder/*.jpg"));
    EXPECT_EQ(rig.cell(Msg, nowhere), "NF");
    EXPECT_EQ(rig.mTemp.lineCount(), 0u);
}

// A camera script writes into a sub-folder and renames; the folder entries (".", ".."
// and sub-folders) are newer than any picture and must never be taken.
TEST_F(PickNewest, FoldersAreNeverPicked) {
    picture("a.jpg", {2026, 1, 1, 8, 0, 0});
    picture("b.txt", {2026, 1, 1, 9, 0, 0});
    ASSERT_EQ(::mkdir((cam + "/upload.tmp").c_str(), 0755), 0);
    setLocalMtime(cam + "/upload.tmp", {2040, 6, 1, 12, 0, 0});
    setLocalMtime(cam, {2040, 6, 1, 12, 0, 0});
    for (const char* pattern : {"/*.*", "/*"}) {
        const int r = rig.addRow("Ja", "No", cam + pattern);
        rig.pass.run();
        EXPECT_EQ(rig.cell(TmpQuelle, r), cam + "/b.txt") << pattern;
        EXPECT_EQ(rig.cell(Msg, r), "NEU") << pattern;
        EXPECT_EQ(viewLines(rig.mTemp).size(), 2u) << pattern;  // a.jpg, b.txt
    }
}

TEST_F(PickNewest, FifosAndSocketsAreSkippedEvenWhenNewest) {
    picture("old.dat", {2026, 1, 1, 8, 0, 0});
    ASSERT_EQ(::mkfifo((cam + "/pipe.dat").c_str(), 0644), 0);
    setLocalMtime(cam + "/pipe.dat", {2026, 6, 1, 8, 0, 0});
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string sockPath = cam + "/sock.dat";
    ASSERT_LT(sockPath.size(), sizeof address.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    setLocalMtime(sockPath, {2026, 6, 2, 8, 0, 0});

    const int r = rig.addRow("Ja", "No", cam + "/*.dat");
    rig.pass.run();
    ::close(sock);
    EXPECT_EQ(rig.cell(TmpQuelle, r), cam + "/old.dat");
    EXPECT_EQ(rig.cell(Msg, r), "NEU");
    EXPECT_EQ(viewLines(rig.mTemp), std::vector<std::string>{"old.dat"});
}

TEST(PreparationPass, RowsDeletedByAPumpedEventAreSkippedSafely) {
    PassRig rig;
    const std::string file = rig.dir.write("f.txt", "content");
    for (int i = 0; i < 5; ++i) rig.addRow("Ja", i == 3 ? "Ja" : "No", file);
    // A command served before row 3 removes the last three rows.
    rig.ui.onPump = [&] {
        if (rig.cell(Msg, 2) == "NEU") rig.files.setRowCount(2);
    };
    rig.pass.run();
    EXPECT_EQ(rig.files.rowCount(), 2);
    EXPECT_EQ(rig.cell(Msg, 1), "NEU");
    EXPECT_EQ(rig.cell(Msg, 2), "NEU");
    EXPECT_FALSE(rig.logged("Ersetze alle Tags in Datei : " + file));
}

TEST(PreparationPass, RowDeletedWhileItsTagsAreReplacedWritesNothing) {
    PassRig rig;
    const std::string file = rig.dir.write("page.html", "[SYS_DATE]");
    rig.addRow("Ja", "Ja", file);
    // The log line of the replacement lets a deletion run in the middle of the row.
    rig.ui.onPump = [&] {
        if (!rig.lines.empty() && rig.lines.back().rfind("Ersetze", 0) == 0) rig.files.setRowCount(0);
    };
    rig.pass.run();
    EXPECT_EQ(rig.files.rowCount(), 0);
    EXPECT_FALSE(fileio::exists(rig.scratch() + "/1_page.html"));
}

TEST(PreparationPass, RegistryErrorEndsThePassBeforeTheFirstRow) {
    SystemInfo info = test::sampleSystemInfo();
    info.integers.clear();
    info.texts[kCpuKey]["~MHz"] = "2200";   // a text where an integer belongs
    PassRig rig(info);
    const int r = rig.addRow("Ja", "No", rig.dir.file("x"));
    rig.files.setCell(Msg, r, "Send");
    EXPECT_THROW(rig.pass.run(), RegistryError);
    EXPECT_EQ(rig.cell(Msg, r), "Send");
}

TEST(PreparationPass, RowCountIsTakenOnce) {
    PassRig rig;
    const std::string file = rig.dir.write("f.txt", "x");
    rig.addRow("Ja", "No", file);
    bool added = false;
    rig.ui.onPump = [&] {
        // Only pumps of the row loop, which begins after M_temp is cleared.
        if (added || rig.mTempUpdates == 0) return;
        added = true;
        const int r = rig.addRow("Ja", "No", file);
        rig.files.setCell(Msg, r, "fresh");
    };
    rig.pass.run();
    EXPECT_EQ(rig.cell(Msg, 1), "NEU");
    EXPECT_EQ(rig.cell(Msg, 2), "fresh");  // added during the pass: waits for the next one
}

}  // namespace
}  // namespace velora
