#include "platform/Registry.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <thread>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "support/ErrorOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace velora {
namespace {

using test::ScopedEnv;
using test::TempDir;

// The text of the RegistryError an action raises; any other error fails the test.
const auto registryErrorOf = test::errorOf<RegistryError>;

const std::string kFtpKey = "\\SOFTWARE\\Norvex\\Kesta\\FTP";

// Runs SQL on the store the way an outside tool would.
void runSql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    const std::string text = message != nullptr ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

// (type, hex of data) of one stored value, read behind the registry's back.
std::pair<int, std::string> rawValue(const std::string& file, const std::string& name) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT type, hex(data) FROM reg_values WHERE name = ?", -1, &stmt,
                       nullptr);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    std::pair<int, std::string> result{-1, ""};
    if (sqlite3_step(stmt) == SQLITE_ROW)
        result = {sqlite3_column_int(stmt, 0),
                  reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1))};
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

SystemInfo sampleMachine() {
    SystemInfo info;
    info.texts[kOsKey]["ProductName"] = "Debian GNU/Linux 12 (bookworm)";
    info.texts[kCpuKey]["ProcessorNameString"] = "Test CPU 3000";
    info.texts[kCpuKey]["Identifier"] = "family 6 model 158 stepping 10";
    info.integers[kCpuKey]["~MHz"] = 2400;
    return info;
}

class RegistryTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("reg.sqlite3");
};

TEST_F(RegistryTest, ValuesOfEveryTypeSurviveReopening) {
    const std::vector<std::uint8_t> block = {0, 1, 2, 0xFF, 0, 0x80};
    {
        Registry reg(file);
        auto key = reg.openKey(kFtpKey);
        key.writeString("Login_Host", "ftp.örtlich.test");
        key.writeString("Leer", "");
        key.writeInteger("Intervall", 60);
        key.writeInteger("Negativ", -123456789);
        key.writeBool("Autostart", true);
        key.writeBool("Ministart", false);
        key.writeQword("Summe", 5000000000u);
        key.writeInteger("Alte_Summe", -1000);   // a 64-bit total as an older store held it
        key.writeBinary("Default_1", block);
        key.writeBinary("Leerer_Block", {});
    }
    Registry again(file);
    auto key = again.openKeyReadOnly(kFtpKey);
    EXPECT_EQ(key.readString("Login_Host"), "ftp.örtlich.test");
    EXPECT_TRUE(key.valueExists("Leer"));
    EXPECT_EQ(key.readString("Leer"), "");
    EXPECT_EQ(key.readInteger("Intervall"), 60);
    EXPECT_EQ(key.readInteger("Negativ"), -123456789);
    EXPECT_TRUE(key.readBool("Autostart"));
    EXPECT_FALSE(key.readBool("Ministart"));
    EXPECT_EQ(key.readQword("Summe"), 5000000000u);
    EXPECT_EQ(key.readQword("Alte_Summe"), 4294966296u);
    EXPECT_EQ(key.readBinary("Default_1"), block);
    EXPECT_TRUE(key.readBinary("Leerer_Block").empty());
}

TEST_F(RegistryTest, StoredFormMatchesTheDocumentedSchema) {
    {
        Registry reg(file);
        auto key = reg.openKey(kFtpKey);
        key.writeInteger("Intervall", 0x01020304);
        key.writeInteger("Minus_Eins", -1);
        key.writeString("Text", "AB");
        key.writeBinary("Block", {0xDE, 0xAD});
        key.writeQword("Summe", 0x0102030405060708u);
    }
    EXPECT_EQ(rawValue(file, "Summe"), std::make_pair(11, std::string("0807060504030201")));
    EXPECT_EQ(rawValue(file, "Intervall"), std::make_pair(4, std::string("04030201")));
    EXPECT_EQ(rawValue(file, "Minus_Eins"), std::make_pair(4, std::string("FFFFFFFF")));
    EXPECT_EQ(rawValue(file, "Text"), std::make_pair(1, std::string("4142")));
    EXPECT_EQ(rawValue(file, "Block"), std::make_pair(3, std::string("DEAD")));
}

