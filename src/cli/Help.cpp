#include "cli/Help.h"

#include "cli/AdminCommands.h"
#include "cli/StatusCommand.h"

namespace velora::cli {

namespace {

const char* const kStoreNote =
    "The settings store is $VELORA_REGISTRY, else ~/.config/velora/registry.sqlite3\n"
    "($XDG_CONFIG_HOME is honoured), the same store the window program velora uses.\n";

const char* const kPrepareHelp =
    "Usage: velora-cli prepare\n"
    "\n"
    "\"Einlesen\" without a window: runs the start-up as the window does (settings,\n"
    "scratch folder, client identity), then resolves every active row, computes the\n"
    "checksums, writes the tag copies and marks each row NEU, OK, NF, IOERROR or BUSY\n"
    "(a file still being written). Then prints the file table, tab-separated: a header\n"
    "line and one line per row, ten columns. Every log line also goes to standard output.\n"
    "\n"
    "Exit code: 0 the pass ran; 1 an error ended it or the scratch folder cannot be used\n"
    "(the text is on standard error); 3 another run was working at that moment.\n";

const char* const kRunHelp =
    "Usage: velora-cli run [--all]\n"
    "\n"
    "One run as the button \"Start\" does it: \"Einlesen\", connect when something changed,\n"
    "send, disconnect, save the statistics. When \"Aktiv\" is set on the page \"Tools\",\n"
    "the run begins with the screen shot, which needs a screen in $DISPLAY. Every log\n"
    "line also goes to standard output; when standard error is a terminal, it shows\n"
    "each file's progress (name, bytes, per cent, rate) on one line.\n"
    "\n"
    "Between calls, run remembers the checksum of what each row last sent (by its\n"
    "Quelle, FTP Pfad and FTP Name and the server Login_Host, in a key of its own), so a\n"
    "cron job sends only what changed since; a row whose store failed is sent again next\n"
    "time, and so is a row that was edited. --all sends every active row, as a fresh\n"
    "start of the window does.\n"
    "\n"
    "Exit code: 0 everything due was sent (or nothing had changed); 2 a row was not\n"
    "exported (Error, NF, IOERROR, BUSY: still being written, sent by a later run) or the\n"
    "server could not be reached; standard error names the rows; 3 the run was skipped\n"
    "because another run was working with the same scratch folder; 1 the command line\n"
    "or the start-up failed.\n";

const char* const kDaemonHelp =
    "Usage: velora-cli daemon\n"
    "\n"
    "Runs like the window with \"Aktiv\" checked, without end: a scheduler tick every\n"
    "second, runs every \"Intervall\" seconds or at the minutes of the weekly calendar\n"
    "(\"feste Zeiten\"), with the same restart countdown. Messages go to the event log\n"
    "and to standard error.\n"
    "\n"
    "SIGHUP reloads the settings and the calendar (\"Load Config\"; a run in progress\n"
    "finishes first); rows that did not change keep what they last sent, so a reload\n"
    "does not send them again. SIGTERM or SIGINT end it as \"Beenden\" does: a store in\n"
    "progress may finish within 10 seconds, the statistics are saved, exit code 0.\n"
    "Exit code 1 when the start-up failed.\n"
    "\n"
    "Under systemd (Type=notify, $NOTIFY_SOCKET set) it reports ready after the\n"
    "start-up, a status line (\"next run 14:05\", \"exporting 3 of 7 files\") and a\n"
    "watchdog ping from every tick. While it runs it holds velora-daemon.pid in the\n"
    "scratch folder (see velora-cli status). After each run it records the rows'\n"
    "results for velora-cli status and runs On_Error_Command when failures begin or end.\n";

const char* const kHelpHelp =
    "Usage: velora-cli help | -h | --help\n"
    "       velora-cli COMMAND --help\n"
    "\n"
    "Shows the overview, or the help of one command.\n";

}  // namespace

std::string usage() {
    return std::string("Usage: velora-cli COMMAND [ARGUMENTS]\n"
                       "\n"
                       "Exports the files of the file table without a window, with the settings of the\n"
                       "program velora, and edits those settings.\n") +
           kStoreNote +
           "\n"
           "Commands:\n"
           "  prepare                 \"Einlesen\": resolve, checksum, mark rows; print the table\n"
           "  run [--all]             one run as \"Start\" does it (exit code 2 if a row failed)\n"
           "  daemon                  the schedule without a window, until SIGTERM\n"
           "  status [--json|--check] the daemon, the schedule and the last run's rows\n" +
           adminUsage() +
           "  help                    this overview (also -h, --help)\n"
           "\n"
           "velora-cli COMMAND --help explains a command, its arguments and its exit codes.\n"
           "Exit code 1: a bad command line or a failed start-up; the text is on standard\n"
           "error.\n";
}

std::string commandHelp(const std::string& command) {
    if (command == "prepare") return kPrepareHelp;
    if (command == "run") return kRunHelp;
    if (command == "daemon") return kDaemonHelp;
    if (command == "status") return statusHelp();
    if (command == "help" || command == "-h" || command == "--help") return kHelpHelp;
    if (isAdminCommand(command)) return adminHelp(command);
    return {};
}

}  // namespace velora::cli
