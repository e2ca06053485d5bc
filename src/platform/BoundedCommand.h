#pragma once
// Runs a program without a shell, bounded in time and in what is kept of its output:
// the program is found as a shell would find it (a name with '/' as it is, else along
// the PATH given), runs in a process group of its own with standard input from
// /dev/null and standard output and error on one pipe, and is killed (the whole group,
// SIGKILL) when it has not ended within the time limit. Of its output the first line
// is kept; everything else is read and dropped, so a program that prints megabytes
// neither blocks on a full pipe nor fills the memory.
#include <cstddef>
#include <string>
#include <vector>

namespace velora {

struct CommandLimits {
    int timeoutMs = 30000;
    std::size_t firstLineBytes = 400;
};

struct CommandResult {
    bool started = false;
    std::string error;          // why it could not be started (not found, not executable, ...)
    bool timedOut = false;      // killed at the time limit
    int exitCode = -1;          // when it exited by itself
    int signal = 0;             // when a signal ended it
    std::string firstLine;      // without the line end
    std::size_t outputBytes = 0;   // all it printed
};

// `argv[0]` names the program; `environment` holds "NAME=value" entries, the whole
// environment of the child.
CommandResult runBounded(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const CommandLimits& limits);

// Splits a command line into words: blanks (spaces, tabs) separate them, and a part in
// double quotes is taken as it is, blanks included ("" gives an empty word). No other
// character is special. An unclosed quote leaves `error` set and no words.
std::vector<std::string> splitCommandLine(const std::string& line, std::string& error);

}  // namespace velora
