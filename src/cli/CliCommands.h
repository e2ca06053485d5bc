#pragma once
// velora-cli: the program without a window, on the same settings store. Each command
// runs the start-up sequence first, exactly as the window does.
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/IcmpSocket.h"
#include "platform/Locale.h"
#include "platform/NameResolver.h"
#include "platform/Registry.h"
#include "platform/TcpConnector.h"

namespace velora {
class FileTable;
class RunCycle;
class TempFolder;
class TextView;
struct Settings;
}

namespace velora::cli {

enum ExitCode : int {
    kOk = 0,
    kFailed = 1,        // bad command line, or an error ended start-up or the pass
    kRunHadErrors = 2,  // a row was not exported, or the server could not be reached
    kSkipped = 3,       // another run was working on the scratch folder; try again later
};


// The file table as tab-separated lines: a header line, then one line per data row.
void printFileTable(const FileTable& files, std::ostream& out);

// Rows that a run should have exported and did not: active rows whose "MSG" is
// "Error", "NF", "IOERROR", "BUSY" (still being written, sent by a later run) or still
// "NEU" (the connection never opened).
std::vector<std::string> rowsNotExported(const FileTable& files);

// What "prepare" and "run" work with once the program has started up: the run cycle
// whose buttons they press, and what they report from afterwards.
struct RunParts {
    RunCycle& cycle;
    const FileTable& files;
    const TextView& log;       // the log view: its last line says why a pass stopped
    const TempFolder& temp;    // named when another run holds it
    const Settings& settings;  // the server named when it cannot be reached
};
// "prepare": the preparation pass, then the file table on `out`.
int runPrepare(const RunParts& parts, std::ostream& out, std::ostream& err);
// "run": one run as the button "Start" does it; what was not sent on `err`.
int runRun(const RunParts& parts, std::ostream& err);
// What the commands run on: the system's own in velora-cli, fixed ones in the tests
// (so no test changes the process environment or reads the real clock).
struct Services {
    const Environment& env;
    Clock& clock;
    Locale locale;
    std::string registryPath;
    SystemInfo systemInfo;
    NameResolver& resolver;
    TcpConnector& connector;
    IcmpSockets& icmpSockets;
};

// velora-cli daemon: ticks on the given services until SIGTERM or SIGINT came.
int runDaemon(const Services& services, std::ostream& out, std::ostream& err);

// Parses the arguments, builds the program on the given services and runs.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Services& services);
// The same on the system's services.
int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velora::cli
