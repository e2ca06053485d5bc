#include "cli/CliCommands.h"

#include <ostream>

#include "cli/CliUiHost.h"
#include "cli/Daemon.h"
#include "platform/Errors.h"
#include "platform/X11Screen.h"
#include "platform/XdgOpenShell.h"
#include "program/Program.h"
#include "schedule/RunCycle.h"

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
           "            schreibt die TAG-Kopien und markiert NEU, OK, NF, IOERROR oder\n"
           "            BUSY (Datei wird noch geschrieben).\n"
           "            Danach wird die Dateiliste tabulatorgetrennt ausgegeben\n"
           "            (eine Kopfzeile, dann eine Zeile je Datenzeile, zehn Spalten).\n"
           "            Exit-Code 0, wenn der Durchlauf lief; 1 mit dem Fehlertext auf\n"
           "            stderr, wenn ein Fehler ihn beendet hat oder der Temp-Ordner\n"
           "            nicht nutzbar ist; 3, wenn gerade ein anderer Lauf arbeitet.\n"
           "  run       Ein Lauf wie mit der Schaltfläche \"Start\": Einlesen, bei\n"
           "            Änderungen verbinden, senden, trennen, Statistik speichern.\n"
           "            Exit-Code 0, wenn der Lauf fertig ist und keine aktive Zeile mit\n"
           "            Error, NF, IOERROR oder BUSY endete (oder mangels Verbindung NEU\n"
           "            blieb); 2, wenn eine Zeile nicht gesendet wurde (BUSY: die Datei\n"
           "            wurde noch geschrieben, der nächste Lauf sendet sie) oder der\n"
           "            Server nicht erreichbar war; 3, wenn gerade ein anderer Lauf mit\n"
           "            demselben Temp-Ordner arbeitete (der Lauf wurde übersprungen).\n"
           "            Der Grund steht auf stderr (für cron und systemd).\n"
           "            Ist auf der Seite Tools der Screenshot \"Aktiv\", beginnt der Lauf\n"
           "            mit dem Screenshot; dafür muss DISPLAY einen Bildschirm nennen,\n"
           "            sonst endet der Lauf mit dem Fehlertext auf stderr (Exit-Code 2).\n"
           "  daemon    Läuft ohne Ende wie das Fenster mit \"Aktiv\": jede Sekunde ein\n"
           "            Timer-Schritt, Läufe im Intervall oder zu den festen Zeiten des\n"
           "            Wochenkalenders. SIGTERM oder SIGINT beenden wie \"Beenden\"\n"
           "            (eine laufende Übertragung darf noch bis zu 10 Sekunden fertig\n"
           "            werden; Statistik wird gespeichert, Exit-Code 0); SIGHUP lädt\n"
           "            Einstellungen und Kalender neu (wie \"Load Config\"). Meldungen\n"
           "            gehen ins Log und auf stderr. Exit-Code 1, wenn der Programmstart\n"
           "            scheiterte.\n"
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

// velora-cli prints every log line on standard output as well.
class StreamEcho final : public EventLog::Echo {
public:
    explicit StreamEcho(std::ostream& out) : out_(out) {}
    void echoLine(const std::string& line) override { out_ << line << '\n' << std::flush; }

private:
    std::ostream& out_;
};

// Puts the program together on the given services and the front end's UiHost, every
// log line echoed on `out`, and hands it to `command`. The screen is the one $DISPLAY
// names: a screen shot before a run needs it, and without one the run ends with an
// error that says so.
template <typename Command>
int onProgram(const Services& services, UiHost& ui, std::ostream& out, Command&& command) {
    X11Screen screen(services.env.get("DISPLAY"));
    XdgOpenShell shell;
    StreamEcho echo(out);
    Program program({services.env, services.clock, services.locale, ui, services.registryPath, services.systemInfo,
                     screen, shell, services.resolver, services.connector, services.icmpSockets});
    program.log().setEcho(&echo);
    return command(program);
}

}  // namespace

std::vector<std::string> rowsNotExported(const FileTable& files) {
    std::vector<std::string> out;
    for (int r = 1; r <= files.rowCount(); ++r) {
        if (!runsAsJa(files.cell(Aktiv, r))) continue;
        const std::string state = files.cell(Msg, r);
        // A file left for a later run because it was being written is not exported
        // by this one: a cron job must not read "everything due was sent".
        if (state == msg::kError || state == msg::kNotFound || state == msg::kIoError || state == msg::kBusy ||
            state == msg::kNeu)
            out.push_back("Zeile " + std::to_string(r) + ": " + state + " " + files.cell(Quelle, r));
    }
    return out;
}

int runPrepare(const RunParts& parts, std::ostream& out, std::ostream& err) {
    try {
        if (!parts.cycle.B_einlesenClick()) {
            err << parts.log.lines().back() << '\n';
            return parts.cycle.lockRefusal() == RunLock::Refusal::Busy ? kSkipped : kFailed;
        }
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        printFileTable(parts.files, out);
        return kFailed;
    }
    printFileTable(parts.files, out);
    return kOk;
}

int runRun(const RunParts& parts, std::ostream& err) {
    try {
        parts.cycle.B_StartClick();
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return kRunHadErrors;
    }
    switch (parts.cycle.lastOutcome()) {
    case RunOutcome::Skipped:
        err << "Lauf übersprungen: ein anderer Lauf arbeitet gerade mit " << parts.temp.path() << '\n';
        return kSkipped;
    case RunOutcome::Failed:
        err << parts.log.lines().back() << '\n';
        return kRunHadErrors;
    case RunOutcome::ServerUnreachable:
        err << "Server " << parts.settings.e_host_ziel << " nicht erreichbar: nichts gesendet\n";
        break;
    case RunOutcome::Done:
        break;
    }
    const auto missing = rowsNotExported(parts.files);
    for (const auto& line : missing) err << line << '\n';
    const bool reached = parts.cycle.lastOutcome() != RunOutcome::ServerUnreachable;
    return missing.empty() && reached ? kOk : kRunHadErrors;
}

int runDaemon(const Services& services, std::ostream& out, std::ostream& err) {
    // The signals become events before anything else exists.
    SystemSignals signals;
    DaemonUiHost ui(err);
    return onProgram(services, ui, out, [&](Program& program) {
        Daemon daemon(program, signals, services.clock, err);
        ui.attach(&daemon);
        const int code = daemon.run();
        ui.attach(nullptr);
        return code;
    });
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
    if (args.size() > 1 || (command != "prepare" && command != "run" && command != "daemon")) {
        err << "Unbekannter Befehl: " << command << "\n\n" << usage();
        return kFailed;
    }
    if (command == "daemon") return runDaemon(services, out, err);

    CliUiHost ui(err);
    return onProgram(services, ui, out, [&](Program& program) {
        if (!startUp(program, err)) return int{kFailed};
        const RunParts parts{program.runCycle(), program.files(), program.Memo1(), program.tempFolder(),
                             program.settings()};
        return command == "prepare" ? runPrepare(parts, out, err) : runRun(parts, err);
    });
}

int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    SystemEnvironment env;
    SystemClock clock;
    SystemNameResolver resolver;
    SystemTcpConnector connector;
    SystemIcmpSockets icmpSockets;
    return run(args, out, err,
               {env, clock, Locale::system(), Registry::defaultPath(), SystemInfo::fromSystem(), resolver, connector,
                icmpSockets});
}

}  // namespace velora::cli
