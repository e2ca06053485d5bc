// The FTP session against a real server (pyftpdlib) on 127.0.0.1: on port 21 as the
// program fixes it when the test may bind it, otherwise on a free port.
#include <gtest/gtest.h>

#include <filesystem>

#include "integration/support/PyFtpServer.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "support/ErrorOf.h"
#include "unit/ftp/SessionHarness.h"

namespace velora::test {
namespace {

using test::errorOf;

class FtpSessionTest : public ::testing::Test {
protected:
    std::unique_ptr<PyFtpServer> server = PyFtpServer::onPort21OrFree();
    SessionHarness h;

    void SetUp() override {
        h.settings.user = PyFtpServer::kWriteUser;
        h.settings.password = PyFtpServer::kPassword;
        if (server->port() != 21) h.session.setServerPort(server->port());
    }
    void TearDown() override {
        if (h.session.connected()) h.session.B_DisconnectClick();
    }
    std::string onServer(const std::string& relative) { return fileio::readAll(server->pathOf(relative)); }
};

TEST_F(FtpSessionTest, ConnectLogsTheLoginAndTheSystem) {
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
    EXPECT_TRUE(h.logged("Status --> Connecting to 127.0.0.1."));
    EXPECT_TRUE(h.logged("Status --> Connection established"));
    const auto lines = h.lines;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "ONLINE");
    EXPECT_EQ(lines[lines.size() - 2], "UNIX Type: L8");
    EXPECT_EQ(lines.back(), "TransferTimeout = 1000 msec.");
    h.session.B_DisconnectClick();
    EXPECT_FALSE(h.session.ftpOpen());
    EXPECT_EQ(h.lines.back(), "Procedure --> Disconnect");
}

TEST_F(FtpSessionTest, PassiveAndActiveStoresArriveByteForByteAndOverwrite) {
    for (bool passive : {true, false}) {
        h.settings.passive = passive;
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
        const std::string big = patterned(3 * 256 * 1024 + 17);
        h.session.ChangeDir("/");
        h.session.Put(h.dir.write("big.bin", big), "upload.bin");
        EXPECT_EQ(onServer("upload.bin"), big) << (passive ? "passive" : "active");
        // A second, shorter store replaces the file instead of appending to it.
        h.session.Put(h.dir.write("small.bin", "kurz"), "upload.bin");
        EXPECT_EQ(onServer("upload.bin"), "kurz") << (passive ? "passive" : "active");
        // Empty files and empty remote names work too.
        h.session.Put(h.dir.write("leer.txt", ""), "");
        EXPECT_EQ(onServer("leer.txt"), "");
        h.session.B_DisconnectClick();
    }
}

// With "Upload_Temp_Rename" the old file on the server stays whole while the new one
// goes up as a part, whether the store is then confirmed or given up midway (the
// program ending); only a confirmed one replaces it, byte for byte, and neither end
// leaves the part behind.
TEST_F(FtpSessionTest, TempRenameKeepsTheOldFileWholeUntilTheNewOneIsConfirmed) {
    const std::string old = "der alte, ganze Inhalt";
    const std::string fresh = patterned(3 * 256 * 1024 + 17);
    for (bool givenUp : {false, true}) {
        fileio::writeAll(server->pathOf("upload.bin"), old);
        h.lines.clear();
        h.settings.tempRename = true;
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
        bool looked = false;
        h.ui.onPump = [&] {
            if (looked || !h.logged("Status --> 262144")) return;
            looked = true;
            EXPECT_EQ(onServer("upload.bin"), old) << givenUp;
            EXPECT_TRUE(std::filesystem::exists(server->pathOf("upload.bin.part"))) << givenUp;
            h.ui.graceOver = givenUp;
        };
        const std::string error = errorOf([&] { h.session.Put(h.dir.write("neu.bin", fresh), "upload.bin"); });
        h.ui.onPump = nullptr;
        h.ui.graceOver = false;
        EXPECT_TRUE(looked) << givenUp;
        EXPECT_EQ(onServer("upload.bin"), givenUp ? old : fresh) << givenUp;
        EXPECT_EQ(error.rfind(givenUp ? "Übertragung abgebrochen nach " : test::kNoError, 0), 0u) << error;
        // pyftpdlib does not answer a store broken off by a reset, so the session ends
        // there and a part stays: removing it is shown against the scripted server.
        if (!givenUp) EXPECT_FALSE(std::filesystem::exists(server->pathOf("upload.bin.part")));
        EXPECT_EQ(h.logged("Status --> Renamed."), !givenUp);
        h.session.B_DisconnectClick();
    }
}

TEST_F(FtpSessionTest, StoresIntoTheFolderChangedTo) {
    std::filesystem::create_directory(server->pathOf("wetter"));
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen());
    h.session.ChangeDir("/wetter");
    h.session.Put(h.dir.write("t.txt", "21,5 Grad"), "temp.txt");
    EXPECT_EQ(onServer("wetter/temp.txt"), "21,5 Grad");
    const std::string missing = errorOf([&] { h.session.ChangeDir("/fehlt"); });
    EXPECT_EQ(missing.rfind("550 ", 0), 0u) << missing;
    EXPECT_TRUE(h.session.connected());
}

