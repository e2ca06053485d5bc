#include "cli/ServiceWatch.h"

#include "cli/PlannedRuns.h"
#include "program/Program.h"

namespace velora::cli {

namespace {

// The rows a run still has to send: due ("NEU") or being sent.
int rowsDue(const FileTable& files) {
    int due = 0;
    for (int r = 1; r <= files.rowCount(); ++r) {
        const std::string state = files.cell(Msg, r);
        if (runsAsJa(files.cell(Aktiv, r)) && (state == msg::kNeu || state == msg::kSend)) ++due;
    }
    return due;
}

}  // namespace

ServiceWatch::ServiceWatch(ServiceNotifier& notifier, Program& program, const Clock& clock, AfterRun& afterRun)
    : notifier_(notifier), program_(program), clock_(clock), afterRun_(afterRun) {}

std::string ServiceWatch::statusText() {
    if (program_.runState().in_work) {
        if (storeNumber_ == 0) return "run in progress";
        return "exporting " + std::to_string(storeNumber_) + " of " + std::to_string(storesDue_) + " files";
    }
    const Settings& settings = program_.settings();
    if (!settings.cb_activ) return "timer off (Aktiv not checked)";
    const auto next =
        nextPlannedRun(settings, program_.calendar(), clock_.now(), program_.runState().IntervalCounter);
    if (!next) return "no minute marked in the calendar";
    return "next run " + clockText(*next);
}

void ServiceWatch::send(const std::string& lines) {
    if (!notifier_.active()) return;
    if (notifier_.send(lines)) {
        failureLogged_ = false;
        return;
    }
    // Said once until a message goes through again: the watchdog will say the rest.
    if (failureLogged_) return;
    failureLogged_ = true;
    program_.log().write("Service manager not reachable at NOTIFY_SOCKET: " + notifier_.lastError());
}

void ServiceWatch::started() {
    try {
        pidFile_ = std::make_unique<DaemonPidFile>(program_.tempFolder().path());
        if (!pidFile_->error().empty()) program_.log().write("Process id file: " + pidFile_->error());
    } catch (const std::exception& e) {
        program_.log().write(std::string("Process id file: ") + e.what());
    }
    lastStatus_ = statusText();
    send("READY=1\nSTATUS=" + lastStatus_);
}

void ServiceWatch::ticked() {
    if (!program_.runState().in_work) {
        storeNumber_ = 0;
        storesDue_ = 0;
    }
    std::string lines = "WATCHDOG=1";
    const std::string status = statusText();
    if (status != lastStatus_) {
        lastStatus_ = status;
        lines += "\nSTATUS=" + status;
    }
    send(lines);
}

void ServiceWatch::transferProgress(const TransferProgress& progress) {
    if (storeFinished_ || progress.name != storeName_) {
        if (storeNumber_ == 0) storesDue_ = rowsDue(program_.files());
        ++storeNumber_;
        if (storesDue_ < storeNumber_) storesDue_ = storeNumber_;
        storeName_ = progress.name;
    }
    storeFinished_ = progress.finished;
}

void ServiceWatch::runEnded(const DateTime& begun) {
    storeNumber_ = 0;
    storesDue_ = 0;
    afterRun_.runEnded(begun);
}

void ServiceWatch::stopping() {
    send("STOPPING=1\nSTATUS=stopping");
    if (pidFile_) pidFile_->release();
}

}  // namespace velora::cli
