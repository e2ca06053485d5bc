#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <functional>
#include <map>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "support/LogHarness.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

using namespace velora;

namespace {

struct TempFolderFixture : ::testing::Test, test::LogHarness {
    FixedEnvironment env{{{"temp", dir.path()}}, dir.path()};
    TempFolder temp{env, log};
    std::string own() const { return dir.path() + "/velora-" + std::to_string(::geteuid()); }
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

}  // namespace

// Never a fixed name in a folder every account shares.
TEST(TempFolderPath, IsNamedAfterTheUserOrLivesInTheCacheFolder) {
    const struct {
        std::map<std::string, std::string> vars;
        const char* expected;
    } cases[] = {
        {{{"temp", "/var/tmp"}}, "/var/tmp/velora-1234"},
        {{{"temp", "/var/tmp/"}}, "/var/tmp/velora-1234"},
        {{}, "/home/anna/.cache/velora"},
        {{{"XDG_CACHE_HOME", "/srv/cache"}}, "/srv/cache/velora"},
        {{{"XDG_CACHE_HOME", "relative/cache"}}, "/home/anna/.cache/velora"},
    };
    test::LogHarness h;
    for (const auto& c : cases) {
        FixedEnvironment env(c.vars, "/home/anna");
        env.setUserId(1234);
        TempFolder temp(env, h.log);
        EXPECT_EQ(temp.path(), c.expected);
        EXPECT_EQ(temp.transferCopyPath(), std::string(c.expected) + "/VELORA.tmp");
        EXPECT_TRUE(temp.contains(std::string(c.expected) + "/1_index.html"));
        EXPECT_FALSE(temp.contains(std::string(c.expected) + "x/1_index.html"));
        EXPECT_FALSE(temp.contains(c.expected));
    }
    FixedEnvironment none({}, "/home/anna");
    EXPECT_EQ(TempFolder(none, h.log).formerSharedPath(), "/tmp/velora");
}

TEST_F(TempFolderFixture, CreatedPrivateOnceAndLoggedOnce) {
    EXPECT_TRUE(temp.ensure());
    EXPECT_EQ(temp.path(), own());
    EXPECT_TRUE(S_ISDIR(modeOf(own())));
    EXPECT_EQ(modeOf(own()) & 0777, 0700u);
    ASSERT_EQ(view.lineCount(), 1u);
    EXPECT_NE(view.line(0).find("Nx_Temp -> " + own() + " = neu Erstellt"), std::string::npos);
    EXPECT_TRUE(temp.ensure());
    EXPECT_EQ(view.lineCount(), 1u);

    // Removed while the program runs (a cleaner of /tmp): the next copy makes it anew.
    ASSERT_EQ(::rmdir(own().c_str()), 0);
    EXPECT_TRUE(temp.ensure());
    EXPECT_EQ(view.lineCount(), 2u);

    // The cache folder and its parents are made on a new account.
    env = FixedEnvironment({}, dir.file("neu/home"));
    EXPECT_TRUE(temp.ensure());
    EXPECT_EQ(modeOf(dir.file("neu/home/.cache/velora")) & 0777, 0700u);
}

// Whatever another account may have prepared is refused, with a line that says why.
TEST_F(TempFolderFixture, FolderOthersCouldUseIsRefusedOrClosed) {
    ASSERT_EQ(::mkdir(own().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(own().c_str(), 0777), 0);
    EXPECT_TRUE(temp.ensure());  // our own folder, left open: closed again
    EXPECT_EQ(modeOf(own()) & 0777, 0700u);
    ASSERT_EQ(::rmdir(own().c_str()), 0);

    const std::string elsewhere = dir.file("elsewhere");
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), own().c_str()), 0);
    EXPECT_FALSE(temp.ensure());
    EXPECT_TRUE(logged("Nx_Temp -> " + own() + " nicht nutzbar: ist ein Verweis"));
    ASSERT_EQ(::unlink(own().c_str()), 0);

    test::writeFileBytes(own(), "kein Ordner");
    EXPECT_FALSE(temp.ensure());
    EXPECT_TRUE(logged("Nx_Temp -> " + own() + " nicht nutzbar: ist kein Ordner"));
    ASSERT_EQ(::unlink(own().c_str()), 0);
}

