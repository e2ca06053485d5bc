// Links and tag files another account planted where it may write: what the pass follows
// and what it refuses. Each table runs with the pass as root (as CI runs) and as an
// ordinary account; only root can give a link to another account, so without root
// these are skipped.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "PreparationTestSupport.h"
#include "support/OtherUser.h"

namespace velora {
namespace {

using test::PassRig;

class Planted : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another account needs root";
        // The pass runs as `self`; `other` is neither that account nor root.
        self = GetParam() ? test::kOtherUid : 0;
        other = GetParam() ? test::kOtherUid - 1 : test::kOtherUid;
        ASSERT_EQ(::chmod(tree.path().c_str(), 0755), 0);
        shared = folder("shared");
        secret = file("secret.conf", "root only", 0, 0600);
        picture = file("picture.jpg", "JPEG", 0, 0644);
    }
    // Open to every account, as /tmp is (the mode is set apart from the umask).
    std::string folder(const std::string& name) {
        const std::string path = tree.file(name);
        EXPECT_TRUE(::mkdir(path.c_str(), 0) == 0 && ::chmod(path.c_str(), 01777) == 0);
        return path;
    }
    std::string file(const std::string& name, const std::string& bytes, unsigned owner, mode_t mode) {
        const std::string path = tree.write(name, bytes);
        EXPECT_TRUE(::chown(path.c_str(), owner, owner) == 0 && ::chmod(path.c_str(), mode) == 0);
        return path;
    }
    std::string link(const std::string& name, const std::string& target, unsigned owner) {
        const std::string path = tree.file(name);
        EXPECT_TRUE(::symlink(target.c_str(), path.c_str()) == 0 && ::lchown(path.c_str(), owner, owner) == 0);
        return path;
    }
    void run(const std::function<void()>& body) const { GetParam() ? test::asOrdinaryUser(body) : body(); }
    std::string refused(const std::string& link) const {
        return "Link " + link + " gehört einem anderen Konto (uid " + std::to_string(other) + ")";
    }

    test::TempDir tree;
    unsigned self = 0;
    unsigned other = 0;
    std::string shared, secret, picture;
};

// Named directly, through a folder link, at the end of an own link, by a tag, or picked
// by a pattern: a link of another account is never followed; the user's and root's are.
TEST_P(Planted, SourcesAreNeverReadThroughAnotherAccountsLink) {
    const std::string direct = link("shared/direct.jpg", secret, other);
    const std::string evil = link("shared/evil", tree.path(), other);
    const std::string cam = folder("shared/cam");
    file("shared/cam/a.jpg", "older picture", self, 0644);
    test::setFileTime(cam + "/a.jpg", 1700000000);
    test::setFileTime(secret, 1800000000);
    const std::string zz = link("shared/cam/zz.jpg", secret, other);
    struct Case {
        std::string quelle, msg, logged;
    };
    const Case cases[] = {
        {direct, "NF", "Quelle abgelehnt -> " + direct + " : " + refused(direct)},
        {evil + "/secret.conf", "NF", "Quelle abgelehnt -> " + evil + "/secret.conf : " + refused(evil)},
        {link("shared/chain.jpg", direct, self), "NF", "Quelle abgelehnt -> " + shared + "/chain.jpg : " + refused(direct)},
        {"[_CAM_1_LAST_FOTO_NAME]", "NF", "Quelle abgelehnt -> " + direct + " : " + refused(direct)},
        {cam + "/*.jpg", "NEU", "Muster übergeht 1 Link(s) -> " + cam + "/*.jpg : " + refused(zz)},
        {evil + "/*.conf", "NF", "Quelle abgelehnt -> " + evil + "/*.conf : " + refused(evil)},
        {link("shared/mine.jpg", picture, self), "NEU", ""},
        {link("shared/roots.jpg", picture, 0), "NEU", ""},
    };
    run([&] {
        PassRig rig;
        rig.settings.cb_tag_datei = true;
        rig.settings.E_tags = rig.dir.write("tags.txt", "[_CAM_1_LAST_FOTO_NAME];" + direct + "\r\n");
        ASSERT_EQ(::chmod(rig.settings.E_tags.c_str(), 0600), 0);
        for (const Case& c : cases) rig.addRow("Ja", "No", c.quelle);
        rig.pass.run();
        for (int r = 1; r <= rig.files.rowCount(); ++r) {
            const Case& c = cases[r - 1];
            EXPECT_EQ(rig.cell(Msg, r), c.msg) << c.quelle;
            if (!c.logged.empty()) EXPECT_TRUE(rig.logged(c.logged)) << c.logged;
        }
        EXPECT_EQ(rig.cell(TmpQuelle, 5), cam + "/a.jpg");  // the newest file that is no such link
    });
}

// A tag file names files for us to read and send: another account must not control it.
TEST_P(Planted, TagFileOthersControlIsNotRead) {
    const std::string line = "[_CAM_1_LAST_FOTO_NAME];" + picture + "\r\n";
    const std::string own = file("own.txt", line, self, 0600);
    const std::pair<std::string, std::string> cases[] = {
        {own, ""},
        {file("roots.txt", line, 0, 0644), ""},
        {link("shared/mine.txt", own, self), ""},
        {file("group.txt", line, self, 0664), "für andere Konten beschreibbar (Modus 0664)"},
        {file("world.txt", line, self, 0606), "für andere Konten beschreibbar (Modus 0606)"},
        {file("others.txt", line, other, 0644), "gehört einem anderen Konto (uid " + std::to_string(other) + ")"},
        {link("shared/planted.txt", own, other), refused(shared + "/planted.txt")},
    };
    run([&] {
        for (const auto& [tagFile, why] : cases) {
            PassRig rig;
            rig.settings.cb_tag_datei = true;
            rig.settings.E_tags = tagFile;
            const int r = rig.addRow("Ja", "No", "[_CAM_1_LAST_FOTO_NAME]");
            rig.pass.run();
            EXPECT_EQ(rig.cell(Msg, r), why.empty() ? "NEU" : "NF") << tagFile;
            const std::string line = "ERROR Datei abgelehnt ! " + tagFile + " : " + why;
            EXPECT_EQ(rig.logged(line), !why.empty()) << line;
        }
    });
}

INSTANTIATE_TEST_SUITE_P(AsRootAndAsAnOrdinaryAccount, Planted, ::testing::Bool());

}  // namespace
}  // namespace velora
