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
    constexpr std::int64_t kNs = 1000000000;
    EXPECT_EQ(find(entries, "a.txt")->writeTimeNs, stamp * kNs);
    EXPECT_EQ(find(entries, "rohr")->writeTimeNs, stamp * kNs);
    EXPECT_EQ(find(entries, ".git")->writeTimeNs, (stamp + 86400) * kNs);
    // A link carries the time of what it points to.
    EXPECT_EQ(find(entries, "verweis")->writeTimeNs, find(entries, "a.txt")->writeTimeNs);
}

// The times are instants, not local clock readings: the same in every zone, and as
// fine as the file system keeps them.
TEST_F(DirListingTest, WriteTimesAreUtcToTheNanosecond) {
    fileio::writeAll(dir.file("f"), "");
    test::setFileTime(dir.file("f"), 1264950063, 123456789);
    for (const char* zone : {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT"}) {
        ZoneScope scope(zone);
        EXPECT_EQ(listMatching(dir.file("f"))[0].writeTimeNs, 1264950063123456789) << zone;
    }
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
