#pragma once
// The help texts of velora-cli, in English; the names of settings, captions and log
// lines are the program's own German ones, since those are what a user types and reads.
#include <string>

namespace velora::cli {

// The overview of every command.
std::string usage();
// The help of one command (prepare, run, daemon, or an administration command);
// empty for an unknown name.
std::string commandHelp(const std::string& command);

}  // namespace velora::cli
