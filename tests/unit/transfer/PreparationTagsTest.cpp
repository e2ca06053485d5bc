// Rows with tag replacement: the replaced text, its fingerprint, the copy and where
// the copy may go.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "PreparationTestSupport.h"
#include "support/OtherUser.h"
#include "platform/Errors.h"
#include "support/ErrorOf.h"
#include "transfer/Checksums.h"

namespace velora {
namespace {

using test::PassRig;
using test::writeFileBytes;

TEST(ReplaceTagInView, LeftToRightContinuingBehindTheValue) {
    struct Case {
        const char* text;
        const char* name;
        const char* value;
        const char* result;
    };
    const Case cases[] = {
        {"a[X]b[X]c", "[X]", "1", "a1b1c"},
        {"[X][X]", "[X]", "[X][X]", "[X][X][X][X]"},  // the value is not searched again
        {"[[X]]", "[X]", "X", "[X]"},
        {"[x]", "[X]", "1", "[x]"},                    // case-sensitive
        {"keep [X]", "[X]", "", "keep [X]"},           // empty value: placeholder stays
        {"keep [X]", "", "1", "keep [X]"},
        {"aaaa", "aa", "b", "bb"},
        {"", "[X]", "1", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        PreparationPass::ReplaceTagInView(text, c.name, c.value);
        EXPECT_EQ(text, c.result) << c.text << " / " << c.name;
    }
}

TEST(CrLfBreaks, EveryBreakBecomesCrLfAndNothingElseChanges) {
    EXPECT_EQ(PreparationPass::withCrLf("a\nb"), "a\r\nb");
    EXPECT_EQ(PreparationPass::withCrLf("a\rb\r"), "a\r\nb\r\n");
    EXPECT_EQ(PreparationPass::withCrLf("a\r\nb\n\r"), "a\r\nb\r\n\r\n");
    EXPECT_EQ(PreparationPass::withCrLf(std::string("a\0\nb\0", 5)), std::string("a\0\r\nb\0", 6));
    EXPECT_EQ(PreparationPass::withCrLf(""), "");
}

class TagRows : public ::testing::Test {
protected:
    void SetUp() override {
        rig.dir.write("tags.txt", "[A];x[B]y\r\n[B];z\r\n[EMPTY];\r\n[B];second\r\n");
        rig.settings.cb_tag_datei = true;
        rig.settings.E_tags = rig.dir.file("tags.txt");
    }
    std::string copyOf(int r) { return fileio::readAll(rig.cell(TmpQuelle, r)); }
    PassRig rig;
};

TEST_F(TagRows, CopyHoldsTheReplacedTextWithCrLf) {
    const std::string source =
        rig.dir.write("Wetterstation.html", "Stand [SYS_DATE] [SYS_TIME]\n[A]|[EMPTY]|[B]\nvon [SYS_COMPUTERNAME]");
    rig.addRow("No", "No", "");
    rig.addRow("No", "No", "");
    const int r = rig.addRow("Ja", "Ja", source);
    rig.pass.run();

    const std::string expected = "Stand 08.12.2026 14:05:09\r\nxzy|[EMPTY]|z\r\nvon KESTA-PC";
    EXPECT_EQ(rig.cell(TmpQuelle, r), rig.scratch() + "/3_Wetterstation.html");
    EXPECT_EQ(copyOf(r), expected);
    EXPECT_EQ(rig.cell(PsNeu, r), std::to_string(ContentChecksum(expected)));
    EXPECT_EQ(rig.cell(Msg, r), "NEU");
    EXPECT_TRUE(rig.logged("Ersetze alle Tags in Datei : " + source));
    EXPECT_TRUE(rig.logged("Nx_Temp -> " + rig.scratch() + " = neu Erstellt"));
    EXPECT_EQ(rig.mTemp.text(), expected);
    // The source itself is untouched.
    EXPECT_EQ(fileio::readAll(source), "Stand [SYS_DATE] [SYS_TIME]\n[A]|[EMPTY]|[B]\nvon [SYS_COMPUTERNAME]");
}

TEST_F(TagRows, UnchangedContentKeepsTheEarlierCopy) {
    const std::string source = rig.dir.write("static.txt", "[B]\n");
    const int r = rig.addRow("Ja", "Ja", source);
    rig.pass.run();
    EXPECT_EQ(copyOf(r), "z\r\n");  // the final break stays one, none is added

    rig.files.setCell(PsAlt, r, rig.cell(PsNeu, r));
    writeFileBytes(rig.cell(TmpQuelle, r), "marker");
    rig.pass.run();
    EXPECT_EQ(rig.cell(Msg, r), "OK");
    EXPECT_EQ(copyOf(r), "marker");
}

TEST_F(TagRows, NulBytesAndBinaryAreKept) {
    const std::string source = rig.dir.file("binary.dat");
    const std::string bytes("\x89PNG\0\0[B]\0\xff\n", 12);
    writeFileBytes(source, bytes);
    const int r = rig.addRow("Ja", "Ja", source);
    rig.pass.run();
    const std::string expected("\x89PNG\0\0z\0\xff\r\n", 11);
    EXPECT_EQ(copyOf(r), expected);
    EXPECT_EQ(rig.cell(PsNeu, r), std::to_string(ContentChecksum(expected)));
}

TEST_F(TagRows, UmlautFileNameGivesItsCopyTheSameName) {
    const std::string source = rig.dir.write("Grüße.txt", "ä[B]ö");
    rig.addRow("Ja", "No", rig.dir.file("none"));
    const int r = rig.addRow("Ja", "ja", source);
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, r), rig.scratch() + "/2_Grüße.txt");
    EXPECT_EQ(copyOf(r), "äzö");
}

TEST_F(TagRows, CopyIsNeverWrittenOverTheSource) {
    const std::string text = "[B] stays a placeholder in the source";
    const std::string viaTag = rig.dir.file("viaTag.txt");
    const std::string switched = rig.dir.file("switched.txt");
    const std::string byHand = rig.dir.file("byHand.txt");
    const std::string viaPattern = rig.dir.file("pat_1.txt");
    for (const auto& f : {viaTag, switched, byHand, viaPattern}) writeFileBytes(f, text);
    ASSERT_EQ(::symlink(byHand.c_str(), (rig.dir.file("link.txt")).c_str()), 0);
    rig.dir.write("tags.txt", "[B];z\r\n[FILE];" + viaTag + "\r\n");

    const int tagRow = rig.addRow("Ja", "Ja", "[FILE]");
    const int switchedRow = rig.addRow("Ja", "No", switched);
    const int handRow = rig.addRow("Ja", "Ja", byHand);
    const int linkRow = rig.addRow("Ja", "Ja", byHand);
    const int patternRow = rig.addRow("Ja", "Ja", rig.dir.file("pat_*.txt"));
    rig.files.setCell(TmpQuelle, handRow, rig.dir.file("./sub/../byHand.txt"));
    rig.files.setCell(TmpQuelle, linkRow, rig.dir.file("link.txt"));
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, switchedRow), switched);  // plain pass: the source itself

    rig.files.setCell(Tag, switchedRow, "Ja");
    rig.pass.run();
    const std::pair<int, std::string> rows[] = {
        {tagRow, "viaTag.txt"}, {switchedRow, "switched.txt"}, {handRow, "byHand.txt"},
        {linkRow, "byHand.txt"}, {patternRow, "pat_1.txt"}};
    for (const auto& [r, name] : rows) {
        const std::string fresh = rig.scratch() + "/" + std::to_string(r) + "_" + name;
        EXPECT_EQ(rig.cell(TmpQuelle, r), fresh) << r;
        EXPECT_EQ(fileio::readAll(fresh), "z stays a placeholder in the source") << r;
        // Switching "TAG" on already let go of the source as "tmp-Quelle".
        if (r != switchedRow) {
            EXPECT_TRUE(rig.logged("tmp-Quelle ist die Quelldatei, Kopie geht nach : " + fresh)) << r;
        }
    }
    for (const auto& f : {viaTag, switched, byHand, viaPattern}) EXPECT_EQ(fileio::readAll(f), text) << f;
}

