// The upload pass against a recording FTP connection and recording statistics: the
// exact log, which rows go out and in which order, what a failing folder change,
// store or copy leaves behind, and that a file still being written waits for a later run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/InputFile.h"
#include "platform/Locale.h"
#include "settings/Settings.h"
#include "PreparationTestSupport.h"
#include "support/WriterChanges.h"
#include "support/FileTimes.h"
#include "support/LogHarness.h"
#include "transfer/UploadPass.h"

namespace velora {
namespace {

namespace fs = std::filesystem;

const std::string kTransferDatei = "---------------------------------------------------------- Transfer Datei";
const std::string kTransferEnde = "---------------------------------------------------------- Transfer Ende";

enum class Fail { None, Socket, General };

void raise(Fail kind, const std::string& text) {
    if (kind == Fail::Socket) throw SocketError(text);
    if (kind == Fail::General) throw GeneralError(text);
}

// Records every operation with the tick it happened at, and what the local file held
// at the moment of the store (the transfer copy is overwritten by the next row).
class FakeFtp : public FtpOperations {
public:
    struct Store {
        std::string localFile;
        std::string remoteName;
        std::string content;
    };
    explicit FakeFtp(ManualClock& clock) : clock_(clock) {}
    void reset() {
        calls.clear();
        cwdTicks.clear();
        stores.clear();
        cwdFailures.clear();
        putFailures.clear();
    }

    void ChangeDir(const std::string& path) override {
        calls.push_back("CWD " + path);
        cwdTicks.push_back(clock_.tickMs());
        auto f = cwdFailures.find(path);
        if (f != cwdFailures.end()) raise(f->second.first, f->second.second);
    }
    // Reads in blocks as the client does and confirms what it read, as a server
    // confirms what arrived; a failed read fails the store.
    std::int64_t Put(InputFile& source, const std::string& remoteName) override {
        calls.push_back("PUT " + remoteName);
        if (duringPut) duringPut();
        clock_.advanceMs(putDurationMs);
        auto f = putFailures.find(remoteName);
        if (f != putFailures.end()) raise(f->second.first, f->second.second);
        std::string content;
        std::vector<char> block(256 * 1024);
        for (long n; (n = source.read(block.data(), block.size())) != 0;) {
            if (n < 0) throw GeneralError(source.errorText());
            content.append(block.data(), static_cast<std::size_t>(n));
            if (betweenBlocks) betweenBlocks(content.size());
        }
        stores.push_back({source.path(), remoteName, content});
        return static_cast<std::int64_t>(content.size());
    }

    std::vector<std::string> calls;
    std::vector<std::int64_t> cwdTicks;
    std::vector<Store> stores;
    std::map<std::string, std::pair<Fail, std::string>> cwdFailures;
    std::map<std::string, std::pair<Fail, std::string>> putFailures;
    std::function<void()> duringPut;
    std::function<void(std::size_t bytesRead)> betweenBlocks;
    std::int64_t putDurationMs = 0;

private:
    ManualClock& clock_;
};

class FakeStats : public UploadStatistics {
public:
    struct LogLine {
        std::int32_t files;
        std::int64_t bytes;
        std::int64_t elapsedMs;
        bool operator==(const LogLine&) const = default;
    };
    explicit FakeStats(ManualClock& clock) : clock_(clock) {}
    void reset() {
        counted.clear();
        durations.clear();
        transferLog.clear();
        updateTicks.clear();
    }

    void countFile(std::int64_t bytes) override { counted.push_back(bytes); }
    void noteUploadDuration(std::int64_t ms) override { durations.push_back(ms); }
    std::string AppendTransferLog(std::int32_t files, std::int64_t bytes, std::int64_t ms) override {
        transferLog.push_back({files, bytes, ms});
        return rotateFailure;
    }
    void UpdateStatusDisplay() override { updateTicks.push_back(clock_.tickMs()); }

