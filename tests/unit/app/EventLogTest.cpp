#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "app/EventLog.h"
#include "platform/Errors.h"
#include "support/ErrorOf.h"
#include "support/LogHarness.h"
#include "support/TempDir.h"

using namespace velora;
using velora::test::readFileBytes;

namespace {

// Limit "600", file VELORA.Log in a scratch folder, clock at 08.12.2026 14:05:09.
struct LogFixture : ::testing::Test, test::LogHarness {};

}  // namespace

TEST_F(LogFixture, LineHasDateTimeAndTextInViewAndFileWithCrLf) {
    log.write("Programm -> RUN");
    ASSERT_EQ(view.lineCount(), 1u);
    EXPECT_EQ(view.line(0), "08.12.2026 14:05:09 Programm -> RUN");
    EXPECT_EQ(readFileBytes(logFile), "08.12.2026 14:05:09 Programm -> RUN\r\n");
}

TEST_F(LogFixture, EmptyTextIsLoggedUnchanged) {
    log.write("");
    EXPECT_EQ(readFileBytes(logFile), "08.12.2026 14:05:09 \r\n");
}

TEST_F(LogFixture, ViewStopsAtLimitPlusOneWhileFileKeepsEveryLine) {
    for (int i = 0; i < 700; ++i) log.write("line " + std::to_string(i));
    EXPECT_EQ(view.lineCount(), 601u);
    EXPECT_EQ(view.line(0), "08.12.2026 14:05:09 line 99");
    EXPECT_EQ(view.line(600), "08.12.2026 14:05:09 line 699");
    const std::string file = readFileBytes(logFile);
    std::size_t lines = 0;
    for (std::size_t p = file.find("\r\n"); p != std::string::npos; p = file.find("\r\n", p + 2)) ++lines;
    EXPECT_EQ(lines, 700u);
}

// Each line is 28 bytes here; the log is moved aside once it holds two.
TEST_F(LogFixture, AFullLogIsMovedAsideAndAFailedMoveIsShownOnceWithoutLosingALine) {
    rotateAt = 56;
    for (int i = 1; i <= 3; ++i) log.write("line " + std::to_string(i));
    EXPECT_EQ(readFileBytes(logFile + ".1"), "08.12.2026 14:05:09 line 1\r\n08.12.2026 14:05:09 line 2\r\n");
    EXPECT_EQ(readFileBytes(logFile), "08.12.2026 14:05:09 line 3\r\n");

    ASSERT_EQ(::unlink((logFile + ".1").c_str()), 0);
    ASSERT_EQ(::mkdir((logFile + ".1").c_str(), 0700), 0);
    for (int i = 4; i <= 6; ++i) log.write("line " + std::to_string(i));
    std::string kept;
    for (int i = 3; i <= 6; ++i) kept += "08.12.2026 14:05:09 line " + std::to_string(i) + "\r\n";
    EXPECT_EQ(readFileBytes(logFile), kept);
    EXPECT_EQ(lines, (std::vector<std::string>{"line 1", "line 2", "line 3", "line 4", "line 5",
                                               "Log Datei " + logFile + " kann nicht rotiert werden: " +
                                                   IoError::textFor(EPERM),
                                               "line 6"}));
}

TEST_F(LogFixture, LimitThatIsNoNumberCountsAsTen) {
    for (const std::string text : {"", "abc", "12x", " "}) {
        view.clear();
        limit = text;
        for (int i = 0; i < 30; ++i) log.write("x");
        EXPECT_EQ(view.lineCount(), 11u) << "limit text '" << text << "'";
    }
}

TEST_F(LogFixture, LoweringTheLimitShrinksTheViewByOneLinePerCall) {
    for (int i = 0; i < 50; ++i) log.write("x");
    ASSERT_EQ(view.lineCount(), 50u);
    limit = "10";
    log.write("y");
    EXPECT_EQ(view.lineCount(), 50u);  // one removed, one added
}

