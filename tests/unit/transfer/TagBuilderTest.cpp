// BuildTagTable: the system rows, the external IP switch, registry failures and the
// tag file.
#include <gtest/gtest.h>

#include <unistd.h>

#include "PreparationTestSupport.h"
#include "platform/Errors.h"
#include "support/ErrorOf.h"
#include "transfer/detail/TagFile.h"

namespace velora {
namespace {

using test::PassRig;
using test::writeFileBytes;

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows rowsOf(const TagTable& tags) {
    Rows rows;
    for (const auto& r : tags.rows()) rows.emplace_back(r.name, r.value);
    return rows;
}

const Rows kSystemRows = {
    {"[SYS_DATE]", "08.12.2026"},
    {"[SYS_TIME]", "14:05:09"},
    {"[SYS_COMPUTERNAME]", "KESTA-PC"},
    {"[SYS_OS]", "Windows_NT"},
    {"[SYS_EXT_IP]", "xxx.xxx.xxx.xxx"},
    {"[OS.ProductName]", "Debian GNU/Linux 12 (bookworm)"},
    {"[OS.CurrentVersion]", "12"},
    {"[OS.CurrentType]", "Multiprocessor Free"},
    {"[OS.CurrentBuildNumber]", "6.1.0-18-amd64"},
    {"[OS.CSDVersion]", ""},
    {"[HW.Processor.NameString]", "Intel(R) Xeon(R) CPU @ 2.20GHz"},
    {"[HW.Processor.MHz]", "2200"},
    {"[HW.Processor.Identifier]", "family 6 model 79 stepping 0"},
    {"[HW.Processor.VendorIdentifier]", "GenuineIntel"},
};

const std::vector<std::string> kSystemLogLines = {
    "Read Tags -> [sys_Date...", "Read Tags -> [sys_EXT_IP...", "Read Tags -> [sys_OS_...",
    "Read Tags -> [sys_HW_..."};

TEST(BuildTagTable, FourteenSystemRowsInTheirOrder) {
    PassRig rig;
    EXPECT_EQ(rig.tags.rowCount(), TagTable::kInitialRows);
    EXPECT_FALSE(rig.builder.BuildTagTable());
    EXPECT_EQ(rowsOf(rig.tags), kSystemRows);
    EXPECT_EQ(rig.lines, kSystemLogLines);
    EXPECT_EQ(rig.tagRefreshes, 1);
}

TEST(BuildTagTable, MissingEnvironmentGivesEmptyValues) {
    PassRig rig;
    rig.env = FixedEnvironment({{"temp", rig.dir.path()}});
    rig.builder.BuildTagTable();
    EXPECT_EQ(rig.tags.row(2).value, "");
    EXPECT_EQ(rig.tags.row(3).value, "");
}

TEST(BuildTagTable, DateAndTimeFollowTheClock) {
    PassRig rig;
    rig.clock.set({2027, 1, 2, 23, 59, 58, 0, 7});
    rig.builder.BuildTagTable();
    EXPECT_EQ(rig.tags.row(0).value, "02.01.2027");
    EXPECT_EQ(rig.tags.row(1).value, "23:59:58");
}

TEST(BuildTagTable, ExternalIpFollowsTheSwitch) {
    PassRig rig;
    rig.builder.BuildTagTable();
    EXPECT_EQ(rig.tags.row(4).value, "xxx.xxx.xxx.xxx");

    rig.settings.cb_get_ext_ip = true;
    for (const std::string answer : {"203.0.113.9\r\n", "ERROR"}) {
        rig.externalIp.answer = [&] { return answer; };
        rig.builder.BuildTagTable();
        EXPECT_EQ(rig.tags.row(4), (TagRow{"[SYS_EXT_IP]", answer}));
    }
    EXPECT_EQ(rig.externalIp.calls, 2);

    rig.settings.cb_get_ext_ip = false;
    rig.builder.BuildTagTable();
    EXPECT_EQ(rig.tags.row(4).value, "xxx.xxx.xxx.xxx");
    EXPECT_EQ(rig.externalIp.calls, 2);
}

// A lookup that cannot start (a proxy port that is no number) ends the build at its
// row; the grid shows what was built so far.
TEST(BuildTagTable, LookupThatRaisesEndsTheBuildAtItsRow) {
    PassRig rig;
    rig.settings.cb_get_ext_ip = true;
    rig.externalIp.answer = []() -> std::string { throw GeneralError("'31x8' ist kein gültiger Integerwert"); };
    EXPECT_EQ(test::errorOf<GeneralError>([&] { rig.builder.BuildTagTable(); }),
              "'31x8' ist kein gültiger Integerwert");
    EXPECT_EQ(rig.tags.rowCount(), 14);
    EXPECT_EQ(rig.tags.row(3).value, "Windows_NT");
    EXPECT_EQ(rig.tags.row(5).name, "");
    EXPECT_EQ(rig.lines, (std::vector<std::string>{"Read Tags -> [sys_Date...", "Read Tags -> [sys_EXT_IP..."}));
    EXPECT_EQ(rig.tagRefreshes, 1);
}

// A machine that reports no clock speed (many ARM boards, some virtual machines) gets
// an empty tag; the build and every run go on.
TEST(BuildTagTable, UnknownMhzIsAnEmptyValue) {
    SystemInfo info = test::sampleSystemInfo();
    info.integers.clear();
    PassRig rig(info);
    EXPECT_FALSE(rig.builder.BuildTagTable());
    Rows expected = kSystemRows;
    expected[11].second = "";
    EXPECT_EQ(rowsOf(rig.tags), expected);
}

TEST(BuildTagTable, MhzOfAnotherTypeEndsTheBuildAtItsRow) {
    SystemInfo info = test::sampleSystemInfo();
    info.integers.clear();
    info.texts[kCpuKey]["~MHz"] = "2200";
    PassRig rig(info);
    EXPECT_EQ(test::errorOf<RegistryError>([&] { rig.builder.BuildTagTable(); }),
              "Ungültiger Datentyp für '~MHz'");
    ASSERT_EQ(rig.tags.rowCount(), 14);
    for (int r = 0; r <= 10; ++r) EXPECT_EQ(rig.tags.row(r).value, kSystemRows[r].second) << r;
    EXPECT_EQ(rig.tags.row(11).name, "[HW.Processor.MHz]");
    EXPECT_EQ(rig.tags.row(12).name, "");  // never reached
    EXPECT_EQ(rig.lines, kSystemLogLines);
    EXPECT_EQ(rig.tagRefreshes, 1);
}

TEST(BuildTagTable, StringValueOfAnotherTypeIsAReadError) {
    SystemInfo info = test::sampleSystemInfo();
    info.texts[kOsKey].erase("CurrentType");
    info.integers[kOsKey]["CurrentType"] = 3;
    PassRig rig(info);
    rig.settings.cb_tag_datei = true;
    EXPECT_THROW(rig.builder.BuildTagTable(), RegistryError);
    EXPECT_EQ(rig.tags.row(6).value, "12");
    EXPECT_EQ(rig.tags.row(7).name, "[OS.CurrentType]");
    EXPECT_FALSE(rig.logged("Lese Tags Datei : Export_Tags.TXT"));
}

TEST(BuildTagTable, TagFileRowsFollowTheSystemRows) {
    PassRig rig;
    const std::string file = rig.dir.file("Export_Tags.TXT");
    writeFileBytes(file, "[_CAM_1_LAST_FOTO_NAME];/srv/cam/p1.jpg\r\n[A];x;y\r\nohne Semikolon\r\n\r\n[Ä];ü\r\n");
    rig.settings.cb_tag_datei = true;
    rig.settings.E_tags = file;
    EXPECT_TRUE(rig.builder.BuildTagTable());
    Rows expected = kSystemRows;
    expected.insert(expected.end(), {{"[_CAM_1_LAST_FOTO_NAME]", "/srv/cam/p1.jpg"},
                                     {"[A]", "x;y"},
                                     {"", "ohne Semikolon"},
                                     {"", ""},
                                     {"[Ä]", "ü"}});
    EXPECT_EQ(rowsOf(rig.tags), expected);
    std::vector<std::string> lines = kSystemLogLines;
    lines.push_back("Lese Tags Datei : " + file);
    EXPECT_EQ(rig.lines, lines);
    EXPECT_EQ(rig.tagRefreshes, 1);
}

TEST(BuildTagTable, SwitchingTheTagFileOffLeavesFourteenRows) {
    PassRig rig;
    rig.dir.write("tags.txt", "[A];1\n[B];2\n[C];3\n");
    rig.settings.cb_tag_datei = true;
    rig.settings.E_tags = rig.dir.file("tags.txt");
    rig.builder.BuildTagTable();
    EXPECT_EQ(rig.tags.rowCount(), 17);

    rig.settings.cb_tag_datei = false;
    EXPECT_FALSE(rig.builder.BuildTagTable());
    EXPECT_EQ(rowsOf(rig.tags), kSystemRows);

    // On, but with no name: not read either.
    rig.settings.cb_tag_datei = true;
    rig.settings.E_tags = "";
    EXPECT_FALSE(rig.builder.BuildTagTable());
    EXPECT_EQ(rig.tags.rowCount(), 14);
    EXPECT_EQ(rig.lines.back(), "Read Tags -> [sys_HW_...");
}

// Whatever is there instead of a file is named in the log, and nothing is opened that
// could block (a fifo) or act (a device).
TEST(BuildTagTable, MissingTagFileIsLoggedAndTheBuildGoesOn) {
    struct Case {
        std::string name, before, after;
    };
    const Case cases[] = {{"missing.txt", "ERROR Datei nicht gefunden ! ", ""},
                          {"folder", "ERROR Datei nicht lesbar ! ", " : ist ein Ordner"},
                          {"fifo", "ERROR Datei nicht lesbar ! ", " : ist eine FIFO"},
                          {"/dev/null", "ERROR Datei nicht lesbar ! ", " : ist ein Gerät"}};
    for (const auto& [name, before, after] : cases) {
        PassRig rig;
        ASSERT_EQ(::mkdir(rig.dir.file("folder").c_str(), 0755), 0);
        ASSERT_EQ(::mkfifo(rig.dir.file("fifo").c_str(), 0644), 0);
        rig.settings.cb_tag_datei = true;
        rig.settings.E_tags = name.front() == '/' ? name : rig.dir.file(name);
        EXPECT_FALSE(rig.builder.BuildTagTable()) << name;
        EXPECT_EQ(rowsOf(rig.tags), kSystemRows);
        std::vector<std::string> lines = kSystemLogLines;
        lines.push_back("Lese Tags Datei : " + rig.settings.E_tags);
        lines.push_back(before + rig.settings.E_tags + after);
        EXPECT_EQ(rig.lines, lines);
    }
}

TEST(BuildTagTable, HostileTagFileIsReadByteForByte) {
    PassRig rig;
    std::string bytes("[BIN];\x00\x01\xfe\xff\r", 11);
    bytes += "[LONG];" + std::string(10 * 1024 * 1024, 'L') + "\r";
    bytes += "[LAST];ok";
    rig.settings.cb_tag_datei = true;
    rig.settings.E_tags = rig.dir.write("hostile.txt", bytes);
    EXPECT_TRUE(rig.builder.BuildTagTable());
    ASSERT_EQ(rig.tags.rowCount(), 17);
    EXPECT_EQ(rig.tags.row(14).value, std::string("\x00\x01\xfe\xff", 4));
    EXPECT_EQ(rig.tags.row(15).value, std::string(kTagLineLimit - 7, 'L'));
    EXPECT_EQ(rig.tags.row(16), (TagRow{"[LAST]", "ok"}));
}

TEST(BuildTagTable, EmptyTagFileAddsNoRowsButCountsAsRead) {
    PassRig rig;
    rig.settings.cb_tag_datei = true;
    rig.settings.E_tags = rig.dir.write("empty.txt", "");
    EXPECT_TRUE(rig.builder.BuildTagTable());
    EXPECT_EQ(rig.tags.rowCount(), 14);
}

// A service starts in "/": the default "Export_Tags.TXT" must still be the one in
// the user's home folder, whatever the working folder is.
TEST(BuildTagTable, RelativeTagFileNameIsTakenFromTheHomeFolder) {
    PassRig rig;
    rig.env = FixedEnvironment({}, rig.dir.path());
    rig.dir.write("Export_Tags.TXT", "[REL];1");
    char old[4096];
    ASSERT_NE(::getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(::chdir("/"), 0);
    rig.settings.cb_tag_datei = true;  // E_tags keeps its default name
    const bool read = rig.builder.BuildTagTable();
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_TRUE(read);
    EXPECT_FALSE(rig.builder.tagFileFailed());
    EXPECT_EQ(rig.tags.row(14), (TagRow{"[REL]", "1"}));
}

}  // namespace
}  // namespace velora
