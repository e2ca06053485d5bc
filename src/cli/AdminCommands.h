#pragma once
// The administration commands of velora-cli: config, rows, calendar, export and
// import. They work on the settings store alone (no start-up, no log view, no
// network) and check every argument before they touch it, so a refused command leaves
// the store file exactly as it was.
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Locale.h"

namespace velora::cli {

struct AdminServices {
    const Environment& env;
    const Clock& clock;
    const Locale& locale;
    const std::string& registryPath;
};

bool isAdminCommand(const std::string& command);
// `args` begins with the command's name; "--help" or "-h" anywhere shows its help.
int runAdminCommand(const std::vector<std::string>& args, const AdminServices& services, std::ostream& out,
                    std::ostream& err);
// The lines of the general help that name these commands, and the help of one.
std::string adminUsage();
std::string adminHelp(const std::string& command);

}  // namespace velora::cli
