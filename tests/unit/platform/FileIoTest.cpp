#include "platform/FileIo.h"
#include "platform/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "support/WriterChanges.h"
#include "support/DieWithParent.h"
#include "support/FileTimes.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

namespace velora {
namespace {

using test::TempDir;

// The IoError a call raises, or nullopt.
std::optional<IoError> ioErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const IoError& e) {
        return e;
    }
    return std::nullopt;
}

TEST(FileIoTest, AppendCreatesOnFirstUseAndNeverTruncates) {
    TempDir dir;
    const std::string log = dir.file("VELORA.Log");
    fileio::append(log, "erste Zeile\r\n");
    EXPECT_EQ(fileio::readAll(log), "erste Zeile\r\n");
    fileio::append(log, std::string("zwei\0drei\r\n", 11));
    fileio::append(log, "");
    EXPECT_EQ(fileio::readAll(log), std::string("erste Zeile\r\nzwei\0drei\r\n", 24));
}

TEST(FileIoTest, HeaderGoesOnlyIntoAFileThisCallCreates) {
    TempDir dir;
    const std::string csv = dir.file("Transfer_Log.csv");
    fileio::appendCreatingWithHeader(csv, "Datum;Zeit\r\n", "08.12.2026;14:05:09\r\n");
    fileio::appendCreatingWithHeader(csv, "Datum;Zeit\r\n", "09.12.2026;01:00:00\r\n");
    EXPECT_EQ(fileio::readAll(csv), "Datum;Zeit\r\n08.12.2026;14:05:09\r\n09.12.2026;01:00:00\r\n");

    const std::string existing = dir.file("alt.csv");
    fileio::writeAll(existing, "schon da\n");
    fileio::appendCreatingWithHeader(existing, "Kopf\n", "neu\n");
    EXPECT_EQ(fileio::readAll(existing), "schon da\nneu\n");
}

TEST(FileIoTest, FailuresCarryTheProgramsTexts) {
    TempDir dir;
    fileio::writeAll(dir.file("datei"), "x");
    struct Case {
        const char* what;
        std::function<void()> action;
        int code;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"missing folder", [&] { fileio::append(dir.file("fehlt/log.txt"), "x"); }, ENOENT,
         "Datei nicht gefunden"},
        {"file used as folder", [&] { fileio::append(dir.file("datei/log.txt"), "x"); }, ENOTDIR,
         "Datei nicht gefunden"},
        {"read missing", [&] { fileio::readAll(dir.file("fehlt.txt")); }, ENOENT,
         "Datei nicht gefunden"},
        {"header into missing folder",
         [&] { fileio::appendCreatingWithHeader(dir.file("fehlt/x.csv"), "h", "x"); }, ENOENT,
         "Datei nicht gefunden"},
        // An existing entry that cannot take the bytes is reported, never replaced.
        {"append to a folder", [&] { fileio::append(dir.path(), "x"); }, EISDIR, "E/A-Fehler 21"},
        {"header file is a folder",
         [&] { fileio::appendCreatingWithHeader(dir.path(), "h", "x"); }, EISDIR, "E/A-Fehler 21"},
        {"write to a folder", [&] { fileio::writeAll(dir.path(), "x"); }, EISDIR, "E/A-Fehler 21"},
        // The disk-full device: the open works, the write fails.
        {"full disk", [&] { fileio::append("/dev/full", "x"); }, ENOSPC, "E/A-Fehler 28"},
    };
    for (const auto& c : cases) {
        const auto error = ioErrorOf(c.action);
        ASSERT_TRUE(error.has_value()) << c.what;
        EXPECT_EQ(error->code(), c.code) << c.what;
        EXPECT_STREQ(error->what(), c.text) << c.what;
    }
    EXPECT_TRUE(fileio::isDirectory(dir.path()));
}

