// The desktop's "open" through a stand-in opener script that records what it was
// given: one argument with the address's bytes, started in the background and never
// left behind as a child of ours.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/FileIo.h"
#include "platform/XdgOpenShell.h"
#include "support/TempDir.h"

namespace velora {
namespace {

TEST(XdgOpenShellTest, OnlyABareHostGetsAScheme) {
    const std::pair<std::string, std::string> cases[] = {
        {"www.norvex.example", "http://www.norvex.example"},
        {"http://www.norvex.example/Projekte/VELORA/index.html", "http://www.norvex.example/Projekte/VELORA/index.html"},
        {"mailto:?cc=a@b.example&subject=Feedback zu X", "mailto:?cc=a@b.example&subject=Feedback zu X"},
        {"/home/user/hilfe.html", "/home/user/hilfe.html"},
        {"", ""},
    };
    for (const auto& [address, given] : cases) EXPECT_EQ(XdgOpenShell::forOpener(address), given) << address;
}

// Waits, boundedly, until the opener script has written its record.
std::string recordOf(const std::string& path) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fileio::exists(path) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return fileio::exists(path) ? fileio::readAll(path) : "(the opener never ran)";
}

TEST(XdgOpenShellTest, TheOpenerGetsTheAddressAsItsOneArgumentInTheBackground) {
    test::TempDir dir;
    // The record is written whole and then renamed, so it is never read half-done.
    const std::string script = dir.write("opener", "#!/bin/sh\n"
                                                   "printf '%s|%s' \"$#\" \"$1\" > '" + dir.file("record.tmp") + "'\n"
                                                   "mv '" + dir.file("record.tmp") + "' '" + dir.file("record") + "'\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    const std::string address = "mailto:?cc=feedback@norvex.example&subject=Feedback zu VELORA&body=Gr\xC3\xBC\xC3\x9F"
                                "e, $HOME `x` 'y'%0D%0A";
    XdgOpenShell shell(script);
    shell.open(address);
    // Nothing of ours waits to be reaped: the opener was handed to init.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(recordOf(dir.file("record")), "1|" + address);
}

TEST(XdgOpenShellTest, AMissingOpenerIsNoError) {
    XdgOpenShell shell("/nonexistent/xdg-open");
    shell.open("www.norvex.example");
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
}  // namespace velora
