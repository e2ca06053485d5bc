#include "cli/CliCommands.h"

#include <iostream>
#include <ostream>
#include <unistd.h>

#include "cli/AdminCommands.h"
#include "cli/CliUiHost.h"
#include "cli/Daemon.h"
#include "cli/FailureHook.h"
#include "cli/Help.h"
#include "cli/RunAftermath.h"
#include "cli/RunCommand.h"
#include "cli/StatusCommand.h"
#include "platform/Errors.h"
#include "platform/X11Screen.h"
#include "platform/XdgOpenShell.h"
#include "program/Program.h"
#include "schedule/RunCycle.h"

namespace velora::cli {

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

// Standard error of this process, and a terminal.
bool isTerminal(const std::ostream& err) { return &err == &std::cerr && ::isatty(STDERR_FILENO) == 1; }

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

// velora-cli prints every log line on standard output as well, after taking a progress
// line on the terminal away so the two never mix.
class StreamEcho final : public EventLog::Echo {
public:
    StreamEcho(std::ostream& out, ProgressLine* progress) : out_(out), progress_(progress) {}
    void echoLine(const std::string& line) override {
        if (progress_) progress_->clear();
        out_ << line << '\n' << std::flush;
    }

private:
    std::ostream& out_;
    ProgressLine* progress_;
};

// Puts the program together on the given services and the front end's UiHost, every
// log line echoed on `out`, and hands it to `command`. The screen is the one $DISPLAY
// names: a screen shot before a run needs it, and without one the run ends with an
// error that says so.
template <typename Command>
int onProgram(const Services& services, UiHost& ui, std::ostream& out, Command&& command,
              ProgressLine* progress = nullptr) {
    X11Screen screen(services.env.get("DISPLAY"));
    XdgOpenShell shell;
    StreamEcho echo(out, progress);
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
        ServiceNotifier notifier(services.env.get("NOTIFY_SOCKET"));
        FailureHook hook(program.log(), processEnvironment());
        RunAftermath aftermath(program, services.clock, hook);
        ServiceWatch watch(notifier, program, services.clock, aftermath);
        daemon.setObserver(&watch);
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
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h") && !commandHelp(command).empty()) {
        out << commandHelp(command);
        return kOk;
    }
    if (command == "status")
        return runStatus(args, {services.env, services.clock, services.locale, services.registryPath}, out, err);
    if (isAdminCommand(command))
        return runAdminCommand(args, {services.env, services.clock, services.locale, services.registryPath}, out, err);
    const bool all = command == "run" && args.size() == 2 && args[1] == "--all";
    if ((args.size() > 1 && !all) || (command != "prepare" && command != "run" && command != "daemon")) {
        err << "Unbekannter Befehl: " << command << "\n\n" << usage();
        return kFailed;
    }
    if (command == "daemon") return runDaemon(services, out, err);

    // On a terminal, run shows each store's progress on standard error, below the log lines.
    ProgressLine progress(err, services.clock);
    CliUiHost ui(err);
    if (command == "run" && isTerminal(err)) ui.showProgressOn(&progress);
    return onProgram(
        services, ui, out,
        [&](Program& program) {
            const RunParts parts{program.runCycle(), program.files(), program.Memo1(), program.tempFolder(),
                                 program.settings()};
            if (command == "prepare") return startUp(program, err) ? runPrepare(parts, out, err) : int{kFailed};
            const DateTime begun = services.clock.now();
            // The start-up loads the settings, and with them what the rows last sent.
            const int code =
                runRemembering({program.registry(), program.store(), program.files(), program.settings()}, all,
                               [&] { return startUp(program, err) ? runRun(parts, err) : int{kFailed}; },
                               [&] { return program.timerEnabled(); });
            if (program.timerEnabled()) {
                FailureHook hook(program.log(), processEnvironment());
                RunAftermath(program, services.clock, hook).runEnded(begun);
            }
            return code;
        },
        &progress);
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