TEST_F(RegistryTest, KeyPathsAndValueNamesIgnoreCaseButKeepTheirSpelling) {
    Registry reg(file);
    {
        auto key = reg.openKey(kFtpKey);
        key.writeString("Login_Host", "first");
    }
    {
        auto key = reg.openKey("\\software\\NORVEX\\kesta\\ftp");
        EXPECT_EQ(key.readString("LOGIN_HOST"), "first");
        key.writeString("login_host", "second");
    }
    EXPECT_TRUE(reg.keyExists("\\SOFTWARE\\norvex\\KESTA\\Ftp"));
    auto key = reg.openKeyReadOnly(kFtpKey);
    EXPECT_EQ(key.readString("Login_Host"), "second");
    key.close();

    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM reg_values", -1, &stmt, nullptr);
    sqlite3_step(stmt);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 1);
    sqlite3_finalize(stmt);
    sqlite3_prepare_v2(db, "SELECT path FROM reg_keys ORDER BY length(path) DESC", -1, &stmt,
                       nullptr);
    sqlite3_step(stmt);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), kFtpKey.c_str());
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST_F(RegistryTest, OpeningAKeyCreatesItsParents) {
    Registry reg(file);
    reg.openKey(kFtpKey + "\\Kalender").close();
    for (const char* path : {"\\SOFTWARE", "\\SOFTWARE\\Norvex", "\\SOFTWARE\\Norvex\\Kesta",
                             "\\SOFTWARE\\Norvex\\Kesta\\FTP", "\\SOFTWARE\\Norvex\\Kesta\\FTP\\Kalender"})
        EXPECT_TRUE(reg.keyExists(path)) << path;
    EXPECT_FALSE(reg.keyExists("\\SOFTWARE\\Norvex\\Andere"));
    EXPECT_FALSE(reg.keyExists("\\SOFTWARE\\Norvex\\Kesta\\FT"));
    EXPECT_NO_THROW(reg.openKeyReadOnly("\\SOFTWARE\\Norvex"));
}

