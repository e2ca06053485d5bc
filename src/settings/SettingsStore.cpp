#include "settings/SettingsStore.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace velora {

namespace {

static_assert(std::is_same_v<int, std::int32_t>, "window geometry and counters share one integer kind");

// Absurd stored widths (a damaged value) are kept within what a screen can show.
constexpr int kMaxColumnWidth = 10000;
// A damaged preset count must not make the load read values for ever.
constexpr int kMaxPresetLines = 1000;

void saveGroup(Registry::Key& key, SettingGroup group, Settings& s, RunCounters& c) {
    for (const SettingDef& def : settingsTable())
        if (def.group == group) saveSetting(key, def, s, c);
}

void loadGroup(Registry::Key& key, SettingGroup group, Settings& s, RunCounters& c) {
    for (const SettingDef& def : settingsTable())
        if (def.group == group) loadSetting(key, def, s, c);
}

std::string presetName(int line) { return "m_ftp_pfad_" + std::to_string(line); }

}  // namespace

namespace {

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

}  // namespace

void logStoreModeChanges(Registry& registry, EventLog& log) {
    for (const Registry::ModeChange& c : registry.takeModeChanges())
        log.write("Registry -> " + c.file + " = Rechte " + octal(c.before) + " auf " + octal(c.after) + " gesetzt");
}

SettingsStore::SettingsStore(Registry& registry, Settings& settings, FileTable& table, RunCounters& counters,
                             const TempFolder& temp, EventLog& log, UiHost& ui)
    : registry_(registry), settings_(settings), table_(table), counters_(counters), temp_(temp), log_(log), ui_(ui) {}

namespace {

// Every counter with its value name, pointing into one RunCounters: a 32-bit count or
// the 64-bit byte total.
struct CounterField {
    std::string name;
    std::int32_t* count = nullptr;
    std::uint64_t* total = nullptr;
};

std::vector<CounterField> counterFields(RunCounters& c, bool weekdaysToo) {
    std::vector<CounterField> fields{{"Send_Files_ges", &c.Send_Files_ges, nullptr},
                                     {"Send_Bytes_ges", nullptr, &c.Send_Bytes_ges}};
    for (int d = 1; weekdaysToo && d <= 7; ++d) {
        const auto i = static_cast<std::size_t>(d);
        fields.push_back({"Send_Files_" + std::to_string(d), &c.filesPerWeekday[i], nullptr});
        fields.push_back({"Send_Bytes_" + std::to_string(d), &c.bytesPerWeekday[i], nullptr});
    }
    return fields;
}

std::int32_t wrapping(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

// What the store holds for a counter; a missing one counts as 0.
void readStored(Registry::Key& key, const CounterField& f) {
    const bool present = key.valueExists(f.name);
    if (f.total != nullptr) *f.total = present ? key.readQword(f.name) : 0;
    if (f.count != nullptr) *f.count = present ? key.readInteger(f.name) : 0;
}

void writeStored(Registry::Key& key, const CounterField& f) {
    if (f.total != nullptr) key.writeQword(f.name, *f.total);
    if (f.count != nullptr) key.writeInteger(f.name, *f.count);
}

}  // namespace

void SettingsStore::mergeRunCounters(Registry::Key& key, bool weekdaysToo) {
    const auto mine = counterFields(counters_, weekdaysToo);
    const auto base = counterFields(stored_, weekdaysToo);
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const std::string& name = mine[i].name;
        const bool present = key.valueExists(name);
        if (mine[i].total != nullptr) {
            // Unsigned arithmetic: what was counted here is added modulo 2^64.
            const std::uint64_t merged = (present ? key.readQword(name) : 0) + (*mine[i].total - *base[i].total);
            *mine[i].total = merged;
            *base[i].total = merged;
            continue;
        }
        const std::int64_t inStore = present ? key.readInteger(name) : 0;
        const std::int64_t countedHere = static_cast<std::int64_t>(*mine[i].count) - *base[i].count;
        const std::int32_t merged = wrapping(inStore + countedHere);
        *mine[i].count = merged;
        *base[i].count = merged;
    }
}

void SettingsStore::writeConfig(Registry::Key& key, Settings& settings, const FileTable& table,
                                RunCounters& counters) {
    saveGroup(key, SettingGroup::Main, settings, counters);

    for (int k = 0; k < kFileColumns; ++k) key.writeInteger("Breite_" + std::to_string(k), table.columnWidth(k));

    writeStoredRows(key, table.rows());

    const std::vector<std::string> presets = settings.m_ftp_pfad;
    for (std::size_t i = 0; i < presets.size(); ++i) key.writeString(presetName(static_cast<int>(i)), presets[i]);
    key.writeInteger("m_ftp_pfad_count", static_cast<std::int32_t>(presets.size()));

    saveGroup(key, SettingGroup::Screenshot, settings, counters);
    saveGroup(key, SettingGroup::Extension, settings, counters);
}