// Root passes every permission check, so as root the attempt runs in a child that
// has given up its rights first. Returns the text of the IoError raised, or a note.
std::string textWithoutRights(const std::function<void()>& action) {
    if (geteuid() != 0) {
        const auto error = ioErrorOf(action);
        return error ? error->what() : "<no IoError>";
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "<pipe failed>";
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::string text = "<could not drop rights>";
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            test::dieWithParent(parent);
            const auto error = ioErrorOf(action);
            text = error ? error->what() : "<no IoError>";
        }
        (void)!write(pipeFds[1], text.data(), text.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) text.append(buffer, n);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return text;
}

TEST(FileIoTest, NoPermissionIsAccessDenied) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string locked = dir.file("gesperrt");
    ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
    const std::string readOnly = dir.file("nurlesen.txt");
    fileio::writeAll(readOnly, "bleibt");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);

    EXPECT_EQ(textWithoutRights([&] { fileio::append(locked + "/log.txt", "x"); }),
              "Dateizugriff verweigert");
    EXPECT_EQ(textWithoutRights([&] { fileio::append(readOnly, "x"); }), "Dateizugriff verweigert");
    EXPECT_EQ(textWithoutRights([&] { fileio::appendCreatingWithHeader(readOnly, "h", "x"); }),
              "Dateizugriff verweigert");
    EXPECT_EQ(fileio::readAll(readOnly), "bleibt");
    EXPECT_FALSE(fileio::exists(locked + "/log.txt"));
}

