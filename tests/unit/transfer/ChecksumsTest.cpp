// Fingerprints, the change rule, AnyRowChanged and the reset command.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PreparationTestSupport.h"
#include "support/DieWithParent.h"
#include "transfer/Checksums.h"

namespace velora {
namespace {

using test::PassRig;
using test::TempDir;
using test::setLocalMtime;

fileio::FileStatus status(std::int64_t size, const DateTime& local, std::int32_t ns = 0, std::uint64_t inode = 7) {
    return {size, static_cast<std::int64_t>(test::epochOfLocal(local)), ns, 2049, inode};
}

// Pairs that are different files to the user (a rewrite, a replacement) and that the
// earlier XOR fingerprint took for the same one.
TEST(FileChecksum, EveryChangeOfSizeTimeIdentityOrPathIsSeen) {
    const std::string path = "/var/www/cam/bild.jpg";
    const DateTime morning{2026, 5, 5, 10, 2, 0};
    struct Case {
        const char* what;
        fileio::FileStatus before, after;
        std::string pathAfter;
    } cases[] = {
        {"10:02 and 08:00 with the same size", status(1000, morning), status(1000, {2026, 5, 5, 8, 0, 0}), path},
        {"size and minute moving by one together", status(1000, {2026, 5, 5, 10, 1, 0}),
         status(1001, {2026, 5, 5, 10, 0, 0}), path},
        {"replaced by a copy with the same size and time", status(1000, morning, 0, 7),
         status(1000, morning, 0, 8), path},
        {"rewritten within the same second", status(1000, morning, 100000000), status(1000, morning, 900000000),
         path},
        {"odd second", status(1000, morning), status(1000, {2026, 5, 5, 10, 2, 1}), path},
        {"size beyond 32 bits", status(1000, morning), status(1000 + (1LL << 32), morning), path},
        {"renamed source", status(1000, morning), status(1000, morning), "/var/www/cam/bild2.jpg"},
    };
    for (const auto& c : cases) {
        const std::int32_t before = fileChecksumOf(c.before, path);
        const std::int32_t after = fileChecksumOf(c.after, c.pathAfter);
        EXPECT_NE(before, after) << c.what;
        for (std::int32_t v : {before, after}) {
            EXPECT_GT(v, 0) << c.what;   // "0" is the load mark, -1 the failure
            EXPECT_EQ(fileChecksumOf(c.after, c.pathAfter), after) << c.what;  // no seed, no state
        }
    }
}

TEST(FileChecksum, RealFileKeepsItsNumberUntilItChanges) {
    TempDir dir;
    const std::string path = dir.write("Wetter_ä_Grüße.html", std::string(1234, 'x'));
    setLocalMtime(path, {2026, 7, 14, 9, 30, 17}, 250000000);
    const std::int32_t first = FileChecksum(path);
    EXPECT_GT(first, 0);
    EXPECT_EQ(FileChecksum(path), first);

    // Same bytes, same length, same time, but another file under the name.
    const std::string copy = dir.write("neu.tmp", std::string(1234, 'x'));
    setLocalMtime(copy, {2026, 7, 14, 9, 30, 17}, 250000000);
    ASSERT_EQ(::rename(copy.c_str(), path.c_str()), 0);
    EXPECT_NE(FileChecksum(path), first);
}

TEST(FileChecksum, UnmeasurableFilesGiveMinusOneAndLargeFilesAreMeasured) {
    TempDir dir;
    EXPECT_EQ(FileChecksum(""), -1);
    EXPECT_EQ(FileChecksum(dir.file("missing.txt")), -1);
    EXPECT_EQ(FileChecksum(dir.path()), -1);
    EXPECT_EQ(QueryFileSize(dir.path()), -1);
    ASSERT_EQ(::mkfifo(dir.file("rohr").c_str(), 0644), 0);
    EXPECT_EQ(FileChecksum(dir.file("rohr")), -1);

    // 2.5 GiB read negative and 4.1 GiB lost their high bits in 32 bits; sparse files
    // cost no disk space.
    for (const std::int64_t size : {5LL << 29, 4LL * 1024 * 1024 * 1024 + 100 * 1024 * 1024}) {
        const std::string big = dir.file("big" + std::to_string(size) + ".bin");
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        EXPECT_EQ(QueryFileSize(big), size);
        EXPECT_GT(FileChecksum(big), 0) << size;
    }
}

// Runs `check` as an unprivileged user when the test runs as root: root may open any
// file for writing, which would hide a size query that asks for write access.
bool runUnprivileged(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0 && ::geteuid() != 0;
        if (dropped) test::dieWithParent(parent);
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(FileChecksum, ReadOnlyFileIsMeasuredLikeAnyOther) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string path = dir.write("readonly.txt", std::string(4321, 'r'));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const std::int32_t expected = FileChecksum(path);
    EXPECT_GT(expected, 0);
    EXPECT_TRUE(runUnprivileged([&] { return QueryFileSize(path) == 4321 && FileChecksum(path) == expected; }));
}

// Texts a weather page really alternates between; the XOR of their bytes was equal.
TEST(ContentChecksum, ReorderedBytesAreDifferentTexts) {
    const std::pair<std::string, std::string> pairs[] = {
        {"Stand: 10:01", "Stand: 10:10"},
        {"21.5 C", "12.5 C"},
        {"ab", "ba"},
        {std::string("a\0b", 3), std::string("b\0a", 3)},
        {"", std::string(1, '\0')},
    };
    for (const auto& [a, b] : pairs) {
        EXPECT_NE(ContentChecksum(a), ContentChecksum(b)) << a << " / " << b;
        EXPECT_EQ(ContentChecksum(a), ContentChecksum(std::string(a))) << a;
    }
}

// "0" in "PS alt" means "not sent since the start": a text whose fingerprint were 0
// would never be sent.
TEST(ContentChecksum, NeverEqualsTheLoadMark) {
    for (const std::string& text : {std::string(10, 'x'), std::string(), std::string("\x01\x01"), std::string("Ä")}) {
        EXPECT_GT(ContentChecksum(text), 0) << text;
        EXPECT_NE(std::to_string(ContentChecksum(text)), "0");
    }
}

TEST(ChangeRule, ComparesTheTwoTextsExactly) {
    struct Case {
        const char* alt;
        const char* neu;
        const char* msg;
    };
    const Case cases[] = {
        {"0", "1074", "NEU"}, {"1074", "1074", "OK"}, {"???", "5", "NEU"},
        {"01074", "1074", "NEU"}, {"0", "0", "OK"},   {"1074 ", "1074", "NEU"},
    };
    FileTable files;
    files.setRowCount(1);
    for (const auto& c : cases) {
        files.setCell(PsAlt, 1, c.alt);
        files.setCell(PsNeu, 1, c.neu);
        applyChangeRule(files, 1);
        EXPECT_EQ(files.cell(Msg, 1), c.msg) << c.alt << " / " << c.neu;
    }
    applyChangeRule(files, 2);  // past the end: nothing to write, nothing to break
    EXPECT_EQ(files.rowCount(), 1);
}

TEST(AnyRowChanged, OnlyTheExactWordCountsOnAnyRow) {
    struct Case {
        std::vector<std::string> msgs;
        std::vector<std::string> aktiv;
        bool changed;
    };
    const Case cases[] = {
        {{}, {}, false},
        {{"OK", "NEU", "OK"}, {"Ja", "Ja", "Ja"}, true},
        {{"OK", "OK", "NEU"}, {"Ja", "Ja", "No"}, true},  // an inactive row counts too
        {{"neu", "NEU ", "Send"}, {"Ja", "Ja", "Ja"}, false},
        {{"?", "NF", "IOERROR"}, {"Ja", "Ja", "Ja"}, false},
    };
    for (const auto& c : cases) {
        FileTable files;
        files.setRowCount(static_cast<int>(c.msgs.size()));
        for (std::size_t i = 0; i < c.msgs.size(); ++i) {
            files.setCell(Msg, static_cast<int>(i) + 1, c.msgs[i]);
            files.setCell(Aktiv, static_cast<int>(i) + 1, c.aktiv[i]);
        }
        EXPECT_EQ(AnyRowChanged(files), c.changed) << ::testing::PrintToString(c.msgs);
    }
}

TEST(ResetPs, ZeroesEveryRowAndLogs) {
    PassRig rig;
    rig.addRow("Ja", "No", "/a");
    rig.addRow("No", "Ja", "/b");
    rig.files.setCell(PsNeu, 1, "1074");
    rig.files.setCell(PsAlt, 2, "77");
    rig.files.setCell(Msg, 2, "Send");
    Reset_psClick(rig.files, rig.log);
    for (int r = 1; r <= 2; ++r) {
        EXPECT_EQ(rig.cell(PsNeu, r), "0");
        EXPECT_EQ(rig.cell(PsAlt, r), "0");
        EXPECT_EQ(rig.cell(Msg, r), "Reset");
    }
    EXPECT_EQ(rig.lines, std::vector<std::string>{"Reset -> Prüfsummen"});
}

TEST(ResetPs, EmptyTableOnlyLogs) {
    PassRig rig;
    Reset_psClick(rig.files, rig.log);
    EXPECT_EQ(rig.files.rowCount(), 0);
    EXPECT_EQ(rig.lines, std::vector<std::string>{"Reset -> Prüfsummen"});
}

}  // namespace
}  // namespace velora
