#pragma once
// velora-cli status [--json] [--check] [--max-age DURATION]: how the unattended export
// is doing, for a person (text), for scripts (one JSON document with a format version)
// and for monitoring systems (one line and the plugins' exit code: 0 every active row
// stored within the limit, 1 some rows late, 2 no successful run within the limit or
// no daemon running, 3 the state cannot be read).
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/AdminCommands.h"

namespace velora::cli {

inline constexpr int kStatusFormatVersion = 1;

// `args` begins with "status".
int runStatus(const std::vector<std::string>& args, const AdminServices& services, std::ostream& out,
              std::ostream& err);
std::string statusHelp();

}  // namespace velora::cli
