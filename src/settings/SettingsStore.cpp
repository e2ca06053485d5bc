#include "settings/SettingsStore.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <type_traits>
#include <variant>
#include <vector>

namespace velora {

namespace {

static_assert(std::is_same_v<int, std::int32_t>, "window geometry and counters share one integer kind");

// Absurd stored widths (a damaged value) are kept within what a screen can show.
constexpr int kMaxColumnWidth = 10000;
// A damaged preset count must not make the load read values for ever.
constexpr int kMaxPresetLines = 1000;

// Two radio buttons of one group: checking one unchecks the other, unchecking one
// leaves the other as it is.
struct Radio {
    bool* self;
    bool* other;
};

enum class Load { IfPresent, Always };

struct Binding {
    const char* name;
    Load load;
    std::variant<bool*, Radio, SpinField*, std::string*, std::int32_t*, std::uint64_t*> target;
};

// The settings values in the order SaveConfig writes them.
std::vector<Binding> settingsValues(Settings& s, RunCounters& c) {
    const Load ifPresent = Load::IfPresent;
    const Load always = Load::Always;
    return {
        {"Autostart", ifPresent, &s.cb_activ},
        {"Ministart", ifPresent, &s.cb_mini_start},
        {"Intervall", ifPresent, &s.se_interval},
        {"TAGSFILE", ifPresent, &s.E_tags},
        {"USE_TAGSFILE", ifPresent, &s.cb_tag_datei},
        {"Modus_Intervall", ifPresent, Radio{&s.rb_intervall, &s.rb_feste_zeiten}},
        {"Modus_feste_Zeit", ifPresent, Radio{&s.rb_feste_zeiten, &s.rb_intervall}},
        {"Restart_Error_Soll", ifPresent, &s.RestartSeconds},
        {"Send_Files_ges", ifPresent, &c.Send_Files_ges},
        {"Send_Bytes_ges", ifPresent, &c.Send_Bytes_ges},
        {"Log_Datei", ifPresent, &s.E_logfile},
        {"Log_Datei_max_Line", ifPresent, &s.se_max_log_zeilen},
        {"Transfer_Log_Datei", ifPresent, &s.e_Transfer_Log},
        {"Form_Left", ifPresent, &s.window.left},
        {"Form_Top", ifPresent, &s.window.top},
        {"Form_Width", ifPresent, &s.window.width},
        {"Form_Height", ifPresent, &s.window.height},
        {"Proxy_use", ifPresent, &s.cb_proxy},
        {"Proxy_Passiv", ifPresent, &s.cb_passiv},
        {"Proxy_Host", always, &s.E_Host},
        {"Proxy_User", always, &s.E_User_name},
        {"Proxy_Pwd", always, &s.ME_Pasword},
        {"Proxy_Port", ifPresent, &s.E_ftp_Port},
        {"Proxy_Port_HTTP", ifPresent, &s.e_http_port},
        {"Login_Host", always, &s.e_host_ziel},
        {"Login_User", always, &s.e_user_ziel},
        {"Login_Pwd", always, &s.ME_pwd_ziel},
        {"Login_Ping_Test", ifPresent, &s.cb_ping},
        {"Get_Ext_IP", ifPresent, &s.cb_get_ext_ip},
        {"HTTP_Timeout", ifPresent, &s.se_timeout_http},
        {"Get_Ext_IP_WWW", ifPresent, &s.e_www_ext_ip},
    };
}

// The screen-shot values, written after the file table and the presets.
std::vector<Binding> screenshotValues(Settings& s) {
    return {
        {"T_SS_FileName", Load::IfPresent, &s.e_ss_file},
        {"T_SS_Qualitaet", Load::IfPresent, &s.se_ss_quali},
        {"T_SS_Grau", Load::IfPresent, &s.cb_ss_sw},
        {"T_SS_Activ", Load::IfPresent, &s.cb_ss_aktiv},
    };
}

// Values beyond the original design, written after everything else and read only
// when present, so an older store keeps the designed behaviour.
std::vector<Binding> extensionValues(Settings& s) {
    return {
        {"Datei_Ruhezeit", Load::IfPresent, &s.se_ruhezeit},
        {"Log_Rotate_KB", Load::IfPresent, &s.se_log_rotate},
    };
}

// Each stored row: the fixed column code in the value name and the column it holds,
// in the order SaveConfig writes them.
struct RowValue {
    const char* code;
    FileColumn column;
};
constexpr RowValue kRowValues[] = {
    {"1", Tag},   {"8", Aktiv}, {"2", Quelle}, {"7", FtpPfad},  {"3", FtpName},
    {"4", PsNeu}, {"5", PsAlt}, {"6", Msg},    {"9", TmpQuelle},
};

std::string rowValueName(const char* code, int row) {
    return std::string("Liste_") + code + "_" + std::to_string(row);
}

std::string presetName(int line) { return "m_ftp_pfad_" + std::to_string(line); }

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

void save(Registry::Key& key, const Binding& b) {
    std::visit(Overloaded{
                   [&](bool* v) { key.writeBool(b.name, *v); },
                   [&](Radio r) { key.writeBool(b.name, *r.self); },
                   [&](SpinField* f) { key.writeInteger(b.name, f->value()); },
                   [&](std::string* t) { key.writeString(b.name, *t); },
                   [&](std::int32_t* i) { key.writeInteger(b.name, *i); },
                   [&](std::uint64_t* q) { key.writeQword(b.name, *q); },
               },
               b.target);
}

void load(Registry::Key& key, const Binding& b) {
    if (b.load == Load::IfPresent && !key.valueExists(b.name)) return;
    std::visit(Overloaded{
                   [&](bool* v) { *v = key.readBool(b.name); },
                   [&](Radio r) {
                       const bool checked = key.readBool(b.name);
                       *r.self = checked;
                       if (checked) *r.other = false;
                   },
                   [&](SpinField* f) { f->setValue(key.readInteger(b.name)); },
                   [&](std::string* t) { *t = key.readString(b.name); },
                   [&](std::int32_t* i) { *i = key.readInteger(b.name); },
                   [&](std::uint64_t* q) { *q = key.readQword(b.name); },
               },
               b.target);
}

// Reads every stored row before the table is touched, so a failing value leaves the
// table as it was instead of half filled.
std::vector<FileTable::Row> readRows(Registry::Key& key, int dataRows) {
    static constexpr RowValue kLoadedColumns[] = {
        {"8", Aktiv}, {"1", Tag}, {"2", Quelle}, {"7", FtpPfad}, {"3", FtpName}, {"9", TmpQuelle},
    };
    std::vector<FileTable::Row> rows(static_cast<std::size_t>(dataRows));
    for (int r = 1; r <= dataRows; ++r) {
        FileTable::Row& row = rows[static_cast<std::size_t>(r - 1)];
        row[Nr] = std::to_string(r);
        for (const RowValue& v : kLoadedColumns) row[v.column] = key.readString(rowValueName(v.code, r));
        // Checksums start afresh so the next pass sends every active row.
        row[PsNeu] = kNotSent;
        row[PsAlt] = kNotSent;
        row[Msg] = "";
        if (row[Tag] == kTagUnchosen) row[Tag] = kNo;
    }
    return rows;
}

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

void SettingsStore::SaveConfig() {
    if (hooks_) hooks_->beforeSave();
    Registry::Key key = registry_.openKey(kSettingsKey);
    mergeRunCounters(key, false);
    for (const Binding& b : settingsValues(settings_, counters_)) save(key, b);

    for (int k = 0; k < kFileColumns; ++k) key.writeInteger("Breite_" + std::to_string(k), table_.columnWidth(k));

    const int rows = table_.rowCount();
    for (int r = 1; r <= rows; ++r) {
        for (const RowValue& v : kRowValues) key.writeString(rowValueName(v.code, r), table_.cell(v.column, r));
    }
    key.writeInteger("Liste_row_count", rows + 1);

    const std::vector<std::string> presets = settings_.m_ftp_pfad;
    for (std::size_t i = 0; i < presets.size(); ++i) key.writeString(presetName(static_cast<int>(i)), presets[i]);
    key.writeInteger("m_ftp_pfad_count", static_cast<std::int32_t>(presets.size()));

    for (const Binding& b : screenshotValues(settings_)) save(key, b);
    for (const Binding& b : extensionValues(settings_)) save(key, b);
    key.close();
    logStoreModeChanges(registry_, log_);
    log_("Save Config ");
}

void SettingsStore::LoadConfig() {
    if (!registry_.keyExists(kSettingsKey)) SaveConfig();
    Registry::Key key = registry_.openKey(kSettingsKey);
    for (const Binding& b : settingsValues(settings_, counters_)) load(key, b);
    for (const CounterField& f : counterFields(stored_, false)) readStored(key, f);

    for (int k = 0; k < kFileColumns; ++k) {
        const std::string name = "Breite_" + std::to_string(k);
        if (key.valueExists(name)) table_.setColumnWidth(k, std::clamp(key.readInteger(name), 0, kMaxColumnWidth));
    }

    // The count includes the header row; a damaged count is kept within what the
    // table can hold.
    const int rowCount = std::clamp(key.readInteger("Liste_row_count"), 1, kMaxFileRows + 1);
    std::vector<FileTable::Row> rows = readRows(key, rowCount - 1);
    table_.setRowCount(rowCount - 1);
    for (int r = 1; r <= rowCount - 1; ++r) table_.setRow(r, rows[static_cast<std::size_t>(r - 1)]);

    if (key.valueExists("m_ftp_pfad_count")) {
        const int count = std::clamp(key.readInteger("m_ftp_pfad_count"), 0, kMaxPresetLines);
        std::vector<std::string> lines;
        lines.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) lines.push_back(key.readString(presetName(i)));
        settings_.m_ftp_pfad = std::move(lines);
    }

    for (const Binding& b : screenshotValues(settings_)) load(key, b);

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
    for (const Binding& b : extensionValues(settings_)) load(key, b);
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
