// The tag-file format at byte level, and reading a file that may not be there.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "PreparationTestSupport.h"
#include "transfer/detail/TagFile.h"

namespace velora {
namespace {

using test::TempDir;

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows parse(std::string_view bytes) {
    Rows rows;
    for (const auto& r : parseTagFile(bytes)) rows.emplace_back(r.name, r.value);
    return rows;
}

TEST(TagFileParsing, LinesNamesAndValues) {
    struct Case {
        const char* what;
        std::string bytes;
        Rows rows;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"first semicolon splits", "[A];x;y", {{"[A]", "x;y"}}},
        {"no semicolon", "just text", {{"", "just text"}}},
        {"spaces kept", " [A] ; v ", {{" [A] ", " v "}}},
        {"final CR LF makes no row", "[A];1\r\n[B];2\r\n", {{"[A]", "1"}, {"[B]", "2"}}},
        {"final LF makes no row", "[A];1\n", {{"[A]", "1"}}},
        {"CR only", "[A];1\r[B];2\r[C];3", {{"[A]", "1"}, {"[B]", "2"}, {"[C]", "3"}}},
        {"mixed breaks", "a;1\r\nb;2\nc;3\rd;4", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
        {"blank line in the middle", "[A];1\n\n[B];2", {{"[A]", "1"}, {"", ""}, {"[B]", "2"}}},
        {"LF CR is two breaks", "a;1\n\rb;2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
        {"only a break", "\r\n", {{"", ""}}},
        {"empty name", ";value", {{"", "value"}}},
        {"empty value", "[E];", {{"[E]", ""}}},
        {"duplicate names stay", "[A];1\n[A];2", {{"[A]", "1"}, {"[A]", "2"}}},
        {"byte-order mark is no part of the first name", "\xEF\xBB\xBF[A];1\r\n[B];2", {{"[A]", "1"}, {"[B]", "2"}}},
        {"only a byte-order mark", "\xEF\xBB\xBF", {}},
        {"a mark further on is a byte like any other", "[A];1\n\xEF\xBB\xBF[B];2",
         {{"[A]", "1"}, {"\xEF\xBB\xBF[B]", "2"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse(c.bytes), c.rows) << c.what;
}

TEST(TagFileParsing, BinaryBytesAreKeptAsTheyAre) {
    const std::string bytes("\x00\xff[B\x01];\x00v\xe4\x80", 11);
    const Rows rows = parse(bytes);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].first, std::string("\x00\xff[B\x01]", 6));
    EXPECT_EQ(rows[0].second, std::string("\x00v\xe4\x80", 4));
}

TEST(TagFileParsing, LongLinesAreCutAt4096BytesBeforeSplitting) {
    const std::string longValue = "[L];" + std::string(4996, 'v');  // 5000 bytes
    Rows rows = parse(longValue + "\r\n[N];next");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].first, "[L]");
    EXPECT_EQ(rows[0].second, std::string(4092, 'v'));
    EXPECT_EQ(rows[1], (std::pair<std::string, std::string>{"[N]", "next"}));

    // A ";" after byte 4096 is lost with the rest of the line.
    rows = parse(std::string(5000, 'a') + ";b");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].first, "");
    EXPECT_EQ(rows[0].second, std::string(4096, 'a'));

    // Ten megabytes on one line, then a short one.
    std::string huge(10 * 1024 * 1024, 'h');
    huge[0] = '[';
    huge[2] = ']';
    huge[3] = ';';
    rows = parse(huge + "\n[Z];z\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].first.size() + 1 + rows[0].second.size(), kTagLineLimit);
    EXPECT_EQ(rows[1].first, "[Z]");
}

TEST(TagFileReading, OnlyARegularFileIsRead) {
    TempDir dir;
    const std::string bytes("[A];1\r\n\x00\x01", 9);
    dir.write("tags.txt", bytes);
    EXPECT_EQ(readTagFile(dir.file("tags.txt"), ::geteuid()).bytes, bytes);
    EXPECT_EQ(readTagFile(dir.file("tags.txt"), ::geteuid()).outcome, TagFileContent::Read);

    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink(dir.file("nowhere").c_str(), dir.file("dangling").c_str()), 0);
    for (const char* name : {"missing.txt", "dangling"})
        EXPECT_EQ(readTagFile(dir.file(name), ::geteuid()).outcome, TagFileContent::Missing) << name;
    for (const char* name : {"fifo", ""})  // "" is the folder itself
        EXPECT_EQ(readTagFile(dir.file(name), ::geteuid()).outcome, TagFileContent::NotAFile) << name;
}

TEST(TagFileReading, FileThatComesAndGoesIsReadWholeOrNotAtAll) {
    TempDir dir;
    const std::string content = "[A];" + std::string(20000, 'x') + "\r\n[B];2\r\n";
    dir.write("parked.txt", content);
    std::atomic<bool> stop{false};
    // Another program swaps the file in and out while the build reads it.
    std::thread swapper([&] {
        const std::string parked = dir.file("parked.txt");
        const std::string live = dir.file("tags.txt");
        while (!stop) {
            std::rename(parked.c_str(), live.c_str());
            std::rename(live.c_str(), parked.c_str());
        }
    });
    // Either outcome is fine; a partial text, or an error escaping, is not.
    for (int i = 0; i < 3000; ++i) {
        const auto file = readTagFile(dir.file("tags.txt"), ::geteuid());
        EXPECT_NE(file.outcome, TagFileContent::Unreadable);
        if (file.outcome == TagFileContent::Read) {
            EXPECT_EQ(file.bytes, content);
        }
    }
    stop = true;
    swapper.join();
}

}  // namespace
}  // namespace velora