TEST_F(FtpSessionTest, ReadOnlyUserIsRefusedTheStore) {
    h.settings.user = PyFtpServer::kReadUser;
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen());
    for (bool passive : {true, false}) {
        h.settings.passive = passive;
        const std::string error = errorOf([&] { h.session.Put(h.dir.write("a.txt", "x"), "a.txt"); });
        EXPECT_EQ(error.rfind("550 ", 0), 0u) << error;
    }
    EXPECT_FALSE(std::filesystem::exists(server->pathOf("a.txt")));
    // The refused store leaves the connection usable.
    EXPECT_NO_THROW(h.session.ChangeDir("/"));
}

TEST_F(FtpSessionTest, WrongPasswordIsLoggedWithTheServersText) {
    h.settings.password = "falsch";
    h.connect();
    EXPECT_FALSE(h.session.ftpOpen());
    EXPECT_FALSE(h.session.connected());
    EXPECT_EQ(h.lines.back().rfind("FTP_CONNECTED ERROR: Exception: 530 ", 0), 0u) << h.lines.back();
    EXPECT_TRUE(h.logged("Status --> Disconnected."));
}

TEST_F(FtpSessionTest, ProxyWithoutUserReachesTheServerThroughOpen) {
    h.useProxy(server->port());
    h.settings.proxyUser = "";
    h.session.setServerPort(21);   // the proxy path connects to the proxy port only
    h.connect();
    ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
    EXPECT_TRUE(h.logged("Use Proxy 127.0.0.1"));
    EXPECT_TRUE(h.logged("Proxy Port " + std::to_string(server->port())));
    h.session.Put(h.dir.write("p.txt", "über den Proxy"), "p.txt");
    EXPECT_EQ(onServer("p.txt"), "über den Proxy");
}

// The server puts this account in start/hier. A relative folder lands below that
// whatever was sent before it, and the root is still reachable with a leading "/".
TEST_F(FtpSessionTest, RelativeFoldersLandBelowTheLoginFolderWhateverWentBefore) {
    const std::string login = PyFtpServer::kDeepLoginFolder;
    for (const auto& folder : {login + "/bilder", std::string("up"), std::string("up/bilder")}) {
        std::filesystem::create_directories(server->pathOf(folder));
    }
    h.settings.user = PyFtpServer::kDeepUser;
    for (bool absoluteFirst : {false, true}) {
        h.connect();
        ASSERT_TRUE(h.session.ftpOpen()) << h.lines.back();
        const std::string tag = absoluteFirst ? "after /up" : "first";
        if (absoluteFirst) {
            h.session.ChangeDir("/up");
            h.session.Put(h.dir.write("root.txt", "oben"), "root.txt");
        }
        h.session.ChangeDir("bilder");
        h.session.Put(h.dir.write("cam.jpg", tag), "cam.jpg");
        EXPECT_EQ(onServer(login + "/bilder/cam.jpg"), tag);
        EXPECT_FALSE(std::filesystem::exists(server->pathOf("up/bilder/cam.jpg"))) << tag;
        h.session.B_DisconnectClick();
    }
    EXPECT_EQ(onServer("up/root.txt"), "oben");
}

}  // namespace
}  // namespace velora::test