TEST_F(RegistryTest, MissingAndMistypedValuesGiveTheProgramsTexts) {
    Registry reg(file);
    {
        auto key = reg.openKey(kFtpKey);
        key.writeString("Text", "x");
        key.writeInteger("Zahl", 7);
        key.writeBinary("Block", {1, 2, 3, 4});
    }
    runSql(file, "INSERT INTO reg_values VALUES ('" + kFtpKey + "', 'Kurz', 4, x'010203')");
    runSql(file, "INSERT INTO reg_values VALUES ('" + kFtpKey + "', 'Kurz64', 11, x'01020304')");
    auto key = reg.openKeyReadOnly(kFtpKey);
    EXPECT_EQ(key.readString("Fehlt"), "");
    EXPECT_FALSE(key.valueExists("Fehlt"));

    struct Case {
        std::function<void()> read;
        std::string text;
    };
    const std::vector<Case> cases = {
        {[&] { key.readInteger("Fehlt"); }, "Fehler beim Holen der Daten für 'Fehlt'"},
        {[&] { key.readBinary("Fehlt"); }, "Fehler beim Holen der Daten für 'Fehlt'"},
        {[&] { key.readString("Zahl"); }, "Ungültiger Datentyp für 'Zahl'"},
        {[&] { key.readString("Block"); }, "Ungültiger Datentyp für 'Block'"},
        {[&] { key.readInteger("Text"); }, "Ungültiger Datentyp für 'Text'"},
        {[&] { key.readInteger("Block"); }, "Ungültiger Datentyp für 'Block'"},
        {[&] { key.readInteger("Kurz"); }, "Ungültiger Datentyp für 'Kurz'"},
        {[&] { key.readQword("Fehlt"); }, "Fehler beim Holen der Daten für 'Fehlt'"},
        {[&] { key.readQword("Text"); }, "Ungültiger Datentyp für 'Text'"},
        {[&] { key.readQword("Kurz"); }, "Ungültiger Datentyp für 'Kurz'"},
        {[&] { key.readQword("Kurz64"); }, "Ungültiger Datentyp für 'Kurz64'"},
        {[&] { key.writeQword("Zahl", 1); }, "Fehler beim Setzen der Daten für 'Zahl'"},
        {[&] { key.readBinary("Text"); }, "Ungültiger Datentyp für 'Text'"},
        {[&] { key.readBool("Text"); }, "Ungültiger Datentyp für 'Text'"},
        {[&] { key.writeString("Text", "y"); }, "Fehler beim Setzen der Daten für 'Text'"},
        {[&] { key.writeInteger("Zahl", 1); }, "Fehler beim Setzen der Daten für 'Zahl'"},
        {[&] { key.writeBinary("Neu", {1}); }, "Fehler beim Setzen der Daten für 'Neu'"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(registryErrorOf(cases[i].read), cases[i].text) << "case " << i;
}

TEST_F(RegistryTest, IntegerWrittenAsPlainNumberByAnOutsideToolIsRead) {
    Registry reg(file);
    reg.openKey(kFtpKey).close();
    runSql(file, "INSERT INTO reg_values VALUES ('" + kFtpKey + "', 'Intervall', 4, 90)");
    runSql(file, "INSERT INTO reg_values VALUES ('" + kFtpKey + "', 'Riesig', 4, 4294967296)");
    auto key = reg.openKeyReadOnly(kFtpKey);
    EXPECT_EQ(key.readInteger("intervall"), 90);
    EXPECT_EQ(registryErrorOf([&] { key.readInteger("Riesig"); }), "Ungültiger Datentyp für 'Riesig'");
}

TEST_F(RegistryTest, ReadingCreatesNothing) {
    const std::string nested = dir.file("a/b/reg.sqlite3");
    Registry reg(nested);
    EXPECT_FALSE(reg.keyExists(kFtpKey));
    EXPECT_NE(registryErrorOf([&] { reg.openKeyReadOnly(kFtpKey); }), test::kNoError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a")));
}

TEST_F(RegistryTest, StoreFileIsPrivateToTheUser) {
    const mode_t old = umask(0);
    const std::string nested = dir.file("conf/velora/reg.sqlite3");
    {
        Registry reg(nested);
        reg.openKey(kFtpKey).writeInteger("Intervall", 1);
    }
    umask(old);
    struct stat info {};
    ASSERT_EQ(stat(nested.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(dir.file("conf/velora").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(dir.file("conf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(RegistryTest, FileThatIsNoStoreIsReportedAndLeftExactlyAsItWas) {
    std::string garbage = "Dies ist keine Datenbank.\n";
    for (int i = 0; i < 300; ++i) garbage += static_cast<char>(i * 37);
    runSql(dir.file("foreign.db"), "CREATE TABLE kunden (id INTEGER, name TEXT)");

    fileio::writeAll(dir.file("garbage.sqlite3"), garbage);
    fileio::writeAll(dir.file("kurz.sqlite3"), "hallo");
    for (const char* name : {"garbage.sqlite3", "kurz.sqlite3", "foreign.db"}) {
        const std::string path = dir.file(name);
        const std::string before = fileio::readAll(path);
        Registry reg(path);
        const std::string expected =
            "Die Registrierungsdatei '" + path + "' kann nicht geöffnet werden: ";
        for (const auto& attempt : std::vector<std::function<void()>>{
                 [&] { reg.keyExists(kFtpKey); }, [&] { reg.openKey(kFtpKey); },
                 [&] { reg.openKeyReadOnly(kFtpKey); }}) {
            const std::string text = registryErrorOf(attempt);
            EXPECT_EQ(text.rfind(expected, 0), 0u) << text;
            EXPECT_GT(text.size(), expected.size()) << "the reason is missing";
        }
        EXPECT_EQ(fileio::readAll(path), before) << name;
        EXPECT_FALSE(fileio::exists(path + "-journal"));
        EXPECT_FALSE(fileio::exists(path + "-wal"));
    }
}

TEST_F(RegistryTest, StoreWithWrongTablesIsRefused) {
    runSql(file, "CREATE TABLE reg_keys (path TEXT); CREATE TABLE reg_values (path TEXT, wert)");
    Registry reg(file);
    EXPECT_NE(registryErrorOf([&] { reg.openKey(kFtpKey); }).find("kann nicht geöffnet werden"),
              std::string::npos);
}

TEST_F(RegistryTest, EmptyStoreFileMadeByAToolIsTakenIntoUse) {
    fileio::writeAll(file, "");
    Registry reg(file);
    EXPECT_FALSE(reg.keyExists(kFtpKey));
    reg.openKey(kFtpKey).writeString("A", "b");
    EXPECT_EQ(reg.openKeyReadOnly(kFtpKey).readString("A"), "b");
}

TEST_F(RegistryTest, MovedKeyKeepsItsTransactionUntilClosed) {
    Registry reg(file);
    reg.openKey(kFtpKey).close();
    Registry::Key moved = [&] {
        auto key = reg.openKey(kFtpKey);
        key.writeString("Vorher", "1");
        return key;
    }();
    Registry::Key target = std::move(moved);
    target.writeString("Nachher", "2");
    EXPECT_FALSE(Registry(file).openKeyReadOnly(kFtpKey).valueExists("Vorher"));
    target.close();
    target.close();  // a second close does nothing
    auto key = Registry(file).openKeyReadOnly(kFtpKey);
    EXPECT_EQ(key.readString("Vorher"), "1");
    EXPECT_EQ(key.readString("Nachher"), "2");
}

TEST_F(RegistryTest, WhatWasWrittenBeforeAnErrorIsKept) {
    Registry reg(file);
    EXPECT_NE(registryErrorOf([&] {
                  auto key = reg.openKey(kFtpKey);
                  key.writeInteger("Send_Files_ges", 5);
                  key.readInteger("Gibt_es_nicht");  // raises while the key is open
                  key.writeInteger("Send_Bytes_ges", 9);
              }),
              test::kNoError);
    auto key = reg.openKeyReadOnly(kFtpKey);
    EXPECT_EQ(key.readInteger("Send_Files_ges"), 5);
    EXPECT_FALSE(key.valueExists("Send_Bytes_ges"));
}

TEST_F(RegistryTest, ReaderSeesTheLastSaveWhileAWriterIsOpen) {
    Registry writer(file);
    Registry reader(file);
    writer.openKey(kFtpKey).writeString("Stand", "alt");
    auto open = writer.openKey(kFtpKey);
    open.writeString("Stand", "neu");
    EXPECT_EQ(reader.openKeyReadOnly(kFtpKey).readString("Stand"), "alt");
    open.close();
    EXPECT_EQ(reader.openKeyReadOnly(kFtpKey).readString("Stand"), "neu");
}

TEST_F(RegistryTest, SecondWriterWaitsAndBothSavesSurvive) {
    Registry first(file);
    Registry second(file);
    first.openKey(kFtpKey).close();  // the store exists before the race starts

    auto held = first.openKey(kFtpKey);
    held.writeString("Von_Erstem", "1");
    std::atomic<bool> secondDone{false};
    std::string secondError;
    std::thread other([&] {
        try {
            auto key = second.openKey(kFtpKey);
            key.writeString("Von_Zweitem", "2");
        } catch (const std::exception& e) {
            secondError = e.what();
        }
        secondDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(secondDone) << "the second writer did not wait for the first";
    held.close();
    other.join();
    EXPECT_EQ(secondError, "");

    auto key = first.openKeyReadOnly(kFtpKey);
    EXPECT_EQ(key.readString("Von_Erstem"), "1");
    EXPECT_EQ(key.readString("Von_Zweitem"), "2");
}

TEST_F(RegistryTest, InterleavedCountersLoseNoIncrement) {
    {
        Registry reg(file);
        reg.openKey(kFtpKey).writeInteger("Send_Files_ges", 0);
    }
    std::atomic<int> failures{0};
    const auto bump = [&] {
        try {
            Registry reg(file);
            for (int i = 0; i < 25; ++i) {
                auto key = reg.openKey(kFtpKey);
                key.writeInteger("Send_Files_ges", key.readInteger("Send_Files_ges") + 1);
            }
        } catch (const std::exception&) {
            ++failures;
        }
    };
    std::thread a(bump);
    std::thread b(bump);
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    Registry reg(file);
    EXPECT_EQ(reg.openKeyReadOnly(kFtpKey).readInteger("Send_Files_ges"), 50);
}

TEST_F(RegistryTest, MachineKeysAnswerFromTheSystemAndNeverTouchTheFile) {
    Registry reg(file, sampleMachine());
    EXPECT_TRUE(reg.keyExists(kOsKey));
    EXPECT_TRUE(reg.keyExists("\\hardware\\description\\system\\centralprocessor\\0"));
    {
        auto os = reg.openKeyReadOnly(kOsKey);
        EXPECT_EQ(os.readString("ProductName"), "Debian GNU/Linux 12 (bookworm)");
        EXPECT_EQ(os.readString("productname"), "Debian GNU/Linux 12 (bookworm)");
        EXPECT_EQ(os.readString("CSDVersion"), "");
        EXPECT_EQ(registryErrorOf([&] { os.readInteger("~MHz"); }),
                  "Fehler beim Holen der Daten für '~MHz'");
    }
    auto cpu = reg.openKeyReadOnly(kCpuKey);
    EXPECT_EQ(cpu.readInteger("~MHz"), 2400);
    EXPECT_EQ(cpu.readString("Identifier"), "family 6 model 158 stepping 10");
    EXPECT_EQ(registryErrorOf([&] { cpu.readInteger("Identifier"); }),
              "Ungültiger Datentyp für 'Identifier'");
    EXPECT_EQ(registryErrorOf([&] { cpu.readString("~MHz"); }), "Ungültiger Datentyp für '~MHz'");
    EXPECT_EQ(registryErrorOf([&] { cpu.writeString("Identifier", "x"); }),
              "Fehler beim Setzen der Daten für 'Identifier'");
    EXPECT_EQ(registryErrorOf([&] { reg.openKey(kOsKey).writeInteger("A", 1); }),
              "Fehler beim Setzen der Daten für 'A'");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(SystemInfoTest, ParsesOsReleaseKernelAndFirstProcessor) {
    const std::string osRelease =
        "# comment\n"
        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
        "NAME='Debian GNU/Linux'\n"
        "VERSION_ID=\"12\"\n"
        "ID=debian\n";
    const std::string cpuinfo =
        "processor\t: 0\n"
        "vendor_id\t: GenuineIntel\n"
        "cpu family\t: 6\n"
        "model\t\t: 158\n"
        "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\n"
        "stepping\t: 10\n"
        "cpu MHz\t\t: 3191.999\n"
        "flags\t\t: fpu vme\n"
        "\n"
        "processor\t: 1\n"
        "vendor_id\t: OtherVendor\n"
        "cpu MHz\t\t: 800.000\n";
    const SystemInfo info = SystemInfo::fromTexts(osRelease, "6.1.0-18-amd64\n", cpuinfo);
    const auto& os = info.texts.at(kOsKey);
    EXPECT_EQ(os.at("ProductName"), "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(os.at("CurrentVersion"), "12");
    EXPECT_EQ(os.at("CurrentBuildNumber"), "6.1.0-18-amd64");
    const auto& cpu = info.texts.at(kCpuKey);
    EXPECT_EQ(cpu.at("ProcessorNameString"), "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    EXPECT_EQ(cpu.at("VendorIdentifier"), "GenuineIntel");
    EXPECT_EQ(cpu.at("Identifier"), "family 6 model 158 stepping 10");
    EXPECT_EQ(info.integers.at(kCpuKey).at("~MHz"), 3192);
}

TEST(SystemInfoTest, LeavesOutWhatTheTextsDoNotSay) {
    const std::string armCpu =
        "processor\t: 0\nBogoMIPS\t: 108.00\nCPU implementer\t: 0x41\n\n";
    const SystemInfo info = SystemInfo::fromTexts("NAME=Alpine\n", "", armCpu);
    Registry reg("/nonexistent/never/created.sqlite3", info);
    auto os = reg.openKeyReadOnly(kOsKey);
    EXPECT_EQ(os.readString("ProductName"), "");
    EXPECT_EQ(os.readString("CurrentBuildNumber"), "");
    auto cpu = reg.openKeyReadOnly(kCpuKey);
    EXPECT_EQ(cpu.readString("Identifier"), "");
    EXPECT_THROW(cpu.readInteger("~MHz"), RegistryError);
}

TEST(SystemInfoTest, ReadsThisMachine) {
    const SystemInfo info = SystemInfo::fromSystem();
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(info.texts.at(kOsKey).at("CurrentBuildNumber"), names.release);
}

TEST(RegistryPathTest, DefaultPathFollowsTheEnvironment) {
    ScopedEnv home("HOME", "/home/anna");
    {
        ScopedEnv own("VELORA_REGISTRY", "/srv/reg.db");
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(Registry::defaultPath(), "/srv/reg.db");
    }
    ScopedEnv own("VELORA_REGISTRY", nullptr);
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg/");
        EXPECT_EQ(Registry::defaultPath(), "/cfg/velora/registry.sqlite3");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(Registry::defaultPath(), "/home/anna/.config/velora/registry.sqlite3");
}

}  // namespace
}  // namespace velora

namespace velora {
namespace {

// A change across a key and its sub-key is kept whole when the key closes, and not at
// all when it is discarded.
TEST(RegistryTransactionTest, ASubKeyWritesWithItsKeyAndIsDiscardedWithIt) {
    test::TempDir dir;
    Registry reg(dir.file("reg.sqlite3"));
    reg.openKey("\\A").writeString("keep", "old");
    for (const bool keep : {false, true}) {
        Registry::Key key = reg.openKey("\\A");
        key.writeString("keep", keep ? "new" : "dropped");
        Registry::Key sub = key.openSubKey("B");
        sub.writeInteger("n", keep ? 2 : 1);
        if (keep) key.close();
        else key.discard();
    }
    EXPECT_EQ(reg.openKeyReadOnly("\\A").readString("keep"), "new");
    EXPECT_EQ(reg.openKeyReadOnly("\\A\\B").readInteger("n"), 2);

    Registry::Key closed = reg.openKey("\\A");
    closed.close();
    EXPECT_THROW(closed.openSubKey("C"), RegistryError);
    EXPECT_FALSE(reg.keyExists("\\A\\C"));
}

}  // namespace
}  // namespace velora
