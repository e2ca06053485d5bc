#include "cli/RunRecord.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/PlannedRuns.h"
#include "platform/Errors.h"

namespace velora::cli {

namespace {

using nlohmann::json;

std::string remoteOf(const FileTable& files, int r) {
    std::string path = files.cell(FtpPfad, r);
    if (path.empty() || path.back() != '/') path += '/';
    return path + files.cell(FtpName, r);
}

// What the row sends: the tag-replaced copy when there is one, else the source itself
// (a pattern's match is not known here: its size stays unknown).
std::int64_t sizeOf(const FileTable& files, int r) {
    std::string path = files.cell(TmpQuelle, r);
    if (path.empty()) path = files.cell(Quelle, r);
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return -1;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

const char* outcomeText(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Done: return "done";
    case RunOutcome::ServerUnreachable: return "server unreachable";
    case RunOutcome::Skipped: return "skipped";
    case RunOutcome::Failed: return "failed";
    }
    return "failed";
}

std::string previousLastStored(const std::optional<RunRecord>& previous, const RowRecord& row) {
    if (!previous) return {};
    for (const RowRecord& p : previous->rows)
        if (p.source == row.source && p.remote == row.remote) return p.lastStored;
    return {};
}

}  // namespace

bool markFailed(const std::string& mark) {
    return mark == msg::kError || mark == msg::kNotFound || mark == msg::kIoError || mark == msg::kBusy ||
           mark == msg::kNeu;
}

int RunRecord::rowsFailed() const {
    int failed = 0;
    for (const RowRecord& r : rows) failed += r.failed ? 1 : 0;
    return failed;
}

RunRecord recordRun(const FileTable& files, const std::optional<RunRecord>& previous, RunOutcome outcome,
                    const std::string& serverText, const DateTime& started, const DateTime& finished,
                    const std::vector<std::string>& panels) {
    RunRecord record;
    record.started = stampText(started);
    record.finished = stampText(finished);
    record.outcome = outcomeText(outcome);
    record.panels = panels;
    // A run that could not use the scratch folder made nothing current.
    const bool nothingRan = outcome == RunOutcome::Failed;
    for (int r = 1; r <= files.rowCount(); ++r) {
        if (!runsAsJa(files.cell(Aktiv, r))) continue;
        RowRecord row;
        row.row = r;
        row.source = files.cell(Quelle, r);
        row.remote = remoteOf(files, r);
        row.mark = files.cell(Msg, r);
        row.size = sizeOf(files, r);
        row.failed = nothingRan || markFailed(row.mark);
        row.lastStored = row.failed ? previousLastStored(previous, row) : record.started;
        if (row.failed && record.firstError.empty()) {
            record.firstError = outcome == RunOutcome::ServerUnreachable && !serverText.empty()
                                    ? serverText
                                    : "Zeile " + std::to_string(r) + ": " + row.mark + " " + row.source;
        }
        record.rows.push_back(std::move(row));
    }
    return record;
}

std::optional<RunRecord> readRunRecord(Registry& registry) {
    if (!registry.keyExists(kRunRecordKey)) return std::nullopt;
    Registry::Key key = registry.openKeyReadOnly(kRunRecordKey);
    if (!key.valueExists(kRunRecordValue)) return std::nullopt;
    const std::string text = key.readString(kRunRecordValue);
    const json doc = json::parse(text, nullptr, false);
    const std::string unreadable = std::string("The record of the last run in ") + kRunRecordKey + " cannot be read";
    if (!doc.is_object() || !doc.contains("version") || doc["version"] != kRunRecordVersion)
        throw GeneralError(unreadable);
    try {
        RunRecord record;
        record.started = doc.at("started").get<std::string>();
        record.finished = doc.at("finished").get<std::string>();
        record.outcome = doc.at("outcome").get<std::string>();
        record.firstError = doc.at("first_error").get<std::string>();
        record.panels = doc.at("status_bar").get<std::vector<std::string>>();
        for (const json& r : doc.at("rows")) {
            RowRecord row;
            row.row = r.at("row").get<int>();
            row.source = r.at("source").get<std::string>();
            row.remote = r.at("remote").get<std::string>();
            row.mark = r.at("mark").get<std::string>();
            row.size = r.at("size").get<std::int64_t>();
            row.lastStored = r.at("last_stored").get<std::string>();
            row.failed = r.at("failed").get<bool>();
            record.rows.push_back(std::move(row));
        }
        return record;
    } catch (const json::exception&) {
        throw GeneralError(unreadable);
    }
}

void writeRunRecord(Registry& registry, const RunRecord& record) {
    json rows = json::array();
    for (const RowRecord& r : record.rows)
        rows.push_back({{"row", r.row},
                        {"source", r.source},
                        {"remote", r.remote},
                        {"mark", r.mark},
                        {"size", r.size},
                        {"last_stored", r.lastStored},
                        {"failed", r.failed}});
    const json doc = {{"version", kRunRecordVersion}, {"started", record.started},   {"finished", record.finished},
                      {"outcome", record.outcome},    {"first_error", record.firstError},
                      {"status_bar", record.panels},  {"rows", rows}};
    Registry::Key key = registry.openKey(kRunRecordKey);
    // A file name that is not UTF-8 shows its odd bytes as U+FFFD here; the program's
    // own values keep them.
    key.writeString(kRunRecordValue, doc.dump(-1, ' ', false, json::error_handler_t::replace));
}

}  // namespace velora::cli