    std::vector<std::int64_t> counted;
    std::vector<std::int64_t> durations;
    std::vector<LogLine> transferLog;
    std::string rotateFailure;   // what AppendTransferLog reports
    std::vector<std::int64_t> updateTicks;

private:
    ManualClock& clock_;
};

class UploadPassTest : public ::testing::Test, public test::LogHarness {
protected:
    UploadPassTest()
        : LogHarness("100000"), env_({{"temp", dir.path()}}), temp_(env_, log),
          snapshots_(facts_, clock, ui, settings_), ftp_(clock), stats_(clock),
          pass_(files_, ftp_, stats_, temp_, sources_, snapshots_, log, clock, locale) {
        // Files written by the test are brand new; waiting for them has tests of its own.
        settings_.se_ruhezeit.text = "0";
        temp_.ensure();
        lines.clear();
    }

    // Appends a data row and returns its number.
    int addRow(const std::string& aktiv, const std::string& folder, const std::string& name, const std::string& msg,
               const std::string& tmpQuelle, const std::string& psNeu = "111", const std::string& psAlt = "222") {
        const int r = files_.rowCount() + 1;
        files_.setRowCount(r);
        files_.setRow(r, {std::to_string(r), aktiv, "No", tmpQuelle, folder, name, psNeu, psAlt, msg, tmpQuelle});
        return r;
    }
    // Forgets the rows, the log and everything the fakes recorded, for the next case.
    void startOver() {
        files_.setRowCount(0);
        lines.clear();
        ftp_.reset();
        stats_.reset();
    }
    std::string transferCopy() const { return temp_.transferCopyPath(); }

