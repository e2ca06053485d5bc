#include "cli/CliCommands.h"

#include <ostream>

#include "cli/CliUiHost.h"
#include "platform/Errors.h"
#include "program/Program.h"

namespace velora::cli {

std::string usage() {
    return "Aufruf: velora-cli BEFEHL\n"
           "\n"
           "Exportiert die Dateien der Dateiliste ohne Fenster, mit denselben Einstellungen\n"
           "wie das Programm velora (Einstellungsdatei: $VELORA_REGISTRY, sonst\n"
           "~/.config/velora/registry.sqlite3). Jeder Befehl führt zuerst den Programmstart\n"
           "aus (Einstellungen laden, Temp-Ordner, Client-Kennung). Alle Log-Zeilen gehen\n"
           "auch auf die Standardausgabe.\n"
           "\n"
           "Befehle:\n"
           "  prepare   Einlesen: löst jede aktive Zeile auf, berechnet die Prüfsummen,\n"
           "            schreibt die TAG-Kopien und markiert NEU, OK, NF oder IOERROR.\n"
           "            Danach wird die Dateiliste tabulatorgetrennt ausgegeben\n"
           "            (eine Kopfzeile, dann eine Zeile je Datenzeile, zehn Spalten).\n"
           "            Exit-Code 0, wenn der Durchlauf lief; 1 mit dem Fehlertext auf\n"
           "            stderr, wenn ein Fehler ihn beendet hat.\n"
           "  run       Ein Lauf wie mit der Schaltfläche \"Start\": Einlesen, bei\n"
           "            Änderungen verbinden, senden, trennen, Statistik speichern.\n"
           "            Exit-Code 0, wenn der Lauf fertig ist und keine aktive Zeile mit\n"
           "            Error, NF oder IOERROR endete (oder mangels Verbindung NEU blieb);\n"
           "            sonst 2, der Grund steht auf stderr (für cron und systemd).\n"
           "  help      Diese Hilfe (auch -h, --help).\n";
}

void printFileTable(const FileTable& files, std::ostream& out) {
    for (int r = 0; r <= files.rowCount(); ++r) {
        for (int c = 0; c < kFileColumns; ++c) {
            if (c) out << '\t';
            out << files.cell(c, r);
        }
        out << '\n';
    }
}

namespace {

// The start-up sequence; an error in it is reported and ends the command.
bool startUp(Program& program, std::ostream& err) {
    try {
        program.FormCreate();
        return true;
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return false;
    }
}

}  // namespace

std::vector<std::string> rowsNotExported(const FileTable& files) {
    std::vector<std::string> out;
    for (int r = 1; r <= files.rowCount(); ++r) {
        if (!runsAsJa(files.cell(Aktiv, r))) continue;
        const std::string msg = files.cell(Msg, r);
        if (msg == "Error" || msg == "NF" || msg == "IOERROR" || msg == "NEU")
            out.push_back("Zeile " + std::to_string(r) + ": " + msg + " " + files.cell(Quelle, r));
    }
    return out;
}

int runPrepare(Program& program, std::ostream& out, std::ostream& err) {
    if (!startUp(program, err)) return kFailed;
    try {
        program.B_einlesenClick();
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        printFileTable(program.files(), out);
        return kFailed;
    }
    printFileTable(program.files(), out);
    return kOk;
}

int runRun(Program& program, std::ostream& out, std::ostream& err) {
    if (!startUp(program, err)) return kFailed;
    try {
        program.B_StartClick();
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return kRunHadErrors;
    }
    (void)out;
    const auto missing = rowsNotExported(program.files());
    for (const auto& line : missing) err << line << '\n';
    return missing.empty() ? kOk : kRunHadErrors;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Services& services) {
    if (args.empty()) {
        err << usage();
        return kFailed;
    }
    const std::string& command = args[0];
    if (command == "help" || command == "-h" || command == "--help") {
        out << usage();
        return kOk;
    }
    if (args.size() > 1 || (command != "prepare" && command != "run")) {
        err << "Unbekannter Befehl: " << command << "\n\n" << usage();
        return kFailed;
    }

    CliUiHost ui(err);
    Program program(
        {services.env, services.clock, services.locale, ui, services.registryPath, services.systemInfo});
    program.log().setEcho([&out](const std::string& line) { out << line << '\n' << std::flush; });
    return command == "prepare" ? runPrepare(program, out, err) : runRun(program, out, err);
}

int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    SystemEnvironment env;
    SystemClock clock;
    return run(args, out, err, {env, clock, Locale::system(), Registry::defaultPath(), SystemInfo::fromSystem()});
}

}  // namespace velora::cli