// A log folder other accounts can write to: whatever one of them planted under a
// log's name is refused at once, and nothing is written through it.
TEST(FileIoTest, LogsGoOnlyIntoPlainFilesOfTheirOwnUser) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 01777), 0);
    const std::string secret = dir.write("geheim.conf", "nur für mich\n");
    const auto path = [&](const char* name) { return dir.file(name); };
    const std::tuple<const char*, std::function<int(const std::string&)>, std::string> cases[] = {
        {"fifo", [](const std::string& p) { return mkfifo(p.c_str(), 0666); }, "ist eine FIFO"},
        {"link", [&](const std::string& p) { return symlink(secret.c_str(), p.c_str()); }, "ist ein Verweis"},
        {"dangling", [&](const std::string& p) { return symlink(path("neu").c_str(), p.c_str()); }, "ist ein Verweis"},
        {"folder", [](const std::string& p) { return mkdir(p.c_str(), 0777); }, "ist ein Ordner"},
        // Only as root is the planter another account.
        {"file", [](const std::string& p) { return creat(p.c_str(), 0666) >= 0 ? 0 : -1; },
         geteuid() == 0 ? "gehört einem anderen Benutzer" : "(geschrieben)"},
    };
    test::asOrdinaryUser([&] {
        for (const auto& [name, plant, refusal] : cases) ASSERT_EQ(plant(path(name)), 0) << name;
    });
    const auto refusalOf = [](const std::string& p) {
        const auto error = ioErrorOf([&] { fileio::appendToLog(p, "Kopf\r\n", "x\r\n", geteuid()); });
        return error ? std::string(error->what()) : p + " (geschrieben)";
    };
    for (const auto& [name, plant, refusal] : cases) EXPECT_EQ(refusalOf(path(name)), path(name) + " " + refusal);
    EXPECT_EQ(refusalOf("/dev/null"), "/dev/null ist ein Gerät");
    EXPECT_EQ(fileio::readAll(secret), "nur für mich\n");
    EXPECT_FALSE(fileio::exists(path("neu")));

    // A new log is the user's alone and gets its header once.
    for (const char* line : {"a\r\n", "b\r\n"}) fileio::appendToLog(path("neu.csv"), "Kopf\r\n", line, geteuid());
    EXPECT_EQ(fileio::readAll(path("neu.csv")), "Kopf\r\na\r\nb\r\n");
    EXPECT_EQ(std::filesystem::status(path("neu.csv")).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// The rotation rule: a log at or past the limit is moved to NAME.1, the older ones
// one place up to NAME.5, the oldest dropped, and the line starts a new log after its
// header; the line is written whatever happens to the move. Files are given as
// suffix=content; "<dir>" is a folder, "<link>" a link to another file.
TEST(FileIoTest, AFullLogIsMovedAsideBeforeTheNextLine) {
    using Files = std::map<std::string, std::string>;
    struct Case {
        const char* what;
        std::uint64_t limit;
        Files before;
        Files after;
        bool moveFails;
    };
    const std::string full(10, 'a');
    const Case cases[] = {
        {"0 never rotates", 0, {{"", full}}, {{"", full + "x\n"}}, false},
        {"below the limit", 11, {{"", full}}, {{"", full + "x\n"}}, false},
        {"at the limit", 10, {{"", full}}, {{"", "H\nx\n"}, {".1", full}}, false},
        {"every place taken, the oldest dropped", 10,
         {{"", full}, {".1", "1"}, {".2", "2"}, {".3", "3"}, {".4", "4"}, {".5", "5"}},
         {{"", "H\nx\n"}, {".1", full}, {".2", "1"}, {".3", "2"}, {".4", "3"}, {".5", "4"}}, false},
        {"gaps stay gaps", 10, {{"", full}, {".2", "2"}, {".4", "4"}},
         {{"", "H\nx\n"}, {".1", full}, {".3", "2"}, {".5", "4"}}, false},
        {"a folder in the row keeps the log in place", 10, {{"", full}, {".1", "<dir>"}},
         {{"", full + "x\n"}, {".1", "<dir>"}}, true},
        {"a link in the row is neither moved nor replaced", 10, {{"", full}, {".2", "<link>"}, {".1", "1"}},
         {{"", full + "x\n"}, {".2", "<link>"}, {".1", "1"}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string other = dir.write("fremd", "fremd");
        const std::string log = dir.file("VELORA.Log");
        for (const auto& [suffix, content] : c.before) {
            const std::string name = log + suffix;
            if (content == "<dir>") {
                ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
            } else if (content == "<link>") {
                ASSERT_EQ(symlink(other.c_str(), name.c_str()), 0);
            } else {
                fileio::appendToLog(name, {}, content, geteuid());
            }
        }
        const int failure = fileio::appendToLog(log, "H\n", "x\n", geteuid(), c.limit);
        EXPECT_EQ(failure != 0, c.moveFails) << failure;
        Files found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().string();
            if (name == other) continue;
            ASSERT_EQ(name.compare(0, log.size(), log), 0) << name;
            found[name.substr(log.size())] = entry.is_symlink()     ? "<link>"
                                             : entry.is_directory() ? "<dir>"
                                                                    : fileio::readAll(name);
        }
        EXPECT_EQ(found, c.after);
        EXPECT_EQ(fileio::readAll(other), "fremd");
    }
}

TEST(FileIoTest, WriteAllReplacesTheWholeContent) {
    TempDir dir;
    const std::string path = dir.file("a.txt");
    fileio::writeAll(path, "ein langer alter Inhalt");
    fileio::writeAll(path, "kurz");
    EXPECT_EQ(fileio::readAll(path), "kurz");
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileIoTest, CopyReplacingCopiesEveryByteAndLeavesNothingBehindOnFailure) {
    TempDir dir;
    std::string big;
    for (int i = 0; i < 200000; ++i) big += static_cast<char>(i % 251);
    const std::string src = dir.file("quelle.bin");
    fileio::writeAll(src, big);
    fileio::writeAll(dir.file("ziel.bin"), std::string(300000, 'z'));

    EXPECT_EQ(fileio::copyReplacing(src, dir.file("ziel.bin")), 0);
    EXPECT_EQ(fileio::readAll(dir.file("ziel.bin")), big);
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("ziel.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // a copy of a private file stays private

    EXPECT_EQ(fileio::copyReplacing(dir.file("fehlt.bin"), dir.file("z2.bin")), ENOENT);
    EXPECT_EQ(fileio::copyReplacing(src, dir.file("fehlt/z.bin")), ENOENT);
    EXPECT_NE(fileio::copyReplacing(dir.path(), dir.file("z3.bin")), 0);
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"quelle.bin", "ziel.bin"}));
}