// In a temp folder every account shares, another account may take the usual name
// first. Refusing it would stop every run for good: the user's runs go on in a private
// folder beside it that nobody could name in advance, one for all the user's
// processes (they share its run lock), said once by each.
TEST_F(TempFolderFixture, NameTakenByAnotherAccountGivesAPrivateFolderBesideIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can act as another account";
    ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
    const std::string usual = own();
    const std::pair<std::function<int()>, const char*> cases[] = {
        {[&] { return ::mkdir(usual.c_str(), 0777) | ::chmod(usual.c_str(), 0777); }, "gehört einem anderen Benutzer"},
        {[&] { return ::symlink(dir.path().c_str(), usual.c_str()); }, "ist ein Verweis"},
        {[&] { return ::creat(usual.c_str(), 0666) >= 0 ? 0 : -1; }, "ist kein Ordner"},
    };
    for (const auto& [plant, why] : cases) {
        test::asOrdinaryUser([&] { ASSERT_EQ(plant(), 0); });
        TempFolder first(env, log);
        TempFolder second(env, log);   // another process of the user's
        const std::size_t before = lines.size();
        ASSERT_TRUE(first.ensure() && second.ensure() && first.ensure());
        const std::string chosen = first.path();
        EXPECT_EQ(second.path(), chosen);
        EXPECT_EQ(chosen.size(), usual.size() + 7);
        EXPECT_EQ(modeOf(chosen) & 0777, 0700u);
        const std::string taken = "Nx_Temp -> " + usual + " belegt (" + why + "), Temp-Ordner ist " + chosen;
        EXPECT_EQ(linesFrom(before), (std::vector<std::string>{taken, "Nx_Temp -> " + chosen + " = neu Erstellt", taken}));
        // Copies named in the taken folder are never used again.
        EXPECT_TRUE(first.inOtherScratchFolder(usual + "/1_index.html"));
        EXPECT_FALSE(first.inOtherScratchFolder(chosen + "/1_index.html"));
        std::filesystem::remove_all(usual);
        std::filesystem::remove_all(chosen);
    }
}

TEST(ClientIdentityTest, NameAndVersionAreTrimmedAndCutAtTheFirstBlank) {
    ClientIdentity id;
    id.setClientName("  WETTER PC ");
    id.setClientVersion(kVersionBanner);
    id.setPlatformDescription("Linux kernel 6");
    EXPECT_EQ(id.clientName(), "WETTER");
    EXPECT_EQ(id.clientVersion(), "VELORA");
    EXPECT_EQ(id.platformDescription(), "Linux kernel 6");
    EXPECT_EQ(id.identificationString(), "WETTER VELORA Linux kernel 6");
}

TEST(ClientIdentityTest, EmptyPartsAreLeftOutOfTheIdentification) {
    ClientIdentity id;
    id.setClientName("host");
    EXPECT_EQ(id.identificationString(), "host");
    id.setPlatformDescription("Linux");
    EXPECT_EQ(id.identificationString(), "host Linux");
    ClientIdentity none;
    EXPECT_EQ(none.identificationString(), "");
}

TEST(TextViewTest, SetTextSplitsEveryKindOfLineBreak) {
    TextView v;
    v.setText("a\r\nb\rc\nd");
    ASSERT_EQ(v.lineCount(), 4u);
    EXPECT_EQ(v.line(3), "d");
    v.setText("x\r\n");
    EXPECT_EQ(v.lineCount(), 1u);
    v.setText("x\n\ny");
    EXPECT_EQ(v.lineCount(), 3u);
    EXPECT_EQ(v.line(1), "");
    EXPECT_EQ(v.text(), "x\r\n\r\ny");
}

TEST(TextViewTest, ListenerSeesEachChangeKind) {
    TextView v;
    struct Seen : TextView::Listener {
        void textViewChanged(TextView::Change c) override { changes.push_back(c); }
        std::vector<TextView::Change> changes;
    } listener;
    v.setListener(&listener);
    const std::vector<TextView::Change>& seen = listener.changes;
    v.appendLine("a");
    v.removeFirstLine();
    v.removeFirstLine();  // nothing left: no notification
    v.setText("b");
    EXPECT_EQ(seen, (std::vector<TextView::Change>{TextView::Change::Appended, TextView::Change::FirstRemoved,
                                                    TextView::Change::Replaced}));
}
