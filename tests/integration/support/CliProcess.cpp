#include "integration/support/CliProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/DieWithParent.h"
#include "support/TempDir.h"

namespace velora::test {
namespace {

constexpr auto kLongestRun = std::chrono::seconds(60);

}  // namespace

CliProcess::CliProcess(const Options& options) {
    const std::string binary = std::string(VELORA_BINARY_DIR) + "/velora-cli";
    std::vector<std::string> argv{binary};
    argv.insert(argv.end(), options.args.begin(), options.args.end());
    std::vector<std::string> envp{"PATH=/usr/bin:/bin"};
    for (const auto& [name, value] : options.env) envp.push_back(name + "=" + value);
    const std::string outFile = outputs_.file("out");
    const std::string errFile = outputs_.file("err");
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ != 0) return;
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
    if (options.uid != 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(options.uid) != 0 || ::setuid(options.uid) != 0))
        ::_exit(126);
    dieWithParent(parent);
    if (::chdir(options.workingFolder.c_str()) != 0) ::_exit(126);
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    for (auto& s : envp) e.push_back(s.data());
    a.push_back(nullptr);
    e.push_back(nullptr);
    ::execve(binary.c_str(), a.data(), e.data());
    ::_exit(127);
}

CliProcess::~CliProcess() {
    if (pid_ > 0) wait();
}

CliOutcome CliProcess::wait() {
    CliOutcome outcome;
    if (pid_ <= 0) return outcome;
    const auto until = std::chrono::steady_clock::now() + kLongestRun;
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (done == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    } else if (WIFEXITED(status)) {
        outcome.exitCode = WEXITSTATUS(status);
    }
    pid_ = -1;
    outcome.out = test::readFileBytes(outputs_.file("out"));
    outcome.err = test::readFileBytes(outputs_.file("err"));
    return outcome;
}

}  // namespace velora::test
