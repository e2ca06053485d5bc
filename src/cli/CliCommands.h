#pragma once
// velora-cli: the program without a window, on the same settings store. Each command
// runs the start-up sequence first, exactly as the window does.
#include <iosfwd>
#include <string>
#include <vector>

namespace velora {
class Program;
class FileTable;
}

namespace velora::cli {

enum ExitCode : int {
    kOk = 0,
    kFailed = 1,        // bad command line, or an error ended start-up or the pass
    kRunHadErrors = 2,  // a row was not exported, or the server could not be reached
    kSkipped = 3,       // another run was working on the scratch folder; try again later
};

std::string usage();

// The file table as tab-separated lines: a header line, then one line per data row.
void printFileTable(const FileTable& files, std::ostream& out);

// Rows that a run should have exported and did not: active rows whose "MSG" is
// "Error", "NF", "IOERROR", or still "NEU" (the connection never opened).
std::vector<std::string> rowsNotExported(const FileTable& files);

int runPrepare(Program& program, std::ostream& out, std::ostream& err);
int runRun(Program& program, std::ostream& out, std::ostream& err);
// velora-cli daemon on the system's services; returns when SIGTERM or SIGINT came.
int runDaemon(std::ostream& out, std::ostream& err);

// Parses the arguments, builds the program on the system's services and runs.
int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velora::cli