void SettingsStore::SaveConfig() {
    if (hooks_) hooks_->beforeSave();
    Registry::Key key = registry_.openKey(kSettingsKey);
    mergeRunCounters(key, false);
    writeConfig(key, settings_, table_, counters_);
    key.close();
    logStoreModeChanges(registry_, log_);
    log_("Save Config ");
}

void SettingsStore::LoadConfig() {
    if (!registry_.keyExists(kSettingsKey)) SaveConfig();
    Registry::Key key = registry_.openKey(kSettingsKey);
    loadGroup(key, SettingGroup::Main, settings_, counters_);
    for (const CounterField& f : counterFields(stored_, false)) readStored(key, f);

    for (int k = 0; k < kFileColumns; ++k) {
        const std::string name = "Breite_" + std::to_string(k);
        if (key.valueExists(name)) table_.setColumnWidth(k, std::clamp(key.readInteger(name), 0, kMaxColumnWidth));
    }

    // A damaged count is kept within what the table can hold.
    const int dataRows = storedRowCount(key);
    std::vector<FileTable::Row> rows = readRowsAsLoaded(key, dataRows);
    table_.setRowCount(dataRows);
    for (int r = 1; r <= dataRows; ++r) table_.setRow(r, rows[static_cast<std::size_t>(r - 1)]);

    if (key.valueExists("m_ftp_pfad_count")) {
        const int count = std::clamp(key.readInteger("m_ftp_pfad_count"), 0, kMaxPresetLines);
        std::vector<std::string> lines;
        lines.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) lines.push_back(key.readString(presetName(i)));
        settings_.m_ftp_pfad = std::move(lines);
    }

    loadGroup(key, SettingGroup::Screenshot, settings_, counters_);

    for (int d = 1; d <= 7; ++d) {
        const std::string files = "Send_Files_" + std::to_string(d);
        if (!key.valueExists(files)) continue;
        const std::string bytes = "Send_Bytes_" + std::to_string(d);
        counters_.filesPerWeekday[static_cast<std::size_t>(d)] = key.readInteger(files);
        // A byte counter lost on its own counts as nothing sent rather than ending the load.
        counters_.bytesPerWeekday[static_cast<std::size_t>(d)] = key.valueExists(bytes) ? key.readInteger(bytes) : 0;
        stored_.filesPerWeekday[static_cast<std::size_t>(d)] = counters_.filesPerWeekday[static_cast<std::size_t>(d)];
        stored_.bytesPerWeekday[static_cast<std::size_t>(d)] = counters_.bytesPerWeekday[static_cast<std::size_t>(d)];
    }
    // Last, so a damaged new value cannot keep any designed one from loading.
    loadGroup(key, SettingGroup::Extension, settings_, counters_);
    key.close();
    logStoreModeChanges(registry_, log_);
    repairTmpQuelle();
    log_("Load Config");
    if (hooks_) hooks_->afterLoad();
    if (settings_.cb_mini_start) ui_.hideToTray();
}

void SettingsStore::SaveRunCounters() {
    Registry::Key key = registry_.openKey(kSettingsKey);
    mergeRunCounters(key, true);
    for (const CounterField& f : counterFields(counters_, true)) writeStored(key, f);
    key.close();
    logStoreModeChanges(registry_, log_);
}

// Names in "tmp-Quelle" that would send the wrong bytes: a copy in the old folder
// every account could write to, or in a scratch folder not in use (an earlier
// process's private one, or the usual one another account took); a plain row still
// naming a tag copy (its "TAG" was switched off); and a copy shared by two rows, one
// of which would send the other's page. The next pass gives each a right one.
void SettingsStore::repairTmpQuelle() {
    const std::string former = temp_.formerSharedPath() + "/";
    for (int r = 1; r <= table_.rowCount(); ++r) {
        const std::string name = table_.cell(TmpQuelle, r);
        if (name.empty()) continue;
        const bool inFormer = name.compare(0, former.size(), former) == 0;
        const bool staleCopy = !runsAsJa(table_.cell(Tag, r)) && temp_.contains(name);
        bool shared = false;
        for (int earlier = 1; earlier < r && !shared; ++earlier) shared = table_.cell(TmpQuelle, earlier) == name;
        if (inFormer || staleCopy || (shared && temp_.contains(name)) || temp_.inOtherScratchFolder(name))
            table_.setCell(TmpQuelle, r, "");
    }
}

}  // namespace velora
