// velora-cli as separate processes against a real FTP server on the fixed port 21, in a
// private network where only loopback exists: two runs at once, another account's
// folder and a second account, a start from "/", a server that is not there, and
// fingerprints that survive a restart.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "integration/support/CliProcess.h"
#include "integration/support/PyFtpServer.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/Registry.h"
#include "settings/SettingsStore.h"
#include "support/Namespaces.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using test::CliOutcome;
using test::CliProcess;
using test::PyFtpServer;

struct Row {
    std::string aktiv, tag, quelle, name;
};

// One account's home with its own settings store.
struct Account {
    test::TempDir home;
    std::string store() const { return home.file("registry.sqlite3"); }

    void saveRows(const std::vector<Row>& rows, bool tagFile = false) const {
        Registry reg(store());
        auto key = reg.openKey(kSettingsKey);
        key.writeString("Log_Datei", home.file("cli.log"));
        key.writeString("Transfer_Log_Datei", home.file("Transfer_Log.csv"));
        key.writeString("Login_Host", "127.0.0.1");
        key.writeString("Login_User", PyFtpServer::kWriteUser);
        key.writeString("Login_Pwd", PyFtpServer::kPassword);
        key.writeInteger("USE_TAGSFILE", tagFile ? 1 : 0);
        key.writeInteger("Liste_row_count", static_cast<int>(rows.size()) + 1);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string r = std::to_string(i + 1);
            key.writeString("Liste_8_" + r, rows[i].aktiv);
            key.writeString("Liste_1_" + r, rows[i].tag);
            key.writeString("Liste_2_" + r, rows[i].quelle);
            key.writeString("Liste_7_" + r, "/");
            key.writeString("Liste_3_" + r, rows[i].name);
        }
    }
    CliProcess::Options options(const std::string& command, const std::string& temp = {}) const {
        CliProcess::Options o;
        o.args = {command};
        o.env = {{"HOME", home.path()}, {"VELORA_REGISTRY", store()}, {"COMPUTERNAME", "WETTER"}};
        if (!temp.empty()) o.env["TEMP"] = temp;
        return o;
    }
    // Counts and the byte total alike (a count reads as unsigned).
    std::int64_t counter(const std::string& name) const {
        return static_cast<std::int64_t>(Registry(store()).openKeyReadOnly(kSettingsKey).readQword(name));
    }
};

std::string blockOf(char c, std::size_t size) {
    std::string s(size, c);
    for (std::size_t i = 0; i < size; i += 4096) s[i] = static_cast<char>('0' + i / 4096 % 10);
    return s;
}

// Column `c` of the table velora-cli prepare prints.
std::vector<std::string> printedColumn(const std::string& out, int c) {
    std::vector<std::string> values;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
        if (cells.size() == 10 && cells[0] != "Nr.") values.push_back(cells[static_cast<std::size_t>(c)]);
    }
    return values;
}

