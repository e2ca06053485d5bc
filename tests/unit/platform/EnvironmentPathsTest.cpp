#include <cerrno>
#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "support/ScopedEnv.h"

namespace velora {
namespace {

using test::ScopedEnv;

TEST(ErrorsTest, IoErrorTextsByErrorNumber) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {ENOENT, "Datei nicht gefunden"},   {ENOTDIR, "Datei nicht gefunden"},
        {EACCES, "Dateizugriff verweigert"}, {EPERM, "Dateizugriff verweigert"},
        {EROFS, "Dateizugriff verweigert"}, {ENOSPC, "E/A-Fehler 28"},
        {EISDIR, "E/A-Fehler 21"},          {EIO, "E/A-Fehler 5"},
        {0, "E/A-Fehler 0"},
    };
    for (const auto& c : cases) {
        const IoError error(c.code);
        EXPECT_STREQ(error.what(), c.text) << c.code;
        EXPECT_EQ(error.code(), c.code);
    }
}

TEST(ErrorsTest, RegistryTextsAreExactBytes) {
    EXPECT_STREQ(RegistryError::writeFailed("Login_Host").what(),
                 "Fehler beim Setzen der Daten f\xC3\xBCr 'Login_Host'");
    EXPECT_STREQ(RegistryError::readFailed("~MHz").what(),
                 "Fehler beim Holen der Daten f\xC3\xBCr '~MHz'");
    EXPECT_STREQ(RegistryError::wrongType("Default_3").what(),
                 "Ung\xC3\xBCltiger Datentyp f\xC3\xBCr 'Default_3'");
    // A name that itself holds "%s" is inserted once, literally.
    EXPECT_STREQ(RegistryError::readFailed("a%sb").what(),
                 "Fehler beim Holen der Daten f\xC3\xBCr 'a%sb'");
}

TEST(EnvironmentTest, TempFallsBackThroughTempAndTmpdirButNeverToSharedTmp) {
    SystemEnvironment env;
    ScopedEnv temp("temp", nullptr);
    ScopedEnv upper("TEMP", nullptr);
    ScopedEnv tmpdir("TMPDIR", nullptr);
    EXPECT_EQ(env.get("temp"), "");
    {
        ScopedEnv t("TMPDIR", "/var/tmp");
        EXPECT_EQ(env.get("temp"), "/var/tmp");
        ScopedEnv u("TEMP", "/scratch");
        EXPECT_EQ(env.get("temp"), "/scratch");
        ScopedEnv own("temp", "/own");
        EXPECT_EQ(env.get("temp"), "/own");
    }
}

TEST(EnvironmentTest, ComputerNameAndOsFallBackToTheSystem) {
    SystemEnvironment env;
    ScopedEnv computer("COMPUTERNAME", nullptr);
    ScopedEnv os("OS", nullptr);
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(env.get("COMPUTERNAME"), host);
    EXPECT_EQ(env.get("OS"), "Linux");
    ScopedEnv named("COMPUTERNAME", "BUERO-PC");
    ScopedEnv windows("OS", "Windows_NT");
    EXPECT_EQ(env.get("COMPUTERNAME"), "BUERO-PC");
    EXPECT_EQ(env.get("OS"), "Windows_NT");
    EXPECT_EQ(env.get("VELORA_GIBT_ES_NICHT"), "");
}

TEST(EnvironmentTest, HomeFromVariableElsePasswordDatabase) {
    SystemEnvironment env;
    {
        ScopedEnv home("HOME", "/home/anna");
        EXPECT_EQ(env.homeFolder(), "/home/anna");
    }
    ScopedEnv home("HOME", nullptr);
    const std::string fromPasswd = env.homeFolder();
    EXPECT_FALSE(fromPasswd.empty());
    EXPECT_EQ(fromPasswd.front(), '/');
}

TEST(EnvironmentTest, FixedEnvironmentGivesExactlyItsValues) {
    FixedEnvironment env({{"COMPUTERNAME", "TESTPC"}}, "/home/x");
    EXPECT_EQ(env.get("COMPUTERNAME"), "TESTPC");
    EXPECT_EQ(env.get("temp"), "");  // no fallbacks here: tests control every value
    env.set("temp", "/t");
    EXPECT_EQ(env.get("temp"), "/t");
    EXPECT_EQ(env.homeFolder(), "/home/x");
}

TEST(PathsTest, PartsAndJoining) {
    const struct {
        const char* path;
        const char* name;
        const char* folder;
    } cases[] = {
        {"/home/anna/VELORA.Log", "VELORA.Log", "/home/anna/"},
        {"VELORA.Log", "VELORA.Log", ""},
        {"/home/anna/", "", "/home/anna/"},
        {"/", "", "/"},
        {"", "", ""},
        {"c:\\x\\y.txt", "c:\\x\\y.txt", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(paths::fileNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(paths::folderPartWithSlash(c.path), c.folder) << c.path;
    }
    EXPECT_EQ(paths::join("/tmp", "velora"), "/tmp/velora");
    EXPECT_EQ(paths::join("/tmp/", "velora"), "/tmp/velora");
    EXPECT_EQ(paths::join("/", "velora"), "/velora");
    EXPECT_EQ(paths::join("", "velora"), "velora");
    EXPECT_TRUE(paths::hasWildcard("/data/*.csv"));
    EXPECT_TRUE(paths::hasWildcard("/data/log?.txt"));
    EXPECT_FALSE(paths::hasWildcard("/data/log.txt"));
}

}  // namespace
}  // namespace velora