    FixedEnvironment env_;
    TempFolder temp_;
    ResolvedSources sources_;
    Settings settings_;
    SystemFileFacts facts_;
    SettledSnapshots snapshots_;
    FileTable files_;
    FakeFtp ftp_;
    FakeStats stats_;
    UploadPass pass_;
};

// --- one file, every line -----------------------------------------------------------

TEST_F(UploadPassTest, OneChangedRowWritesEveryLineInOrderAndIsMarkedSend) {
    addRow("Ja", "/x", "a.txt", "OK", dir.write("a.txt", "a"));
    addRow("No", "/x", "b.txt", "NEU", dir.write("b.txt", "b"));
    const std::string src = dir.write("index.html", std::string(2560, 'i'));
    const int r = addRow("Ja", "/web", "index.html", "NEU", src, "4711", "42");
    ftp_.putDurationMs = 2000;

    pass_.B_versendenClick();

    const std::vector<std::string> expected{
        kTransferDatei,
        "Zeile : 3 ist NEU",
        "--- ChangeDir FTP ---> /web",
        "OK --> ChangeDir /web",
        "Procedure --> SENDE FTP ",
        "Quelle " + src,
        "Ziel index.html",
        "OK --> Senden der Datei. 1,25 KB/s",
        kTransferEnde,
        "akt.dauer  -> 00:00:02",
        "akt.anzahl -> 1",
        "akt.Bytes  -> 2560",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(ftp_.calls, (std::vector<std::string>{"CWD /web", "PUT index.html"}));
    ASSERT_EQ(ftp_.stores.size(), 1u);
    // A small file goes out from its snapshot in memory: nothing is copied to disk.
    EXPECT_EQ(ftp_.stores[0].localFile, src);
    EXPECT_EQ(ftp_.stores[0].content, std::string(2560, 'i'));
    EXPECT_TRUE(fs::is_empty(temp_.path()));
    EXPECT_EQ(files_.cell(Msg, r), "Send");
    EXPECT_EQ(files_.cell(PsAlt, r), "4711");
    EXPECT_EQ(stats_.counted, std::vector<std::int64_t>{2560});
    EXPECT_EQ(stats_.durations, std::vector<std::int64_t>{2100});
    EXPECT_EQ(stats_.transferLog, (std::vector<FakeStats::LogLine>{{1, 2560, 2100}}));
}

TEST_F(UploadPassTest, TwoRowsGoInTableOrderEachAfterARefreshAndAPause) {
    const int r1 = addRow("Ja", "/one", "1.txt", "NEU", dir.write("s1", "first file"));
    const int r2 = addRow("JA", "/two", "2.txt", "NEU", dir.write("s2", "second, longer file"));
    ftp_.putDurationMs = 50;

    pass_.B_versendenClick();

    EXPECT_EQ(ftp_.calls, (std::vector<std::string>{"CWD /one", "PUT 1.txt", "CWD /two", "PUT 2.txt"}));
    ASSERT_EQ(ftp_.stores.size(), 2u);
    EXPECT_EQ(ftp_.stores[0].content, "first file");
    EXPECT_EQ(ftp_.stores[1].content, "second, longer file");
    ASSERT_EQ(stats_.updateTicks.size(), 2u);
    ASSERT_EQ(ftp_.cwdTicks.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(ftp_.cwdTicks[i] - stats_.updateTicks[i], 100) << "row " << i + 1;
    EXPECT_EQ(files_.cell(Msg, r1), "Send");
    EXPECT_EQ(files_.cell(Msg, r2), "Send");
    EXPECT_EQ(stats_.transferLog, (std::vector<FakeStats::LogLine>{{2, 29, 300}}));
    EXPECT_TRUE(logged("akt.anzahl -> 2"));
    EXPECT_TRUE(logged("akt.Bytes  -> 29"));
}

TEST_F(UploadPassTest, WithoutChangedRowsOnlyTheSummaryAndAZeroTransferLogLine) {
    addRow("Ja", "/a", "a", "OK", dir.write("a", "a"));
    addRow("Ja", "/a", "b", "Send", dir.write("b", "b"));

    pass_.B_versendenClick();

    EXPECT_EQ(lines, (std::vector<std::string>{kTransferEnde, "akt.dauer  -> 00:00:00", "akt.anzahl -> 0",
                                                "akt.Bytes  -> 0"}));
    EXPECT_TRUE(ftp_.calls.empty());
    EXPECT_TRUE(stats_.updateTicks.empty());
    EXPECT_EQ(stats_.transferLog, (std::vector<FakeStats::LogLine>{{0, 0, 0}}));

    // A full transfer log that could not be moved aside is told after its line.
    lines.clear();
    stats_.rotateFailure = "Transfer Log T.csv kann nicht rotiert werden: x";
    pass_.B_versendenClick();
    EXPECT_EQ(lines.back(), stats_.rotateFailure);
}

// --- which rows are due ----------------------------------------------------------------

TEST_F(UploadPassTest, OnlyActiveRowsWithExactlyNeuAreSentAndTheOthersAreUntouched) {
    struct Case {
        const char* aktiv;
        const char* msg;
        bool due;
    };
    const std::vector<Case> cases{
        {"Ja", "NEU", true},   {"ja", "NEU", true},  {"JA", "NEU", true},  {"jA", "NEU", true},
        {"No", "NEU", false},  {"", "NEU", false},   {"Ja ", "NEU", false}, {"Jaa", "NEU", false},
        {"Ja", "neu", false},  {"Ja", "NEU ", false}, {"Ja", "OK", false},  {"Ja", "Error", false},
    };
    for (const auto& c : cases) addRow(c.aktiv, "/d", std::string("f") + c.aktiv + c.msg, c.msg, dir.write("s", "x"));

    pass_.B_versendenClick();

    std::vector<std::string> expectedCalls;
    for (int r = 1; r <= static_cast<int>(cases.size()); ++r) {
        const Case& c = cases[static_cast<std::size_t>(r - 1)];
        SCOPED_TRACE(std::string("Aktiv '") + c.aktiv + "' MSG '" + c.msg + "'");
        if (c.due) {
            expectedCalls.push_back("CWD /d");
            expectedCalls.push_back(std::string("PUT f") + c.aktiv + c.msg);
            EXPECT_EQ(files_.cell(Msg, r), "Send");
            EXPECT_EQ(files_.cell(PsAlt, r), "111");
        } else {
            EXPECT_EQ(files_.cell(Msg, r), c.msg);
            EXPECT_EQ(files_.cell(PsAlt, r), "222");
        }
    }
    EXPECT_EQ(ftp_.calls, expectedCalls);
}

// --- failures of one row ---------------------------------------------------------------

// A server failure of one kind with its text, and the log line it must leave.
struct FailureCase {
    Fail kind;
    const char* text;
    const char* expectedLine;
};

TEST_F(UploadPassTest, RefusedOrBrokenFolderChangeMarksErrorCountsNothingAndGoesOn) {
    const std::vector<FailureCase> cases{
        {Fail::General, "550 No such file or directory.", "ERROR -> ChangeDir /missing"},
        {Fail::Socket, "Connection reset by peer", "ERROR -> EIdSocketError: Connection reset by peer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedLine);
        startOver();
        ftp_.cwdFailures["/missing"] = {c.kind, c.text};
        const int bad = addRow("Ja", "/missing", "x.txt", "NEU", dir.write("x", "xx"), "5", "4");
        const int good = addRow("Ja", "/ok", "y.txt", "NEU", dir.write("y", "yyy"));

        pass_.B_versendenClick();

        EXPECT_EQ(files_.cell(Msg, bad), "Error");
        EXPECT_EQ(files_.cell(PsAlt, bad), "4");
        EXPECT_TRUE(logged(c.expectedLine));
        EXPECT_FALSE(logged("OK --> ChangeDir /missing"));
        EXPECT_EQ(ftp_.calls, (std::vector<std::string>{"CWD /missing", "CWD /ok", "PUT y.txt"}));
        EXPECT_EQ(files_.cell(Msg, good), "Send");
        EXPECT_EQ(stats_.counted, std::vector<std::int64_t>{3});
        EXPECT_EQ(stats_.transferLog, (std::vector<FakeStats::LogLine>{{1, 3, 200}}));
    }
}

// A refused store is a failure: the row is retried by the next run instead of being
// recorded as sent, and nothing is counted for it.
TEST_F(UploadPassTest, RefusedStoreMarksErrorKeepsOldChecksumAndCountsNothing) {
    const std::vector<FailureCase> cases{
        {Fail::General, "553 Not enough privileges.", "FTP_PUT_SENDE ERROR: Exception: 553 Not enough privileges."},
        {Fail::Socket, "Broken pipe", "FTP_PUT_SENDE ERROR: EIdSocketError: Broken pipe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedLine);
        startOver();
        ftp_.putFailures["locked.txt"] = {c.kind, c.text};
        const int r = addRow("Ja", "/ro", "locked.txt", "NEU", dir.write("l", "locked"), "new", "old");

        pass_.B_versendenClick();

        EXPECT_EQ(files_.cell(Msg, r), "Error");
        EXPECT_EQ(files_.cell(PsAlt, r), "old");
        EXPECT_TRUE(logged(c.expectedLine));
        EXPECT_FALSE(logged("ERROR -> ChangeDir /ro"));
        for (const auto& t : lines) EXPECT_EQ(t.rfind("OK --> Senden", 0), std::string::npos) << t;
        EXPECT_TRUE(stats_.counted.empty());
        EXPECT_TRUE(logged("akt.anzahl -> 0"));
        EXPECT_TRUE(logged("akt.Bytes  -> 0"));
    }
}

// When the file vanished after the preparation pass, the transfer copy still holds the
// previous row's file; it must not go out under this row's name.
TEST_F(UploadPassTest, FailedCopyToTheTransferCopyStoresNothingAndMarksError) {
    const std::string folderAsSource = dir.file("a-folder");
    fs::create_directory(folderAsSource);
    const std::string vanished = dir.file("vanished.txt");
    const std::string firstSource = dir.write("first.txt", "content of the first row");
    addRow("Ja", "/p", "first.txt", "NEU", firstSource);
    const int r2 = addRow("Ja", "/p", "second.txt", "NEU", vanished, "9", "8");
    const int r3 = addRow("Ja", "/p", "third.txt", "NEU", folderAsSource, "9", "8");

    pass_.B_versendenClick();

    EXPECT_EQ(ftp_.calls, (std::vector<std::string>{"CWD /p", "PUT first.txt", "CWD /p", "CWD /p"}));
    ASSERT_EQ(ftp_.stores.size(), 1u);
    for (int r : {r2, r3}) {
        EXPECT_EQ(files_.cell(Msg, r), "Error");
        EXPECT_EQ(files_.cell(PsAlt, r), "8");
    }
    EXPECT_TRUE(logged("FTP_PUT_SENDE ERROR: Kopie nach VELORA.tmp fehlgeschlagen: " + vanished +
                       " : Datei nicht gefunden"));
    EXPECT_TRUE(loggedStartingWith("FTP_PUT_SENDE ERROR: Kopie nach VELORA.tmp fehlgeschlagen: " + folderAsSource));
    // Nothing of a failed or a successful store stays behind in the scratch folder.
    EXPECT_FALSE(fs::exists(transferCopy()));
    EXPECT_TRUE(fs::is_empty(temp_.path()));
    EXPECT_EQ(stats_.counted, std::vector<std::int64_t>{24});
    EXPECT_EQ(stats_.transferLog.at(0).files, 1);
    EXPECT_EQ(fileio::readAll(firstSource), "content of the first row");
    EXPECT_TRUE(fs::is_directory(folderAsSource));
    EXPECT_FALSE(fs::exists(vanished));
}

// Stored as "VELORA.tmp", two such rows overwrote each other on the server; the name
// is that of the file the row was made from (a tag copy stands for its source).
TEST_F(UploadPassTest, EmptyRemoteNameIsTheNameOfTheRowsSource) {
    const int plain = addRow("Ja", "", "", "NEU", dir.write("cam1.jpg", "one"));
    const std::string copy = dir.write("2_index.html", "page");
    sources_.record(copy, "/var/www/index.html");
    const int tagged = addRow("Ja", "/web", "", "NEU", copy);
    const int nameless = addRow("Ja", "/web", "", "NEU", "");

    pass_.B_versendenClick();

    EXPECT_EQ(ftp_.calls, (std::vector<std::string>{"CWD ", "PUT cam1.jpg", "CWD /web", "PUT index.html", "CWD /web"}));
    EXPECT_TRUE(logged("--- ChangeDir FTP ---> "));
    EXPECT_TRUE(logged("Ziel cam1.jpg"));
    EXPECT_EQ(files_.cell(Msg, plain), "Send");
    EXPECT_EQ(files_.cell(Msg, tagged), "Send");
    EXPECT_EQ(files_.cell(Msg, nameless), "Error");
    EXPECT_TRUE(logged("FTP_PUT_SENDE ERROR: kein Name für die Datei auf dem Server"));
}

// A preparation pass nested inside the store (events run during its progress) may
// write a newer fingerprint; the one recorded as uploaded is that of the file sent.
TEST_F(UploadPassTest, ChecksumRecordedIsTheOneOfTheFileSent) {
    const int r = addRow("Ja", "/", "f", "NEU", dir.write("f", "v1"), "100", "50");
    ftp_.duringPut = [&] { files_.setCell(PsNeu, r, "200"); };

    pass_.B_versendenClick();

    EXPECT_EQ(files_.cell(PsAlt, r), "100");
}

// Durations come from the monotonic tick: midnight and the clocks going back an hour
// in the middle of a pass do not change how long it took.
TEST_F(UploadPassTest, DurationIgnoresMidnightAndClockChanges) {
    for (const DateTime& start : {DateTime{2026, 12, 8, 23, 59, 59, 0, 3}, DateTime{2026, 10, 25, 2, 59, 58, 0, 1}}) {
        startOver();
        clock.set(start);
        addRow("Ja", "/", "f", "NEU", dir.write("f", "late"));
        ftp_.putDurationMs = 3000;
        // The wall clock jumps back an hour while the file is stored.
        ftp_.duringPut = [&] { clock.set({start.year, start.month, start.day, start.hour - 1, 59, 59, 0, 1}); };

        pass_.B_versendenClick();

        EXPECT_EQ(stats_.durations, std::vector<std::int64_t>{3100});
        EXPECT_TRUE(logged("akt.dauer  -> 00:00:03"));
        EXPECT_EQ(stats_.transferLog.at(0).elapsedMs, 3100);
    }
}

// A status query gives 0 for a file of the proc file system, which reads as more; the
// statistics count what the server confirmed.
TEST_F(UploadPassTest, BytesCountedAreTheBytesTheServerConfirmed) {
    ASSERT_EQ(fileio::querySize("/proc/self/environ"), 0);
    addRow("Ja", "/", "environ.txt", "NEU", "/proc/self/environ");

    pass_.B_versendenClick();

    const auto delivered = static_cast<std::int64_t>(ftp_.stores.at(0).content.size());
    ASSERT_GT(delivered, 0);
    EXPECT_EQ(stats_.counted, std::vector<std::int64_t>{delivered});
    EXPECT_TRUE(logged("akt.Bytes  -> " + std::to_string(delivered)));
}

// --- settled snapshots ----------------------------------------------------------------

enum class Writer { None, AfterPreparation, WhileWaited, WhileCopied };

// A file goes out only as the settled snapshot the preparation pass measured; a writer
// at work at each point of a run leaves it to the next run, which sends it whole.
TEST(SettledSnapshot, AFileIsSentOnlyAsMeasuredAndSettledElseWholeByTheNextRun) {
    // `tag` "Ja": the text is read and its copy written by the preparation pass; the age
    // is the last write's when the pass begins; the wait is the one when nothing writes.
    struct Case {
        const char *what, *tag;
        int settleSeconds;
        std::int64_t ageMs;
        Writer writer;
        std::int64_t waitMs;
    };
    const Case cases[] = {
        {"settled long ago", "No", 2, 5000, Writer::None, 0},
        // 400 ms old when measured, 500 ms after the pause before the row
        {"younger than the settle time", "No", 2, 400, Writer::None, 1500},
        {"stamped in the future", "No", 2, -60000, Writer::None, 2000},
        {"no settle time", "No", 0, 0, Writer::None, 0},
        {"rewritten after the preparation", "No", 2, 5000, Writer::AfterPreparation, 0},
        {"written to while waited for", "No", 2, 400, Writer::WhileWaited, 0},
        {"rewritten during the copy", "No", 2, 5000, Writer::WhileCopied, 0},
        {"tag text younger than the settle time", "Ja", 2, 400, Writer::None, 1600},
        {"tag text written to while waited for", "Ja", 2, 400, Writer::WhileWaited, 0},
        {"tag text rewritten while its copy was written", "Ja", 2, 5000, Writer::WhileCopied, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::PassRig rig;
        FakeFtp ftp(rig.clock);
        FakeStats stats(rig.clock);
        UploadPass upload(rig.files, ftp, stats, rig.temp, rig.sources, rig.snapshots, rig.log, rig.clock, rig.locale);
        rig.settings.se_ruhezeit.text = std::to_string(c.settleSeconds);
        const std::string source = rig.dir.write("cam.jpg", "first half");
        rig.addRow("Ja", c.tag, source);
        rig.facts.setAge(source, c.ageMs);
        const std::int64_t start = rig.clock.tickMs();
        bool written = false;
        const auto writeOnce = [&](bool now) {
            if (now && !written) fileio::writeAll(source, "whole, rewritten");
            written = written || now;
        };
        const std::string tagCopy = rig.scratch() + "/1_cam.jpg";
        // The upload asks for the status twice of a settled file: before its snapshot
        // is taken and after, just before the store.
        int uploadQueries = 0;
        bool uploading = false;
        rig.facts.beforeStatus = [&](const std::string&) {
            uploadQueries += uploading ? 1 : 0;
            const bool copied = fileio::exists(tagCopy) || uploadQueries == 2;
            writeOnce(c.writer == Writer::WhileCopied && copied);
        };
        // Past the pause before the row only while a young file is waited for.
        rig.ui.onPump = [&] {
            writeOnce(c.writer == Writer::WhileWaited && rig.clock.tickMs() > start + UploadPass::kRowPauseMs);
        };

        rig.pass.run();
        writeOnce(c.writer == Writer::AfterPreparation);
        uploading = true;
        upload.B_versendenClick();

        if (c.writer == Writer::None) {
            EXPECT_EQ(rig.cell(Msg, 1), "Send");
            ASSERT_EQ(ftp.stores.size(), 1u);
            EXPECT_EQ(ftp.stores[0].content, "first half");
            EXPECT_EQ(rig.clock.tickMs() - start - UploadPass::kRowPauseMs, c.waitMs);
            continue;
        }
        EXPECT_EQ(rig.cell(Msg, 1), "BUSY");
        EXPECT_EQ(rig.cell(PsAlt, 1), "0");
        EXPECT_TRUE(ftp.stores.empty());
        EXPECT_FALSE(fileio::exists(tagCopy));
        EXPECT_TRUE(rig.logged("Datei ändert sich noch, nicht gesendet -> " + source));

        rig.facts.setAge(source, 60000);
        rig.pass.run();
        upload.B_versendenClick();
        EXPECT_EQ(rig.cell(Msg, 1), "Send");
        ASSERT_EQ(ftp.stores.size(), 1u);
        EXPECT_EQ(ftp.stores[0].content, "whole, rewritten");
    }
}

// --- large files -----------------------------------------------------------------------

// Without a reflink a large file is read once, into the transfer copy and to the server
// together. A writer at work meanwhile (behind the reader or ahead of it) breaks the
// store off before its end, so the file is BUSY, never Send in a torn state, and the
// next pass sends it whole; no copy of any kind is left behind. With reflinks the copy
// is taken before the store, and the writer changes only what the next pass sends.
TEST_F(UploadPassTest, ALargeFileChangedWhileItIsSentIsBusyAndNeverSentTorn) {
    const bool reflinks = fileio::cloneReplacing(dir.write("probe", "p"), dir.file("probe.clone")) == 0;
    const std::size_t size = UploadPass::kSendWhileCopyingFrom + 1000;
    const auto cases = test::writerChanges(4096);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startOver();
        std::string body(size, '\0');
        for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i * 131 + i / 4096);
        const std::string src = dir.write("big.bin", body);
        // Written long ago, so a change now has a last write of its own.
        test::setFileTime(src, ::time(nullptr) - 600);
        const int r = addRow("Ja", "/big", "big.bin", "NEU", src, "4711", "42");
        bool changed = false;
        ftp_.betweenBlocks = [&](std::size_t) {
            if (c.change && !changed) c.change(src);
            changed = true;
        };

        pass_.B_versendenClick();

        if (!c.change || reflinks) {
            EXPECT_EQ(files_.cell(Msg, r), "Send");
            ASSERT_EQ(ftp_.stores.size(), 1u);
            EXPECT_EQ(ftp_.stores[0].content, body);
            EXPECT_EQ(stats_.counted, std::vector<std::int64_t>{static_cast<std::int64_t>(size)});
        } else {
            EXPECT_EQ(files_.cell(Msg, r), "BUSY");
            EXPECT_EQ(files_.cell(PsAlt, r), "42");
            EXPECT_TRUE(ftp_.stores.empty());
            EXPECT_TRUE(stats_.counted.empty());
            EXPECT_TRUE(logged("Datei ändert sich noch, nicht gesendet -> " + src));
        }
        for (const auto& entry : fs::directory_iterator(fs::path(transferCopy()).parent_path()))
            EXPECT_NE(entry.path().filename().string().rfind("VELORA.tmp", 0), 0u) << entry.path();
        fs::remove(src);
    }
}

// --- rates -----------------------------------------------------------------------------

TEST_F(UploadPassTest, FormatTransferRateInKilobytesPerSecondWithTheLocaleSeparator) {
    const struct {
        std::int64_t elapsedMs;
        std::int64_t size;
        const char* expected;
    } cases[] = {
        {1000, 12636, "12,34 KB/s"}, {2000, 2560, "1,25 KB/s"}, {1000, 0, "0,00 KB/s"},
        {250, 512, "2,00 KB/s"},     {3600000, 1024, "0,00 KB/s"},
        {0, 1024, "1000,00 KB/s"},   // no measurable time: reported over 1 ms
        {1000, 5LL << 30, "5242880,00 KB/s"},
    };
    for (const auto& c : cases) EXPECT_EQ(pass_.FormatTransferRate(c.elapsedMs, c.size), c.expected) << c.expected;
}

TEST_F(UploadPassTest, InstantStoreReportsTheRateOverOneMillisecond) {
    ftp_.putDurationMs = 0;
    EXPECT_TRUE(pass_.SendFile(dir.write("k", std::string(2048, 'k')), "k").sent());
    EXPECT_TRUE(logged("OK --> Senden der Datei. 2000,00 KB/s"));
}

}  // namespace
}  // namespace velora