// A link planted where a copy goes is replaced, never written through.
TEST(FileIoTest, CopiesAndReplacementsNeverWriteThroughALink) {
    TempDir dir;
    const std::string victim = dir.file("victim.txt");
    fileio::writeAll(victim, "kostbar");
    fileio::writeAll(dir.file("quelle.txt"), "neu");
    ASSERT_EQ(symlink(victim.c_str(), dir.file("VELORA.tmp").c_str()), 0);
    ASSERT_EQ(symlink(victim.c_str(), dir.file("1_index.html").c_str()), 0);

    EXPECT_EQ(fileio::copyReplacing(dir.file("quelle.txt"), dir.file("VELORA.tmp")), 0);
    fileio::replaceFile(dir.file("1_index.html"), "seite");
    EXPECT_EQ(fileio::readAll(victim), "kostbar");
    EXPECT_EQ(fileio::readAll(dir.file("VELORA.tmp")), "neu");
    EXPECT_EQ(fileio::readAll(dir.file("1_index.html")), "seite");
    struct stat info {};
    ASSERT_EQ(::lstat(dir.file("VELORA.tmp").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));

    EXPECT_THROW(fileio::replaceFile(dir.file("fehlt/x"), "x"), IoError);
    EXPECT_TRUE(fileio::removeFile(dir.file("VELORA.tmp")));
    EXPECT_TRUE(fileio::removeFile(dir.file("VELORA.tmp")));  // gone is gone
    EXPECT_FALSE(fileio::exists(dir.file("VELORA.tmp")));
}

TEST(FileIoTest, CopyOntoItselfKeepsTheFile) {
    TempDir dir;
    const std::string src = dir.file("selbst.txt");
    fileio::writeAll(src, "Inhalt");
    ASSERT_EQ(symlink(src.c_str(), dir.file("link.txt").c_str()), 0);
    EXPECT_EQ(fileio::copyReplacing(src, src), 0);
    EXPECT_EQ(fileio::copyReplacing(src, dir.file("link.txt")), 0);
    EXPECT_EQ(fileio::readAll(src), "Inhalt");
}

TEST(FileIoTest, QuerySizeNeedsAReadableRegularFile) {
    TempDir dir;
    const std::string readOnly = dir.file("nurlesen.txt");
    fileio::writeAll(readOnly, "12345");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    EXPECT_EQ(fileio::querySize(readOnly), 5);
    EXPECT_EQ(fileio::querySize(dir.path()), -1);
    EXPECT_EQ(fileio::querySize(dir.file("fehlt")), -1);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
    EXPECT_EQ(fileio::querySize(dir.file("fifo")), -1);  // and does not hang on it
    fileio::writeAll(dir.file("leer"), "");
    EXPECT_EQ(fileio::querySize(dir.file("leer")), 0);
}

TEST(FileIoTest, QuerySizeKeepsAll64Bits) {
    TempDir dir;
    for (const std::int64_t size : {0x7FFFFFFFLL, 0xC0000000LL, 0x140000000LL}) {
        const std::string path = dir.file("gross");
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const bool sized = ftruncate(fd, size) == 0;
        close(fd);
        if (!sized) GTEST_SKIP() << "the file system cannot hold sparse files this large";
        EXPECT_EQ(fileio::querySize(path), size);
        EXPECT_EQ(fileio::statusOf(path)->size, size);
    }
}

