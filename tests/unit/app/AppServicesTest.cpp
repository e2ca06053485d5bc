#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/ClientIdentity.h"
#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "support/LogHarness.h"
#include "support/TempDir.h"

using namespace velora;

namespace {

struct TempFolderFixture : ::testing::Test, test::LogHarness {
    FixedEnvironment env{{{"temp", dir.path()}}};
    TempFolder temp{env, log};
};

}  // namespace

TEST_F(TempFolderFixture, CreatedOnceAndLoggedOnce) {
    temp.ensure();
    EXPECT_EQ(temp.path(), dir.path() + "/velora");
    struct stat st;
    ASSERT_EQ(::stat(temp.path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ASSERT_EQ(view.lineCount(), 1u);
    EXPECT_NE(view.line(0).find("Nx_Temp -> " + dir.path() + "/velora = neu Erstellt"), std::string::npos);
    temp.ensure();
    EXPECT_EQ(view.lineCount(), 1u);
    EXPECT_EQ(temp.transferCopyPath(), dir.path() + "/velora/VELORA.tmp");
}

TEST_F(TempFolderFixture, FolderThatCannotBeCreatedIsSilent) {
    env.set("temp", dir.file("no/such/parent"));
    EXPECT_NO_THROW(temp.ensure());
    EXPECT_EQ(view.lineCount(), 0u);
    EXPECT_EQ(temp.path(), dir.file("no/such/parent") + "/velora");
}

TEST_F(TempFolderFixture, PathFollowsTheVariableAtEveryEnsure) {
    temp.ensure();
    test::TempDir other;
    env.set("temp", other.path());
    temp.ensure();
    EXPECT_EQ(temp.path(), other.path() + "/velora");
}

TEST(TempFolderWithoutVariable, LiesAtTheRootNotInTheWorkingFolder) {
    test::LogHarness h;
    FixedEnvironment noTemp{{}};
    TempFolder temp{noTemp, h.log};
    EXPECT_EQ(temp.path(), "/velora");
    EXPECT_EQ(temp.transferCopyPath(), "/velora/VELORA.tmp");
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
    std::vector<TextView::Change> seen;
    v.setListener([&](TextView::Change c) { seen.push_back(c); });
    v.appendLine("a");
    v.removeFirstLine();
    v.removeFirstLine();  // nothing left: no notification
    v.setText("b");
    EXPECT_EQ(seen, (std::vector<TextView::Change>{TextView::Change::Appended, TextView::Change::FirstRemoved,
                                                    TextView::Change::Replaced}));
}
