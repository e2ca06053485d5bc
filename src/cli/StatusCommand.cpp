#include "cli/StatusCommand.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/CliCommands.h"
#include "cli/PlannedRuns.h"
#include "cli/StatusReport.h"

namespace velora::cli {

namespace {

using nlohmann::json;

const char* const kHealthWords[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

struct StatusArgs {
    bool json = false;
    bool check = false;
    std::optional<std::int64_t> maxAge;
    std::string error;
};

StatusArgs parse(const std::vector<std::string>& args) {
    StatusArgs a;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json") {
            a.json = true;
        } else if (args[i] == "--check") {
            a.check = true;
        } else if (args[i] == "--max-age" && i + 1 < args.size()) {
            a.maxAge = parseDuration(args[++i]);
            if (!a.maxAge) a.error = "--max-age takes a duration such as 30m, 2h, 90s or 1d: " + args[i];
        } else {
            a.error = "Unknown argument of status: " + args[i];
        }
    }
    if (a.json && a.check) a.error = "--json and --check exclude each other";
    return a;
}

std::string daemonText(const DaemonProbe& d) {
    switch (d.state) {
    case DaemonProbe::Running: return "running (process " + std::to_string(d.pid) + ")";
    case DaemonProbe::Stale:
        return "not running (process " + std::to_string(d.pid) + " ended without removing its process id file)";
    case DaemonProbe::Unknown: return "unknown: " + d.detail;
    case DaemonProbe::NotRunning: break;
    }
    return "not running";
}

std::string scheduleText(const StatusReport& r) {
    if (!r.settings.cb_activ) return "off (\"Aktiv\" not checked)";
    if (r.fixedTimes) return "fixed times (\"feste Zeiten\", the weekly calendar)";
    return "interval, every " + std::to_string(r.settings.se_interval.value()) + " s";
}

std::string limitText(const StatusReport& r) {
    std::string text = durationText(r.limitSeconds);
    if (!r.limitGiven) text += " (" + std::to_string(kLatePlannedRuns) + " planned runs)";
    return text;
}

void printText(const StatusReport& r, std::ostream& out) {
    out << "Settings store: " << r.storePath << '\n';
    out << "Daemon:         " << daemonText(r.daemon) << '\n';
    out << "Schedule:       " << scheduleText(r) << '\n';
    out << "Next run:       " << (r.nextRun ? stampText(*r.nextRun) : "none planned") << '\n';
    if (!r.lastRun) {
        out << "Last run:       none recorded yet\n";
    } else {
        out << "Last run:       started " << r.lastRun->started << ", ended " << r.lastRun->finished << ", "
            << r.lastRun->outcome << '\n';
        if (!r.lastRun->firstError.empty()) out << "First error:    " << r.lastRun->firstError << '\n';
        out << "Status bar:    ";
        for (const std::string& p : r.lastRun->panels)
            if (!p.empty()) out << " [" << p << ']';
        out << '\n';
    }
    out << "Totals:         " << static_cast<std::uint32_t>(r.counters.Send_Files_ges) << " files, "
        << r.counters.Send_Bytes_ges << " bytes\n";
    out << "Late after:     " << limitText(r) << '\n';
    if (!r.rows.empty()) out << "Rows (Nr, MSG, size, last stored, Quelle -> remote):\n";
    for (const RowStatus& s : r.rows) {
        out << "  " << s.row.row << '\t' << s.row.mark << '\t'
            << (s.row.size < 0 ? std::string("?") : std::to_string(s.row.size) + " B") << '\t'
            << (s.row.lastStored.empty() ? std::string("never") : s.row.lastStored) << '\t' << s.row.source
            << " -> " << s.row.remote << (s.late ? "\tLATE" : "") << '\n';
    }
    int late = 0;
    for (const RowStatus& s : r.rows) late += s.late ? 1 : 0;
    if (late) out << "Late rows:      " << late << " not stored for more than " << limitText(r) << '\n';
    out << "Health:         " << kHealthWords[static_cast<int>(r.health)] << ": " << r.healthText << '\n';
}

json stampOrNull(const std::string& stamp) { return stamp.empty() ? json(nullptr) : json(stamp); }

void printJson(const StatusReport& r, std::ostream& out) {
    json rows = json::array();
    json late = json::array();
    for (const RowStatus& s : r.rows) {
        json row = {{"row", s.row.row},
                    {"source", s.row.source},
                    {"remote", s.row.remote},
                    {"mark", s.row.mark},
                    {"size", s.row.size < 0 ? json(nullptr) : json(s.row.size)},
                    {"last_stored", stampOrNull(s.row.lastStored)},
                    {"failed_last_run", s.row.failed},
                    {"late", s.late}};
        if (s.late) late.push_back(s.row.row);
        rows.push_back(std::move(row));
    }
    json lastRun = nullptr;
    if (r.lastRun)
        lastRun = {{"started", r.lastRun->started},
                   {"finished", r.lastRun->finished},
                   {"outcome", r.lastRun->outcome},
                   {"first_error", stampOrNull(r.lastRun->firstError)},
                   {"status_bar", r.lastRun->panels}};
    const json doc = {
        {"format_version", kStatusFormatVersion},
        {"store", r.storePath},
        {"daemon",
         {{"running", r.daemon.state == DaemonProbe::Running},
          {"pid", r.daemon.pid > 0 && r.daemon.state != DaemonProbe::NotRunning ? json(r.daemon.pid) : json(nullptr)},
          {"stale_pid_file", r.daemon.state == DaemonProbe::Stale}}},
        {"schedule",
         {{"active", r.settings.cb_activ},
          {"mode", r.fixedTimes ? "fixed times" : "interval"},
          {"interval_seconds", r.settings.se_interval.value()},
          {"next_run", r.nextRun ? json(stampText(*r.nextRun)) : json(nullptr)}}},
        {"last_run", lastRun},
        {"counters",
         {{"files_total", static_cast<std::uint32_t>(r.counters.Send_Files_ges)},
          {"bytes_total", r.counters.Send_Bytes_ges}}},
        {"late_after_seconds", r.limitSeconds},
        {"rows", rows},
        {"late_rows", late},
        {"health",
         {{"code", static_cast<int>(r.health)},
          {"state", kHealthWords[static_cast<int>(r.health)]},
          {"text", r.healthText}}},
    };
    out << doc.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

}  // namespace

std::string statusHelp() {
    return "Usage: velora-cli status [--json | --check] [--max-age DURATION]\n"
           "\n"
           "How the unattended export is doing, read from the settings store without\n"
           "starting the program: whether a daemon runs (its process id), the schedule and\n"
           "the next planned run, the last run (begun, ended, how), the status bar, and\n"
           "per active row its MSG, size and the last time it was stored successfully.\n"
           "A row is late when it has not been stored for more than three planned runs, or\n"
           "for more than --max-age (30m, 2h, 90s, 1d).\n"
           "\n"
           "--json    the same as one JSON document (\"format_version\": 1)\n"
           "--check   one line for a monitoring system, and its exit code: 0 every active\n"
           "          row stored within the limit; 1 some rows late; 2 no successful run\n"
           "          within the limit, or no daemon running; 3 the state cannot be read.\n"
           "\n"
           "Without --check: exit code 0, or 1 when the state cannot be read.\n";
}

int runStatus(const std::vector<std::string>& args, const AdminServices& services, std::ostream& out,
              std::ostream& err) {
    const StatusArgs a = parse(args);
    if (!a.error.empty()) {
        if (a.check) {
            out << "VELORA UNKNOWN: " << a.error << '\n';
            return static_cast<int>(Health::Unknown);
        }
        err << a.error << "\n\n" << statusHelp();
        return kFailed;
    }
    const StatusReport r = readStatus(services, a.maxAge);
    if (a.check) {
        out << "VELORA " << kHealthWords[static_cast<int>(r.health)] << ": " << r.healthText << '\n';
        return static_cast<int>(r.health);
    }
    if (!r.error.empty()) {
        err << r.error << '\n';
        if (!a.json) return kFailed;
    }
    if (a.json) {
        printJson(r, out);
    } else {
        printText(r, out);
    }
    return r.error.empty() ? kOk : kFailed;
}

}  // namespace velora::cli