TEST_F(LogFixture, LimitParsing) {
    EXPECT_EQ(EventLog::limitFromText("600"), 600);
    EXPECT_EQ(EventLog::limitFromText(" 42 "), 42);
    EXPECT_EQ(EventLog::limitFromText("+3601"), 3601);
    EXPECT_EQ(EventLog::limitFromText("4.5"), 10);
    EXPECT_EQ(EventLog::limitFromText("+-5"), 10);
    EXPECT_EQ(EventLog::limitFromText("+"), 10);
    EXPECT_EQ(EventLog::limitFromText("99999999999999"), 10);
}

TEST_F(LogFixture, NestedCallIsSecondInViewButFirstInFile) {
    bool nested = false;
    ui.onPump = [&] {
        if (nested) return;
        nested = true;
        log.write("inner");
    };
    log.write("outer");
    ASSERT_EQ(view.lineCount(), 2u);
    EXPECT_EQ(view.line(0), "08.12.2026 14:05:09 outer");
    EXPECT_EQ(view.line(1), "08.12.2026 14:05:09 inner");
    EXPECT_EQ(readFileBytes(logFile), "08.12.2026 14:05:09 inner\r\n08.12.2026 14:05:09 outer\r\n");
}

TEST_F(LogFixture, PendingEventsRunBeforeTheFileIsWritten) {
    std::string seenAtPump = "unset";
    ui.onPump = [&] { seenAtPump = readFileBytes(logFile); };
    log.write("a");
    EXPECT_EQ(seenAtPump, "");
}

// A log that cannot be written (unplugged disk, full home, empty "Log Datei", a
// folder, a fifo nobody reads) must never stop the exports: the line is shown, the
// failure is said once per streak, and every line tries the file again.
TEST_F(LogFixture, UnwritableLogFileNeverFailsTheCallerAndIsReportedOnce) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    for (const std::string& bad : {dir.file("missing/VELORA.Log"), std::string(), dir.path(), dir.file("fifo")}) {
        SCOPED_TRACE(bad);
        logFile = dir.file("VELORA.Log");
        log.write("gut");
        view.clear();
        logFile = bad;
        EXPECT_NO_THROW(log.write("lost"));
        EXPECT_NO_THROW(log.write("lost too"));
        ASSERT_EQ(view.lineCount(), 3u);
        EXPECT_EQ(view.line(0), "08.12.2026 14:05:09 lost");
        EXPECT_EQ(view.line(1).rfind("08.12.2026 14:05:09 Log Datei " + bad + " kann nicht geschrieben werden: ", 0),
                  0u)
            << view.line(1);
        EXPECT_EQ(view.line(2), "08.12.2026 14:05:09 lost too");
    }
    struct stat st;
    EXPECT_NE(::stat(dir.file("missing").c_str(), &st), 0);

    // Back on a good file the lines go on at once, and a new failure is said again.
    logFile = dir.file("other.log");
    log.write("wieder da");
    EXPECT_EQ(readFileBytes(logFile), "08.12.2026 14:05:09 wieder da\r\n");
    logFile = dir.path();
    log.write("weg");
    EXPECT_EQ(view.lineCount(), 6u);
}

// One call, one line: a CR or LF inside a table field or a server reply must not forge
// lines without date and time.
TEST_F(LogFixture, LineBreaksInsideTheTextAreWrittenEscaped) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"Ziel a\r\nDELE x", "Ziel a\\r\\nDELE x"},
        {"a\nb\rc", "a\\nb\\rc"},
        {"550 bad\r", "550 bad\\r"},
        {"ohne Umbruch \\n bleibt", "ohne Umbruch \\n bleibt"},
        {std::string("tab\tund\0null", 13), std::string("tab\tund\0null", 13)},
    };
    for (const auto& c : cases) log.write(c.text);
    std::string expected;
    for (const auto& c : cases) expected += "08.12.2026 14:05:09 " + c.shown + "\r\n";
    EXPECT_EQ(readFileBytes(logFile), expected);
    EXPECT_EQ(view.lineCount(), std::size(cases));
}

TEST_F(LogFixture, ExistingFileIsAppendedNeverTruncated) {
    test::writeFileBytes(logFile, "old line\r\n");
    log.write("new");
    EXPECT_EQ(readFileBytes(logFile), "old line\r\n08.12.2026 14:05:09 new\r\n");
}

