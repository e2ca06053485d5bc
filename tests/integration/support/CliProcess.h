#pragma once
// Starts the real velora-cli binary as its own process, with exactly the environment,
// working folder and account a test gives, and collects its exit code and output:
// for what only separate processes show (two runs at once, another account, a start
// from "/").
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace velora::test {

struct CliOutcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliProcess {
public:
    struct Options {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;   // the whole environment (PATH is added)
        std::string workingFolder = "/";
        unsigned uid = 0;                          // 0: the test's own account
    };

    explicit CliProcess(const Options& options);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Waits for the end (bounded: a hung run is killed and reported as exit code -1).
    CliOutcome wait();

    static CliOutcome run(const Options& options) { return CliProcess(options).wait(); }

private:
    test::TempDir outputs_;
    pid_t pid_ = -1;
};

}  // namespace velora::test
