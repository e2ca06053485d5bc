// Fingerprints, the change rule, AnyRowChanged and the reset command.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PreparationTestSupport.h"
#include "transfer/Checksums.h"

namespace velora {
namespace {

using testing::PassRig;
using test::TempDir;
using testing::setLocalMtime;
using test::writeFileBytes;

// The fingerprint written out by hand from stat and localtime, independent of the code
// under test.
std::int32_t expectedFingerprint(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    tm local{};
    localtime_r(&info.st_mtime, &local);
    std::uint32_t v = static_cast<std::uint32_t>(info.st_size);
    v ^= static_cast<std::uint32_t>(local.tm_year + 1900);
    v ^= static_cast<std::uint32_t>(local.tm_mon + 1);
    v ^= static_cast<std::uint32_t>(local.tm_mday);
    v ^= static_cast<std::uint32_t>(local.tm_hour);
    v ^= static_cast<std::uint32_t>(local.tm_min);
    v ^= static_cast<std::uint32_t>(local.tm_sec & ~1);
    for (unsigned char c : path) v ^= c;
    return static_cast<std::int32_t>(v);
}

TEST(FileChecksum, WorkedExampleGives1074) {
    EXPECT_EQ(FileChecksumOf(1000, {2010, 1, 31, 15, 1, 3, 0, 1}, "C:\\a.txt"), 1074);
    // The odd second and the milliseconds vanish at DOS resolution.
    EXPECT_EQ(FileChecksumOf(1000, {2010, 1, 31, 15, 1, 2, 999, 1}, "C:\\a.txt"), 1074);
    // One second later is the next 2-second step.
    EXPECT_NE(FileChecksumOf(1000, {2010, 1, 31, 15, 1, 4, 0, 1}, "C:\\a.txt"), 1074);
}

TEST(FileChecksum, RealFileMatchesHandComputedValueOverUtf8Bytes) {
    TempDir dir;
    const std::string path = dir.write("Wetter_ä_Grüße.html", std::string(1234, 'x'));
    setLocalMtime(path, {2026, 7, 14, 9, 30, 17});
    EXPECT_EQ(FileChecksum(path), expectedFingerprint(path));
    EXPECT_GE(FileChecksum(path), 0);
}

TEST(FileChecksum, RenamingTheSourceChangesTheFingerprint) {
    TempDir dir;
    dir.write("a.txt", "same");
    dir.write("b.txt", "same");
    setLocalMtime(dir.file("a.txt"), {2026, 3, 1, 12, 0, 0});
    setLocalMtime(dir.file("b.txt"), {2026, 3, 1, 12, 0, 0});
    EXPECT_EQ(FileChecksum(dir.file("a.txt")) ^ FileChecksum(dir.file("b.txt")), 'a' ^ 'b');
}

TEST(FileChecksum, TwoWritesWithinOneTwoSecondStepLookTheSame) {
    TempDir dir;
    const std::string path = dir.write("station.csv", "t=12.5");
    setLocalMtime(path, {2026, 5, 5, 10, 0, 0}, 100'000'000);
    const auto first = FileChecksum(path);

    writeFileBytes(path, "t=13.1");  // same length
    setLocalMtime(path, {2026, 5, 5, 10, 0, 1}, 900'000'000);
    EXPECT_EQ(FileChecksum(path), first);

    writeFileBytes(path, "t=13.7");
    setLocalMtime(path, {2026, 5, 5, 10, 0, 2});
    EXPECT_NE(FileChecksum(path), first);
}

TEST(FileChecksum, UnmeasurableFilesGiveMinusOne) {
    TempDir dir;
    EXPECT_EQ(FileChecksum(""), -1);
    EXPECT_EQ(FileChecksum(dir.file("missing.txt")), -1);
    EXPECT_EQ(FileChecksum(dir.path()), -1);
    EXPECT_EQ(QueryFileSize(dir.path()), -1);

    // 3 GiB reads negative in 32 bits; a sparse file costs no disk space.
    const std::string big = dir.file("big.bin");
    const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3LL * 1024 * 1024 * 1024), 0);
    ::close(fd);
    EXPECT_LT(QueryFileSize(big), 0);
    EXPECT_EQ(FileChecksum(big), -1);
}

// Runs `check` as an unprivileged user when the test runs as root: root may open any
// file for writing, which would hide a size query that asks for write access.
bool runUnprivileged(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && ::geteuid() != 0 && check();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(FileChecksum, ReadOnlyFileIsMeasuredLikeAnyOther) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string path = dir.write("readonly.txt", std::string(4321, 'r'));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const std::int32_t expected = expectedFingerprint(path);
    EXPECT_TRUE(runUnprivileged([&] { return QueryFileSize(path) == 4321 && FileChecksum(path) == expected; }));
}

TEST(ContentChecksum, XorOfUnsignedBytes) {
    EXPECT_EQ(ContentChecksum("abc"), 96);
    EXPECT_EQ(ContentChecksum(""), 0);
    EXPECT_EQ(ContentChecksum(std::string("\xff\x01", 2)), 0xfe);
    EXPECT_EQ(ContentChecksum(std::string("a\0b", 3)), 'a' ^ 'b');
    EXPECT_EQ(ContentChecksum("Ä"), 0xC3 ^ 0x84);
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
        ApplyChangeRule(files, 1);
        EXPECT_EQ(files.cell(Msg, 1), c.msg) << c.alt << " / " << c.neu;
    }
    ApplyChangeRule(files, 2);  // past the end: nothing to write, nothing to break
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
