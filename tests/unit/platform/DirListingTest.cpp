#include "platform/DirListing.h"

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileIo.h"
#include "support/FileTimes.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace velora {
namespace {

using test::TempDir;

struct DosParts {
    int year, month, day, hour, minute, second;
    bool operator==(const DosParts&) const = default;
};

DosParts unpack(std::int32_t packed) {
    const auto bits = static_cast<std::uint32_t>(packed);
    const std::uint32_t date = bits >> 16;
    const std::uint32_t time = bits & 0xFFFF;
    return {static_cast<int>(date >> 9) + 1980, static_cast<int>((date >> 5) & 0x0F),
            static_cast<int>(date & 0x1F),      static_cast<int>(time >> 11),
            static_cast<int>((time >> 5) & 0x3F), static_cast<int>(time & 0x1F) * 2};
}

std::ostream& operator<<(std::ostream& out, const DosParts& p) {
    return out << p.year << "-" << p.month << "-" << p.day << " " << p.hour << ":" << p.minute
               << ":" << p.second;
}

// Pins the local time zone for one scope, so file stamps have known local values.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) : tz_(std::in_place, "TZ", zone) { tzset(); }
    ~ZoneScope() {
        tz_.reset();   // the old zone must be back before the C library reads it again
        tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    std::optional<test::ScopedEnv> tz_;
};

const DirEntry* find(const std::vector<DirEntry>& entries, const std::string& name) {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const DirEntry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

std::vector<std::string> namesOf(const std::vector<DirEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DosTimeTest, PacksDateHighAndTimeLowInTwoSecondSteps) {
    const std::int32_t packed = packDosDateTime({2010, 1, 31, 15, 1, 3, 999, 1});
    EXPECT_EQ(unpack(packed), (DosParts{2010, 1, 31, 15, 1, 2}));
    EXPECT_EQ(packed, static_cast<std::int32_t>((((30u << 9) | (1u << 5) | 31u) << 16) |
                                                (15u << 11) | (1u << 5) | 1u));
    // One second later is the same DOS stamp; two seconds later a larger one.
    EXPECT_EQ(packDosDateTime({2010, 1, 31, 15, 1, 2, 0, 1}), packed);
    EXPECT_LT(packed, packDosDateTime({2010, 1, 31, 15, 1, 4, 0, 1}));
    EXPECT_LT(packDosDateTime({2010, 1, 31, 23, 59, 58, 0, 1}),
              packDosDateTime({2010, 2, 1, 0, 0, 0, 0, 2}));
}

TEST(DosTimeTest, DatesOutsideTheFormatStickToItsEnds) {
    EXPECT_EQ(unpack(packDosDateTime({1970, 6, 15, 12, 0, 0, 0, 1})), (DosParts{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(unpack(packDosDateTime({2200, 6, 15, 12, 0, 0, 0, 1})),
              (DosParts{2107, 12, 31, 23, 59, 58}));
}

TEST(DosTimeTest, ResolutionDropsOddSecondsAndMilliseconds) {
    const DateTime cut = toDosResolution({2026, 12, 8, 14, 5, 9, 750, 3});
    EXPECT_EQ(cut, (DateTime{2026, 12, 8, 14, 5, 8, 0, 3}));
    EXPECT_EQ(toDosResolution(cut), cut);
}

TEST(WildcardTest, MatchesLikeTheOriginalPlatform) {
    struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*", "anything.txt", true},       {"*", "", true},
        {"*.*", "README", true},           {"*.*", "a.b.c", true},
        {"*.*", ".hidden", true},          {"*.txt", "a.txt", true},
        {"*.txt", "a.TXT", false},         {"*.txt", "a.txt.bak", false},
        {"?.txt", "a.txt", true},          {"?.txt", "ab.txt", false},
        {"?.txt", ".txt", false},          {"log*.csv", "log.csv", true},
        {"log*.csv", "log_2026.csv", true}, {"log*.csv", "xlog.csv", false},
        {"a*b*c", "aXXbYYc", true},        {"a*b*c", "aXXbYY", false},
        {"a*b", "abab", true},             {"bericht.*", "bericht", true},
        {"bericht.*", "bericht.pdf", true}, {"bericht.*", "berichte", false},
        {"Daten.csv", "Daten.csv", true},  {"Daten.csv", "daten.csv", false},
        {"", "", true},                    {"", "x", false},
        {"**a", "a", true},                {"a?", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

class DirListingTest : public ::testing::Test {
protected:
    TempDir dir;
    ZoneScope utc{"UTC0"};
};

TEST_F(DirListingTest, GivesAttributesAndLocalDosTimes) {
    const time_t stamp = 1264950063;  // 2010-01-31 15:01:03 UTC
    fileio::writeAll(dir.file("a.txt"), "a");
    fileio::writeAll(dir.file(".versteckt"), "h");
    fileio::writeAll(dir.file("nurlesen.txt"), "r");
    ASSERT_EQ(chmod(dir.file("nurlesen.txt").c_str(), 0444), 0);
    ASSERT_EQ(mkdir(dir.file("ordner").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file(".git").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("fest").c_str(), 0555), 0);
    ASSERT_EQ(mkfifo(dir.file("rohr").c_str(), 0644), 0);
    ASSERT_EQ(symlink("a.txt", dir.file("verweis").c_str()), 0);
    ASSERT_EQ(symlink("weg", dir.file("tot").c_str()), 0);
    for (const char* name : {"a.txt", ".versteckt", "nurlesen.txt", "ordner", "rohr"})
        test::setFileTime(dir.file(name), stamp);
    test::setFileTime(dir.file(".git"), stamp + 86400);

    const auto entries = listMatching(dir.path() + "/*");
    EXPECT_EQ(namesOf(entries),
              (std::vector<std::string>{".", "..", ".git", ".versteckt", "a.txt", "fest",
                                        "nurlesen.txt", "ordner", "rohr", "tot", "verweis"}));
    struct {
        const char* name;
        std::uint32_t attributes;
    } expected[] = {
        {".", attr::Directory},
        {"..", attr::Directory},
        {".git", attr::Directory | attr::Hidden},
        {".versteckt", attr::Archive | attr::Hidden},
        {"a.txt", attr::Archive},
        {"nurlesen.txt", attr::Archive | attr::ReadOnly},
        {"fest", attr::Directory},  // the read-only bit is for files only
        {"ordner", attr::Directory},
        {"rohr", attr::Device},
        {"tot", attr::Device},
        {"verweis", attr::Archive},
    };
    for (const auto& e : expected) {
        const DirEntry* entry = find(entries, e.name);
        ASSERT_NE(entry, nullptr) << e.name;
        EXPECT_EQ(entry->attributes, e.attributes) << e.name;
    }
    EXPECT_EQ(unpack(find(entries, "a.txt")->dosTime), (DosParts{2010, 1, 31, 15, 1, 2}));
    EXPECT_EQ(unpack(find(entries, "rohr")->dosTime), (DosParts{2010, 1, 31, 15, 1, 2}));
    EXPECT_EQ(unpack(find(entries, ".git")->dosTime), (DosParts{2010, 2, 1, 15, 1, 2}));
    // A link carries the stamp of what it points to.
    EXPECT_EQ(find(entries, "verweis")->dosTime, find(entries, "a.txt")->dosTime);
}

TEST_F(DirListingTest, LocalTimeFollowsTheZone) {
    fileio::writeAll(dir.file("f"), "");
    test::setFileTime(dir.file("f"), 1264950063);
    ZoneScope berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    const auto local = lastWriteLocal(dir.file("f"));
    ASSERT_TRUE(local.has_value());
    EXPECT_EQ(*local, (DateTime{2010, 1, 31, 16, 1, 3, 0, 1}));
    EXPECT_EQ(unpack(listMatching(dir.file("f"))[0].dosTime), (DosParts{2010, 1, 31, 16, 1, 2}));
    EXPECT_FALSE(lastWriteLocal(dir.file("fehlt")).has_value());
}

TEST_F(DirListingTest, PatternSelectsNamesCaseSensitively) {
    for (const char* name : {"a.txt", "b.TXT", "c.txt.bak", "readme"})
        fileio::writeAll(dir.file(name), "");
    EXPECT_EQ(namesOf(listMatching(dir.path() + "/*.txt")), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(namesOf(listMatching(dir.path() + "/*.*")),
              (std::vector<std::string>{".", "..", "a.txt", "b.TXT", "c.txt.bak", "readme"}));
    EXPECT_EQ(namesOf(listMatching(dir.path() + "/readme")), (std::vector<std::string>{"readme"}));
    EXPECT_TRUE(listMatching(dir.path() + "/fehlt.txt").empty());
    EXPECT_TRUE(listMatching(dir.file("kein_ordner/*")).empty());
    EXPECT_TRUE(listMatching(dir.file("a.txt/*")).empty());
}

TEST_F(DirListingTest, PatternWithoutFolderListsTheCurrentFolder) {
    fileio::writeAll(dir.file("hier.csv"), "");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const auto entries = listMatching("*.csv");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(namesOf(entries), (std::vector<std::string>{"hier.csv"}));
}

TEST_F(DirListingTest, LargeFolderIsListedCompletely) {
    constexpr int kFiles = 20000;
    for (int i = 0; i < kFiles; ++i) {
        const int fd = open(dir.file("f" + std::to_string(i) + ".dat").c_str(),
                            O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    const auto all = listMatching(dir.path() + "/*.dat");
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kFiles));
    EXPECT_TRUE(std::all_of(all.begin(), all.end(),
                            [](const DirEntry& e) { return e.attributes == attr::Archive; }));
    EXPECT_EQ(listMatching(dir.path() + "/f1999?.dat").size(), 10u);
}

}  // namespace
}  // namespace velora
