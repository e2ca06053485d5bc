// velora-cli run called again and again, as cron or a systemd timer calls it, against a
// real FTP server on port 21 in a private network: each call sends only the rows that
// changed since they were last sent, a row whose store failed goes out again, and
// "run --all" sends everything as a fresh start does. Which edits of a row count as a
// new row is SentMemoryTest's.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "integration/support/CliProcess.h"
#include "integration/support/PyFtpServer.h"
#include "platform/Registry.h"
#include "settings/SettingsStore.h"
#include "support/Namespaces.h"
#include "support/TempDir.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using test::CliOutcome;
using test::CliProcess;
using test::PyFtpServer;

struct CronUser {
    test::TempDir home;
    std::string store() const { return home.file("registry.sqlite3"); }

    CliOutcome cli(std::vector<std::string> args) const {
        CliProcess::Options o;
        o.args = std::move(args);
        o.env = {{"HOME", home.path()}, {"VELORA_REGISTRY", store()}};
        return CliProcess::run(o);
    }
    std::uint32_t filesSent() const {
        return static_cast<std::uint32_t>(
            Registry(store()).openKeyReadOnly(kSettingsKey).readInteger("Send_Files_ges"));
    }
};

TEST(CliRunMemoryTest, RepeatedRunsSendOnlyWhatChangedSinceItWasSent) {
    test::inPrivateNetwork([] {
        PyFtpServer server(21);
        fs::create_directories(server.pathOf("sub"));
        CronUser user;
        const std::string kb200(200 * 1024, 'x');
        const std::string a = user.home.write("a.bin", kb200);
        const std::string b = user.home.write("b.bin", kb200);
        const std::string c = user.home.write("c.bin", kb200);
        // Configured with the commands alone, as a user without a window does it.
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"config", "Login_Host", "127.0.0.1"}, {"config", "Login_User", PyFtpServer::kWriteUser},
                 {"config", "Login_Pwd", PyFtpServer::kPassword}, {"config", "Log_Datei", user.home.file("cron.log")},
                 {"config", "Datei_Ruhezeit", "0"}, {"rows", "remove", "1"}, {"rows", "remove", "1"},
                 {"rows", "remove", "1"}, {"rows", "remove", "1"}, {"rows", "remove", "1"},
                 {"rows", "add", a, "/", "a.bin"}, {"rows", "add", b, "/sub", "b.bin"},
                 {"rows", "add", c, "/", "c.bin"}}) {
            const CliOutcome o = user.cli(args);
            ASSERT_EQ(o.exitCode, 0) << args[0] << " " << args[1] << ": " << o.err;
        }

        struct Call {
            const char* what;
            std::function<void()> before;
            std::vector<std::string> args;
            int exitCode;
            std::uint32_t sent;
        };
        const auto nothing = [] {};
        const auto changeB = [&](std::size_t kb) { user.home.write("b.bin", std::string(kb * 1024, 'y')); };
        const Call calls[] = {
            {"first call", nothing, {"run"}, 0, 3},
            {"nothing changed", nothing, {"run"}, 0, 0},
            {"b changed", [&] { changeB(210); }, {"run"}, 0, 1},
            {"nothing changed since b was sent", nothing, {"run"}, 0, 0},
            // A store that fails keeps what was sent before, so the row goes out later.
            {"b changed, its folder gone", [&] { changeB(230); fs::remove_all(server.pathOf("sub")); }, {"run"}, 2, 0},
            {"folder back", [&] { fs::create_directories(server.pathOf("sub")); }, {"run"}, 0, 1},
            {"fresh start", nothing, {"run", "--all"}, 0, 3},
            {"after the fresh start", nothing, {"run"}, 0, 0},
        };
        std::uint32_t total = 0;
        for (const Call& call : calls) {
            call.before();
            const CliOutcome o = user.cli(call.args);
            EXPECT_EQ(o.exitCode, call.exitCode) << call.what << ": " << o.err;
            EXPECT_EQ(user.filesSent() - total, call.sent) << call.what;
            total = user.filesSent();
        }
        EXPECT_EQ(fs::file_size(server.pathOf("sub/b.bin")), 230u * 1024u);
    });
}

}  // namespace
}  // namespace velora
