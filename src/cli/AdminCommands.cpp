#include "cli/AdminCommands.h"

#include <algorithm>
#include <ostream>

#include "cli/AdminStore.h"
#include "cli/CalendarCommand.h"
#include "cli/CliCommands.h"
#include "cli/ConfigCommand.h"
#include "cli/ExportImportCommands.h"
#include "cli/RowsCommand.h"

namespace velora::cli {

namespace {

struct AdminCommand {
    const char* name;
    std::string (*help)();
    int (*run)(const std::vector<std::string>&, const AdminContext&);
};

const AdminCommand kCommands[] = {
    {"config", configHelp, runConfig},
    {"rows", rowsHelp, runRows},
    {"calendar", calendarHelp, runCalendar},
    {"export", exportHelp, runExport},
    {"import", importHelp, runImport},
};

const AdminCommand* find(const std::string& name) {
    for (const AdminCommand& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

}  // namespace

bool isAdminCommand(const std::string& command) { return find(command) != nullptr; }

std::string adminHelp(const std::string& command) {
    const AdminCommand* c = find(command);
    return c ? c->help() : std::string();
}

std::string adminUsage() {
    return "  config [NAME [VALUE]]   list, show or set a setting by its value name\n"
           "  rows [add|set|remove]   show or edit the file table\n"
           "  calendar [mark|clear]   show or edit the weekly calendar (\"feste Zeiten\")\n"
           "  export FILE             the whole configuration as JSON (--with-passwords)\n"
           "  import FILE             replace the configuration with such a document\n";
}

int runAdminCommand(const std::vector<std::string>& args, const AdminServices& services, std::ostream& out,
                    std::ostream& err) {
    const AdminCommand* command = find(args.at(0));
    if (!command) return kFailed;
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (std::find_if(rest.begin(), rest.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }) !=
        rest.end()) {
        out << command->help();
        return kOk;
    }
    try {
        Registry registry(services.registryPath);
        return command->run(rest, {services.env, services.clock, services.locale, registry, out, err});
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return kFailed;
    }
}

}  // namespace velora::cli