// Two runs on one store, and a run on another store, all sharing one scratch folder
// and started together: every file on the server holds exactly its source's bytes.
TEST(CliProcessTest, RunsAtOnceNeverMixTheirFiles) {
    test::inPrivateNetwork([] {
        PyFtpServer server(21);
        Account a, b;
        test::TempDir shared;
        std::vector<Row> rowsA, rowsB;
        for (int i = 1; i <= 4; ++i) {
            const std::string n = std::to_string(i);
            rowsA.push_back({"Ja", "No", a.home.write("a" + n, blockOf(static_cast<char>('a' + i), 2 << 20)), "a" + n});
            rowsB.push_back({"Ja", "No", b.home.write("b" + n, blockOf(static_cast<char>('k' + i), 2 << 20)), "b" + n});
        }
        a.saveRows(rowsA);
        b.saveRows(rowsB);
        {
            CliProcess first(a.options("run", shared.path()));
            CliProcess second(a.options("run", shared.path()));
            CliProcess other(b.options("run", shared.path()));
            for (CliProcess* p : {&first, &second, &other}) {
                const CliOutcome o = p->wait();
                EXPECT_TRUE(o.exitCode == 0 || o.exitCode == 3) << o.exitCode << o.err;
                if (o.exitCode == 3) {
                    EXPECT_NE(o.err.find("Lauf übersprungen"), std::string::npos) << o.err;
                }
            }
        }
        const auto everyFileIsItsSource = [&](bool allThere) {
            for (const auto* rows : {&rowsA, &rowsB}) {
                for (const Row& r : *rows) {
                    if (!allThere && !fs::exists(server.pathOf(r.name))) continue;
                    EXPECT_EQ(fileio::readAll(server.pathOf(r.name)), fileio::readAll(r.quelle)) << r.name;
                }
            }
        };
        everyFileIsItsSource(false);
        // Whatever was skipped goes out with the next runs.
        EXPECT_EQ(CliProcess::run(b.options("run", shared.path())).exitCode, 0);
        EXPECT_EQ(CliProcess::run(a.options("run", shared.path())).exitCode, 0);
        everyFileIsItsSource(true);
        // Each run of store A sent all four files; counts add up across processes.
        EXPECT_EQ(a.counter("Send_Bytes_ges") % (4 * (2 << 20)), 0);
        EXPECT_EQ(a.counter("Send_Files_ges") % 4, 0);
        EXPECT_GE(a.counter("Send_Files_ges"), 4);

        // A run that finds the folder held says so and sends nothing.
        FileLock held;
        std::string why;
        ASSERT_EQ(held.tryLock(shared.path() + "/velora-" + std::to_string(::geteuid()) + "/velora.lock", why),
                  FileLock::Result::Acquired);
        fileio::writeAll(rowsA[0].quelle, "geändert");
        const CliOutcome skipped = CliProcess::run(a.options("run", shared.path()));
        EXPECT_EQ(skipped.exitCode, 3);
        EXPECT_NE(skipped.out.find("Lauf übersprungen: ein anderer Lauf arbeitet gerade mit "), std::string::npos);
        EXPECT_NE(fileio::readAll(server.pathOf("a1")), "geändert");
    });
}