TEST_F(LogFixture, ChangedFileNameTakesEffectWithTheNextLine) {
    log.write("one");
    const std::string first = logFile;
    logFile = dir.file("other.log");
    log.write("two");
    EXPECT_EQ(readFileBytes(first), "08.12.2026 14:05:09 one\r\n");
    EXPECT_EQ(readFileBytes(logFile), "08.12.2026 14:05:09 two\r\n");
}

// The file stays open between lines, yet every line goes where the name leads at that
// moment, and only into a plain file of the user's: whatever was done to the log
// between two lines (by logrotate, by the user, by someone planting a link).
TEST_F(LogFixture, EachLineGoesWhereTheNameLeadsNowWhateverHappenedSinceTheLastOne) {
    const std::string line1 = "08.12.2026 14:05:09 eins\r\n";
    const std::string line2 = "08.12.2026 14:05:09 zwei\r\n";
    const std::string target = dir.file("target.txt");
    struct Case {
        const char* what;
        std::function<void()> between;
        std::string atName;   // what the log's name holds afterwards
        std::string aside;    // what log.1 holds afterwards
        bool refused;         // the second line was refused and said so
    } cases[] = {
        {"nothing", [] {}, line1 + line2, "", false},
        {"moved aside", [&] { ASSERT_EQ(::rename(logFile.c_str(), (logFile + ".1").c_str()), 0); }, line2, line1, false},
        {"removed", [&] { ASSERT_EQ(::unlink(logFile.c_str()), 0); }, line2, "", false},
        {"replaced by another file",
         [&] {
             test::writeFileBytes(logFile + ".new", "neu\r\n");
             ASSERT_EQ(::rename((logFile + ".new").c_str(), logFile.c_str()), 0);
         },
         "neu\r\n" + line2, "", false},
        {"replaced by a link",
         [&] {
             ASSERT_EQ(::unlink(logFile.c_str()), 0);
             ASSERT_EQ(::symlink(target.c_str(), logFile.c_str()), 0);
         },
         "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& f : {logFile, logFile + ".1"}) ::unlink(f.c_str());
        test::writeFileBytes(target, "fremd");
        // A new name first, so every case begins with a line that opens the file.
        logFile = dir.file("elsewhere.log");
        log.write("vorher");
        logFile = dir.file("VELORA.Log");
        lines.clear();
        log.write("eins");
        c.between();
        log.write("zwei");
        EXPECT_EQ(readFileBytes(target), "fremd");
        if (c.refused) {
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_EQ(lines[2], "Log Datei " + logFile + " kann nicht geschrieben werden: " + logFile + " ist ein Verweis");
            continue;
        }
        EXPECT_EQ(lines, (std::vector<std::string>{"eins", "zwei"}));
        EXPECT_EQ(readFileBytes(logFile), c.atName);
        struct stat st {};
        if (c.aside.empty()) {
            EXPECT_NE(::lstat((logFile + ".1").c_str(), &st), 0);
        } else {
            EXPECT_EQ(readFileBytes(logFile + ".1"), c.aside);
        }
    }
}

// A server or proxy that repeats the password in its reply: neither the view, the
// echo (stdout) nor the file ever shows it, and an edited password counts at once.
TEST_F(LogFixture, PasswordsAreMaskedWhoeverPutThemIntoTheText) {
    secrets = {"geheim99", "7x", ""};
    const struct {
        std::string text, shown;
    } cases[] = {
        {"530 Login incorrect: PASS geheim99", "530 Login incorrect: PASS ********"},
        {"USER ax@geheim99geheim99x", "USER ax@****************x"},
        {"PASS 7x\r\n", "PASS ********\\r\\n"},
        {"Zeile 7x7 und 17x bleiben", "Zeile 7x7 und 17x bleiben"},   // a short one only as a word
        {"(7x)", "(********)"},
    };
    for (const auto& c : cases) log.write(c.text);
    secrets = {"neu-geheim"};
    log.write("PASS neu-geheim geheim99");
    std::string expected;
    for (const auto& c : cases) expected += "08.12.2026 14:05:09 " + c.shown + "\r\n";
    expected += "08.12.2026 14:05:09 PASS ******** geheim99\r\n";
    EXPECT_EQ(readFileBytes(logFile), expected);
    EXPECT_EQ(lines.back(), "PASS ******** geheim99");   // the echo on stdout, as the view
}