TEST_F(TagRows, SourceInsideTheScratchFolderUnderTheCopyName) {
    ASSERT_EQ(::mkdir(rig.scratch().c_str(), 0755), 0);
    const std::string source = rig.scratch() + "/1_page.txt";
    writeFileBytes(source, "[B]");
    const int r = rig.addRow("Ja", "Ja", source);
    rig.pass.run();
    EXPECT_EQ(rig.cell(TmpQuelle, r), rig.scratch() + "/1_1_page.txt");
    EXPECT_EQ(fileio::readAll(source), "[B]");
    EXPECT_EQ(copyOf(r), "z");
}

// A copy that cannot be written (the folder unusable, a full disk) fails its own row;
// the pass goes on, so one bad row never stops every export.
TEST_F(TagRows, CopyThatCannotBeWrittenFailsOnlyItsRow) {
    // "temp" names a plain file, so the scratch folder can never be made.
    rig.dir.write("notafolder", "");
    rig.env.set("temp", rig.dir.file("notafolder"));
    const std::string source = rig.dir.write("page.txt", "[B]");
    const std::string plain = rig.dir.write("plain.txt", "p");
    const int tagged = rig.addRow("Ja", "Ja", source);
    const int after = rig.addRow("Ja", "No", plain);
    EXPECT_NO_THROW(rig.pass.run());
    EXPECT_EQ(rig.cell(Msg, tagged), "IOERROR");
    EXPECT_EQ(rig.cell(PsNeu, tagged), "?");
    EXPECT_TRUE(rig.loggedStartingWith("IORESULT <> 0 -> " + rig.cell(TmpQuelle, tagged)));
    EXPECT_EQ(rig.cell(Msg, after), "NEU");
    EXPECT_EQ(rig.cell(PsNeu, after), std::to_string(FileChecksum(plain)));
}