// Another account prepared the folder this account would use, with links to this
// account's files: nothing is written through them, and the exports go on through a
// private folder beside it. A second account exports with a folder of its own.
TEST(CliProcessTest, AnotherAccountsFolderIsPassedByAndASecondAccountExportsAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two accounts (CI runs as root)";
    test::inPrivateNetwork([] {
        PyFtpServer server(21);
        test::TempDir shared;
        ASSERT_EQ(::chmod(shared.path().c_str(), 01777), 0);
        Account victim;
        const std::string precious = victim.home.write("precious.txt", "kostbar");
        const std::string planted = shared.path() + "/velora-0";
        ASSERT_EQ(::mkdir(planted.c_str(), 0777), 0);
        ASSERT_EQ(::chmod(planted.c_str(), 0777), 0);
        for (const char* name : {"VELORA.tmp", "1_page.html", "velora.lock"})
            ASSERT_EQ(::symlink(precious.c_str(), (planted + "/" + name).c_str()), 0);
        ASSERT_EQ(::lchown(planted.c_str(), test::kOtherUid, test::kOtherUid), 0);
        victim.saveRows({{"Ja", "Ja", victim.home.write("page.html", "[SYS_COMPUTERNAME]"), "page.html"},
                         {"Ja", "No", victim.home.write("cam.jpg", "bild"), "cam.jpg"}});

        const CliOutcome passed = CliProcess::run(victim.options("run", shared.path()));
        EXPECT_EQ(passed.exitCode, 0) << passed.err;
        EXPECT_NE(passed.out.find(planted + " belegt (gehört einem anderen Benutzer), Temp-Ordner ist " + planted + "-"),
                  std::string::npos)
            << passed.out;
        EXPECT_EQ(fileio::readAll(precious), "kostbar");
        EXPECT_EQ(fileio::readAll(server.pathOf("cam.jpg")), "bild");

        // The second account: no TEMP, its own cache folder.
        Account second;
        second.saveRows({{"Ja", "No", second.home.write("cam2.jpg", "zweites bild"), "cam2.jpg"}});
        for (const auto& e : fs::recursive_directory_iterator(second.home.path()))
            ASSERT_EQ(::lchown(e.path().c_str(), test::kOtherUid, test::kOtherUid), 0);
        ASSERT_EQ(::chown(second.home.path().c_str(), test::kOtherUid, test::kOtherUid), 0);
        CliProcess::Options asSecond = second.options("run");
        asSecond.uid = test::kOtherUid;
        const CliOutcome own = CliProcess::run(asSecond);
        EXPECT_EQ(own.exitCode, 0) << own.err << own.out;
        EXPECT_EQ(fileio::readAll(server.pathOf("cam2.jpg")), "zweites bild");
        struct stat info {};
        ASSERT_EQ(::stat((second.home.path() + "/.cache/velora").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        EXPECT_EQ(info.st_uid, test::kOtherUid);
    });
}

// A service starts in "/": the default tag file in the home folder is still found.
TEST(CliProcessTest, RunFromTheRootFolderTakesTheTagFileFromHome) {
    test::inPrivateNetwork([] {
        PyFtpServer server(21);
        Account user;
        user.home.write("Export_Tags.TXT", "\xEF\xBB\xBF[TEMP_AUSSEN];3,5 C\r\n");
        user.saveRows({{"Ja", "Ja", user.home.write("wetter.html", "Aussen: [TEMP_AUSSEN]"), "wetter.html"}},
                      true);
        const CliOutcome o = CliProcess::run(user.options("run"));
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_EQ(fileio::readAll(server.pathOf("wetter.html")), "Aussen: 3,5 C");

        // Without the tag file the page is not sent, and the run says so.
        fs::remove(user.home.file("Export_Tags.TXT"));
        fileio::writeAll(user.home.file("wetter.html"), "Aussen jetzt: [TEMP_AUSSEN]");
        const CliOutcome missing = CliProcess::run(user.options("run"));
        EXPECT_EQ(missing.exitCode, 2);
        EXPECT_NE(missing.err.find("Error"), std::string::npos) << missing.err;
        EXPECT_EQ(fileio::readAll(server.pathOf("wetter.html")), "Aussen: 3,5 C");
    });
}

// Nothing listens on port 21: the run sent nothing and must not exit 0, with or
// without the online check.
TEST(CliProcessTest, ARunThatCannotReachTheServerExitsTwo) {
    test::inPrivateNetwork([] {
        Account user;
        user.saveRows({{"Ja", "No", user.home.write("cam.jpg", "bild"), "cam.jpg"}});
        for (const int ping : {0, 1}) {
            Registry(user.store()).openKey(kSettingsKey).writeInteger("Login_Ping_Test", ping);
            const CliOutcome o = CliProcess::run(user.options("run"));
            EXPECT_EQ(o.exitCode, 2) << ping << o.out;
            EXPECT_NE(o.err.find("nicht erreichbar"), std::string::npos) << ping << o.err;
        }
    });
}

// No per-process seed: the same unchanged files give the same fingerprints after a
// restart, so a restart alone never looks like a change to the next pass.
TEST(CliProcessTest, FingerprintsAreTheSameAfterARestart) {
    Account user;
    user.saveRows({{"Ja", "No", user.home.write("cam.jpg", "bild"), "cam.jpg"},
                   {"Ja", "Ja", user.home.write("page.html", "[SYS_COMPUTERNAME] [OS.ProductName]"), "p.html"}});
    const CliOutcome first = CliProcess::run(user.options("prepare"));
    const CliOutcome second = CliProcess::run(user.options("prepare"));
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const auto neu = printedColumn(first.out, PsNeu);
    ASSERT_EQ(neu.size(), 2u) << first.out;
    for (const auto& v : neu) EXPECT_GT(std::stoll(v), 0) << v;
    EXPECT_EQ(printedColumn(second.out, PsNeu), neu);
}

}  // namespace
}  // namespace velora