TEST(FileIoTest, EntryKindsAndFolderCreation) {
    TempDir dir;
    fileio::writeAll(dir.file("f"), "x");
    ASSERT_EQ(symlink(dir.file("f").c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("weg").c_str(), dir.file("tot").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
    struct {
        const char* name;
        bool exists, regular, folder;
    } cases[] = {
        {"f", true, true, false},     {"link", true, true, false}, {"tot", true, false, false},
        {"fifo", true, false, false}, {"", true, false, true},     {"weg", false, false, false},
    };
    for (const auto& c : cases) {
        const std::string path = *c.name ? dir.file(c.name) : dir.path();
        EXPECT_EQ(fileio::exists(path), c.exists) << c.name;
        EXPECT_EQ(fileio::isRegularFile(path), c.regular) << c.name;
        EXPECT_EQ(fileio::isDirectory(path), c.folder) << c.name;
    }
    EXPECT_TRUE(fileio::createFolder(dir.file("neu")));
    EXPECT_TRUE(fileio::isDirectory(dir.file("neu")));
    EXPECT_FALSE(fileio::createFolder(dir.file("neu")));
    EXPECT_FALSE(fileio::createFolder(dir.file("a/b")));
}

}  // namespace
}  // namespace velora

TEST(SameFileTest, LinksAndSpellingsOfOneFileAreTheSameFile) {
    velora::test::TempDir dir;
    const std::string a = dir.write("a.txt", "x");
    const std::string b = dir.write("b.txt", "x");
    ASSERT_EQ(::symlink(a.c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(::link(a.c_str(), dir.file("hard").c_str()), 0);
    EXPECT_TRUE(velora::fileio::sameFile(a, dir.file("link")));
    EXPECT_TRUE(velora::fileio::sameFile(a, dir.file("hard")));
    EXPECT_TRUE(velora::fileio::sameFile(a, dir.path() + "/./sub/../a.txt"));
    EXPECT_FALSE(velora::fileio::sameFile(a, b));
    // A target that does not exist yet is compared by its path.
    EXPECT_TRUE(velora::fileio::sameFile(dir.file("new.txt"), dir.path() + "//new.txt"));
    EXPECT_FALSE(velora::fileio::sameFile(a, dir.file("new.txt")));
}

TEST(InputFileTest, ReadsInBlocksAndReportsWhyItCannotOpen) {
    velora::test::TempDir dir;
    const std::string path = dir.write("data.bin", std::string("ab\0cd", 5));
    velora::InputFile file(path);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 5);
    char buf[3];
    EXPECT_EQ(file.read(buf, 3), 3);
    EXPECT_EQ(file.read(buf, 3), 2);
    EXPECT_EQ(file.read(buf, 3), 0);
    velora::InputFile missing(dir.file("missing"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.size(), -1);
    EXPECT_FALSE(missing.errorText().empty());
}

namespace velora {
namespace {

// Reads `file` to its end or its first failure in blocks of `block` bytes, calling
// `afterBlock` after the first one; the bytes read, and whether the end was reached.
std::pair<std::string, bool> readThrough(InputFile& file, std::size_t block, const std::function<void()>& afterBlock) {
    std::string got;
    std::vector<char> buffer(block);
    for (long n; (n = file.read(buffer.data(), buffer.size())) != 0;) {
        if (n < 0) return {got, false};
        if (got.empty() && afterBlock) afterBlock();
        got.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return {got, true};
}

// A file read while it is held to its snapshot fails the read at the first block after
// any change, a change behind what was read included; its copy exists only when the
// whole, unchanged file was read, and then holds exactly that. The same holds for the
// blocks the system copies itself (into a copy on the same file system, or through a
// buffer of ours into one on another), which are then read back from the copy.
TEST(InputFileTest, ACopyHoldsWhatWasReadOnlyWhenTheWholeUnchangedFileWasRead) {
    enum class Way { Read, CopiedBySystem, CopiedAcrossFileSystems };
    const auto cases = test::writerChanges(10);
    const std::string body(100000, 'b');
    for (const Way way : {Way::Read, Way::CopiedBySystem, Way::CopiedAcrossFileSystems}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " / way " + std::to_string(static_cast<int>(way)));
            TempDir dir;
            const std::string path = dir.write("quelle.bin", body);
            // Written long ago, so a change now has a last write of its own.
            test::setFileTime(path, ::time(nullptr) - 600);
            const std::string copyFolder = way == Way::CopiedAcrossFileSystems ? "/dev/shm" : dir.path();
            const std::string copy = copyFolder + "/VELORA.tmp." + std::to_string(::getpid());
            InputFile file(path);
            ASSERT_TRUE(file.holdTo(*fileio::statusOf(path)));
            ASSERT_EQ(file.copyInto(copy), 0);
            std::pair<std::string, bool> result;
            if (way == Way::Read) {
                result = readThrough(file, 4096, [&] {
                    if (c.change) c.change(path);
                });
            } else {
                ASSERT_TRUE(file.copiesBlocks());
                result.second = true;
                for (std::string block(4096, '\0');;) {
                    const InputFile::CopiedBlock copied = file.copyNextBlock(block.size());
                    if (copied.n <= 0) {
                        result.second = copied.n == 0;
                        break;
                    }
                    ASSERT_EQ(::pread(copied.fd, block.data(), static_cast<std::size_t>(copied.n), copied.offset),
                              copied.n);
                    if (result.first.empty() && c.change) c.change(path);
                    result.first.append(block.data(), static_cast<std::size_t>(copied.n));
                }
            }
            const auto& [got, whole] = result;
            EXPECT_EQ(whole, !c.change);
            EXPECT_EQ(file.changed(), c.change != nullptr);
            if (whole) {
                EXPECT_EQ(got, body);
                EXPECT_EQ(fileio::readAll(copy), body);
            }
            EXPECT_EQ(fileio::exists(copy), whole);
            ::unlink(copy.c_str());
            // Never a half copy under another name either.
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
            for (const auto& entry : std::filesystem::directory_iterator(copyFolder))
                EXPECT_NE(entry.path().string().rfind(copy, 0), 0u) << entry.path();
        }
    }
}

// A small file's snapshot in memory is taken only of the file still as held; once
// taken, nothing a writer does changes what is read from it.
TEST(InputFileTest, AMemorySnapshotIsTakenOnlyOfTheHeldFileAndThenStaysAsTaken) {
    const std::string body(100000, 'm');
    for (const auto& c : test::writerChanges(10)) {
        for (const bool changedFirst : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (changedFirst ? ", before the snapshot" : ", after it"));
            TempDir dir;
            const std::string path = dir.write("quelle.bin", body);
            test::setFileTime(path, ::time(nullptr) - 600);
            InputFile file(path);
            ASSERT_TRUE(file.holdTo(*fileio::statusOf(path)));
            const bool spoilt = changedFirst && c.change;
            if (spoilt) c.change(path);
            EXPECT_EQ(file.takeIntoMemory(), !spoilt);
            EXPECT_EQ(file.changed(), spoilt);
            if (!changedFirst && c.change) c.change(path);
            const auto [got, whole] = readThrough(file, 4096, nullptr);
            EXPECT_EQ(whole, !spoilt);
            if (whole) EXPECT_EQ(got, body);
        }
    }
}

TEST(InputFileTest, HoldingToAnotherSnapshotOrCopyingIntoNowhereFailsAtOnce) {
    TempDir dir;
    const std::string path = dir.write("a.bin", "inhalt");
    fileio::FileStatus older = *fileio::statusOf(path);
    older.writeSeconds -= 1;
    InputFile file(path);
    EXPECT_FALSE(file.holdTo(older));
    EXPECT_EQ(file.copyInto(dir.file("fehlt/VELORA.tmp")), ENOENT);
    // Given up before the end: the copy begun is removed with the object.
    {
        InputFile partly(path);
        ASSERT_EQ(partly.copyInto(dir.file("VELORA.tmp")), 0);
        char c;
        EXPECT_EQ(partly.read(&c, 1), 1);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace velora