// An unreadable "TAG" "Ja" file is that row's failure too.
TEST(TagRowsUnreadable, UnreadableTaggedFileFailsOnlyItsRow) {
    test::asOrdinaryUser([] {
        PassRig rig;
        const std::string secret = rig.dir.write("secret.html", "[B]");
        ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
        const int r = rig.addRow("Ja", "Ja", secret);
        const int other = rig.addRow("Ja", "Ja", rig.dir.write("ok.html", "[B]"));
        EXPECT_NO_THROW(rig.pass.run());
        EXPECT_EQ(rig.cell(Msg, r), "IOERROR");
        EXPECT_TRUE(rig.logged("IORESULT <> 0 -> " + secret + " : Dateizugriff verweigert"));
        EXPECT_EQ(rig.cell(Msg, other), "NEU");
    });
}

// Rows whose values repeat their own name double the page each time: that row fails
// at the limit, the pass and the other rows go on.
TEST_F(TagRows, TagsGrowingPastTheLimitFailOnlyTheirRow) {
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += "[X];[X][X]\r\n";
    rig.dir.write("tags.txt", lines + "[B];z\r\n");
    const std::string page = rig.dir.write("page.html", "<p>[X]</p>");
    const int grows = rig.addRow("Ja", "Ja", page);
    const int fine = rig.addRow("Ja", "Ja", rig.dir.write("fine.html", "[B]"));
    EXPECT_NO_THROW(rig.pass.run());
    EXPECT_EQ(rig.cell(Msg, grows), "Error");
    EXPECT_TRUE(rig.logged("Zeile 1 : Tags verlängern den Text um über 64 MiB, nicht gesendet -> " + page));
    EXPECT_FALSE(fileio::exists(rig.scratch() + "/1_page.html"));
    EXPECT_EQ(copyOf(fine), "z");
}

TEST_F(TagRows, TagFileOrderDecidesBetweenDuplicates) {
    rig.dir.write("tags.txt", "[A];1\r\n[A];2\r\n[SYS_DATE];x\r\n");
    const std::string source = rig.dir.write("t.txt", "[A] [SYS_DATE]");
    const int r = rig.addRow("Ja", "Ja", source);
    rig.pass.run();
    EXPECT_EQ(copyOf(r), "1 08.12.2026");
}

TEST_F(TagRows, MTempShowsTheLastReplacedTextSetOncePerFile) {
    rig.dir.write("one.txt", "first [B]");
    rig.dir.write("two.txt", "second\n[B]");
    rig.addRow("Ja", "Ja", rig.dir.file("one.txt"));
    rig.addRow("Ja", "No", rig.dir.file("one.txt"));
    rig.addRow("Ja", "Ja", rig.dir.file("two.txt"));
    rig.pass.run();
    EXPECT_EQ(rig.mTemp.text(), "second\r\nz");
    EXPECT_EQ(rig.mTempUpdates, 3);  // the clear, then one update per replaced file
}

}  // namespace
}  // namespace velora
