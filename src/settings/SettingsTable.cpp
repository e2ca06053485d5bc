#include "settings/SettingsTable.h"

#include <algorithm>
#include <charconv>
#include <climits>

namespace velora {

namespace {

constexpr std::int64_t kCounterMax = 4294967295LL;
// Typed totals stop at the largest number a signed parse takes; the store itself holds
// up to 2^64-1.
constexpr std::int64_t kTotalMax = INT64_MAX;
constexpr std::int64_t kIntMin = INT32_MIN;
constexpr std::int64_t kIntMax = INT32_MAX;

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// The entries' targets: one small function each, so the table stays data.
#define VELORA_FIELD(expr) [](Settings& s, RunCounters& c) -> SettingTarget { (void)s; (void)c; return expr; }

const std::vector<SettingDef> kTable = [] {
    using K = ValueKind;
    using G = SettingGroup;
    const Load ifPresent = Load::IfPresent;
    const Load always = Load::Always;
    std::vector<SettingDef> t{
        {"Autostart", K::Truth, ifPresent, G::Main, "Settings::cb_activ", 0, 1, VELORA_FIELD(&s.cb_activ)},
        {"Ministart", K::Truth, ifPresent, G::Main, "Settings::cb_mini_start", 0, 1, VELORA_FIELD(&s.cb_mini_start)},
        {"Intervall", K::Integer, ifPresent, G::Main, "Settings::se_interval", 0, 0, VELORA_FIELD(&s.se_interval)},
        {"TAGSFILE", K::Text, ifPresent, G::Main, "Settings::E_tags", 0, 0, VELORA_FIELD(&s.E_tags)},
        {"USE_TAGSFILE", K::Truth, ifPresent, G::Main, "Settings::cb_tag_datei", 0, 1, VELORA_FIELD(&s.cb_tag_datei)},
        {"Modus_Intervall", K::Truth, ifPresent, G::Main, "Settings::rb_intervall", 0, 1,
         VELORA_FIELD((Radio{&s.rb_intervall, &s.rb_feste_zeiten})), "Modus_feste_Zeit"},
        {"Modus_feste_Zeit", K::Truth, ifPresent, G::Main, "Settings::rb_feste_zeiten", 0, 1,
         VELORA_FIELD((Radio{&s.rb_feste_zeiten, &s.rb_intervall})), "Modus_Intervall"},
        // The load feeds the variable only; the field se_restart gives the range.
        {"Restart_Error_Soll", K::Integer, ifPresent, G::Main, "Settings::RestartSeconds", 10, 3601,
         VELORA_FIELD(&s.RestartSeconds)},
        {"Send_Files_ges", K::Counter, ifPresent, G::Main, "RunCounters::Send_Files_ges", 0, kCounterMax,
         VELORA_FIELD(&c.Send_Files_ges)},
        {"Send_Bytes_ges", K::Total, ifPresent, G::Main, "RunCounters::Send_Bytes_ges", 0, kTotalMax,
         VELORA_FIELD(&c.Send_Bytes_ges)},
        {"Log_Datei", K::Text, ifPresent, G::Main, "Settings::E_logfile", 0, 0, VELORA_FIELD(&s.E_logfile)},
        {"Log_Datei_max_Line", K::Integer, ifPresent, G::Main, "Settings::se_max_log_zeilen", 0, 0,
         VELORA_FIELD(&s.se_max_log_zeilen)},
        {"Transfer_Log_Datei", K::Text, ifPresent, G::Main, "Settings::e_Transfer_Log", 0, 0,
         VELORA_FIELD(&s.e_Transfer_Log)},
        {"Form_Left", K::Integer, ifPresent, G::Main, "Settings::window.left", kIntMin, kIntMax,
         VELORA_FIELD(&s.window.left)},
        {"Form_Top", K::Integer, ifPresent, G::Main, "Settings::window.top", kIntMin, kIntMax,
         VELORA_FIELD(&s.window.top)},
        {"Form_Width", K::Integer, ifPresent, G::Main, "Settings::window.width", kIntMin, kIntMax,
         VELORA_FIELD(&s.window.width)},
        {"Form_Height", K::Integer, ifPresent, G::Main, "Settings::window.height", kIntMin, kIntMax,
         VELORA_FIELD(&s.window.height)},
        {"Proxy_use", K::Truth, ifPresent, G::Main, "Settings::cb_proxy", 0, 1, VELORA_FIELD(&s.cb_proxy)},
        {"Proxy_Passiv", K::Truth, ifPresent, G::Main, "Settings::cb_passiv", 0, 1, VELORA_FIELD(&s.cb_passiv)},
        {"Proxy_Host", K::Text, always, G::Main, "Settings::E_Host", 0, 0, VELORA_FIELD(&s.E_Host)},
        {"Proxy_User", K::Text, always, G::Main, "Settings::E_User_name", 0, 0, VELORA_FIELD(&s.E_User_name)},
        {"Proxy_Pwd", K::Password, always, G::Main, "Settings::ME_Pasword", 0, 0, VELORA_FIELD(&s.ME_Pasword)},
        {"Proxy_Port", K::Text, ifPresent, G::Main, "Settings::E_ftp_Port", 0, 0, VELORA_FIELD(&s.E_ftp_Port)},
        {"Proxy_Port_HTTP", K::Text, ifPresent, G::Main, "Settings::e_http_port", 0, 0,
         VELORA_FIELD(&s.e_http_port)},
        {"Login_Host", K::Text, always, G::Main, "Settings::e_host_ziel", 0, 0, VELORA_FIELD(&s.e_host_ziel)},
        {"Login_User", K::Text, always, G::Main, "Settings::e_user_ziel", 0, 0, VELORA_FIELD(&s.e_user_ziel)},
        {"Login_Pwd", K::Password, always, G::Main, "Settings::ME_pwd_ziel", 0, 0, VELORA_FIELD(&s.ME_pwd_ziel)},
        {"Login_Ping_Test", K::Truth, ifPresent, G::Main, "Settings::cb_ping", 0, 1, VELORA_FIELD(&s.cb_ping)},
        {"Get_Ext_IP", K::Truth, ifPresent, G::Main, "Settings::cb_get_ext_ip", 0, 1, VELORA_FIELD(&s.cb_get_ext_ip)},
        {"HTTP_Timeout", K::Integer, ifPresent, G::Main, "Settings::se_timeout_http", 0, 0,
         VELORA_FIELD(&s.se_timeout_http)},
        {"Get_Ext_IP_WWW", K::Text, ifPresent, G::Main, "Settings::e_www_ext_ip", 0, 0,
         VELORA_FIELD(&s.e_www_ext_ip)},
        {"T_SS_FileName", K::Text, ifPresent, G::Screenshot, "Settings::e_ss_file", 0, 0, VELORA_FIELD(&s.e_ss_file)},
        {"T_SS_Qualitaet", K::Integer, ifPresent, G::Screenshot, "Settings::se_ss_quali", 0, 0,
         VELORA_FIELD(&s.se_ss_quali)},
        {"T_SS_Grau", K::Truth, ifPresent, G::Screenshot, "Settings::cb_ss_sw", 0, 1, VELORA_FIELD(&s.cb_ss_sw)},
        {"T_SS_Activ", K::Truth, ifPresent, G::Screenshot, "Settings::cb_ss_aktiv", 0, 1, VELORA_FIELD(&s.cb_ss_aktiv)},
        {"Datei_Ruhezeit", K::Integer, ifPresent, G::Extension, "Settings::se_ruhezeit", 0, 0,
         VELORA_FIELD(&s.se_ruhezeit)},
        {"Log_Rotate_KB", K::Integer, ifPresent, G::Extension, "Settings::se_log_rotate", 0, 0,
         VELORA_FIELD(&s.se_log_rotate)},
        {"On_Error_Command", K::Text, ifPresent, G::Extension, "Settings::e_on_error_command", 0, 0,
         VELORA_FIELD(&s.e_on_error_command)},
        {"FTP_TLS", K::Truth, ifPresent, G::Extension, "Settings::cb_ftp_tls", 0, 1, VELORA_FIELD(&s.cb_ftp_tls)},
        {"FTP_TLS_Fingerprint", K::Text, ifPresent, G::Extension, "Settings::e_tls_fingerprint", 0, 0,
         VELORA_FIELD(&s.e_tls_fingerprint)},
        {"Upload_Temp_Rename", K::Truth, ifPresent, G::Extension, "Settings::cb_temp_rename", 0, 1,
         VELORA_FIELD(&s.cb_temp_rename)},
        {"SFTP", K::Truth, ifPresent, G::Extension, "Settings::cb_sftp", 0, 1, VELORA_FIELD(&s.cb_sftp)},
        {"SFTP_Port", K::Integer, ifPresent, G::Extension, "Settings::se_sftp_port", 0, 0,
         VELORA_FIELD(&s.se_sftp_port)},
        {"SFTP_HostKey", K::Text, ifPresent, G::Extension, "Settings::e_sftp_hostkey", 0, 0,
         VELORA_FIELD(&s.e_sftp_hostkey)},
        {"SFTP_KeyFile", K::Text, ifPresent, G::Extension, "Settings::e_sftp_keyfile", 0, 0,
         VELORA_FIELD(&s.e_sftp_keyfile)},
    };
    return t;
}();

#undef VELORA_FIELD

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(const std::string& s) {
    std::string out = s;
    std::transform(out.begin(), out.end(), out.begin(), lowerAscii);
    return out;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t replace = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, replace});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// The spin field behind an entry, if it has one (its range is the control's own).
const SpinField* spinOf(const SettingDef& def) {
    static Settings sample;
    static RunCounters counters;
    const SettingTarget target = def.target(sample, counters);
    const auto* spin = std::get_if<SpinField*>(&target);
    return spin ? *spin : nullptr;
}

bool isNumberKind(ValueKind k) {
    return k == ValueKind::Truth || k == ValueKind::Integer || k == ValueKind::Counter || k == ValueKind::Total;
}

std::optional<std::int64_t> parseWhole(const std::string& text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    std::int64_t number = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [stop, error] = std::from_chars(first, last, number);
    if (error != std::errc() || stop != last) return std::nullopt;
    return number;
}

}  // namespace

std::int64_t SettingDef::lowest() const {
    const SpinField* spin = spinOf(*this);
    return spin ? spin->minimum : minimum;
}

std::int64_t SettingDef::highest() const {
    const SpinField* spin = spinOf(*this);
    return spin ? spin->maximum : maximum;
}

const std::vector<SettingDef>& settingsTable() { return kTable; }

const SettingDef* findSetting(const std::string& name) {
    const std::string wanted = lowered(name);
    for (const SettingDef& def : kTable)
        if (lowered(def.name) == wanted) return &def;
    return nullptr;
}

std::vector<std::string> nearestNames(const std::string& name, const std::vector<std::string>& known,
                                      std::size_t count) {
    const std::string wanted = lowered(name);
    std::vector<std::pair<std::size_t, std::string>> scored;
    for (const std::string& candidate : known) {
        const std::string lower = lowered(candidate);
        std::size_t distance = editDistance(wanted, lower);
        // A part typed alone ("Intervall" for "Modus_Intervall") is a near miss too.
        if (wanted.size() >= 3 && lower.find(wanted) != std::string::npos) distance = std::min<std::size_t>(distance, 2);
        // Near enough: at most a third of the longer name differs (and at least 2 edits allowed).
        const std::size_t allowed = std::max<std::size_t>(2, std::max(wanted.size(), lower.size()) / 3);
        if (distance <= allowed) scored.emplace_back(distance, candidate);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < scored.size() && i < count; ++i) out.push_back(scored[i].second);
    return out;
}

std::vector<std::string> nearestSettingNames(const std::string& name, std::size_t count) {
    std::vector<std::string> known;
    for (const SettingDef& def : kTable) known.emplace_back(def.name);
    return nearestNames(name, known, count);
}

std::optional<std::int64_t> storedNumber(const SettingDef& def, const SettingTarget& target) {
    (void)def;
    return std::visit(Overloaded{
                          [](bool* v) -> std::optional<std::int64_t> { return *v ? 1 : 0; },
                          [](Radio r) -> std::optional<std::int64_t> { return *r.self ? 1 : 0; },
                          [](SpinField* f) -> std::optional<std::int64_t> { return f->value(); },
                          [](std::string*) -> std::optional<std::int64_t> { return std::nullopt; },
                          [](std::int32_t* i) -> std::optional<std::int64_t> { return *i; },
                          [](std::uint64_t* q) -> std::optional<std::int64_t> { return static_cast<std::int64_t>(*q); },
                      },
                      target);
}

std::string acceptedValues(const SettingDef& def) {
    switch (def.kind) {
    case ValueKind::Truth:
        return "0 or 1";
    case ValueKind::Integer:
    case ValueKind::Counter:
    case ValueKind::Total:
        return "a whole number from " + std::to_string(def.lowest()) + " to " + std::to_string(def.highest());
    case ValueKind::Text:
    case ValueKind::Password:
        break;
    }
    return "one line of text";
}

CheckedValue checkValue(const SettingDef& def, const std::string& typed) {
    CheckedValue checked;
    const std::string name = def.name;
    if (isNumberKind(def.kind)) {
        const auto number = parseWhole(typed);
        if (!number) {
            checked.error = name + " takes " + acceptedValues(def) + ", not \"" + typed + "\"";
        } else if (*number < def.lowest() || *number > def.highest()) {
            checked.error = name + " = " + typed + " is outside its range: " + acceptedValues(def) +
                            " (the value is refused, not clamped)";
        } else {
            checked.number = number;
        }
        return checked;
    }
    if (typed.find_first_of("\r\n") != std::string::npos) {
        checked.error = name + " takes one line of text; the value holds a line break";
    } else if (typed.size() > kMaxTextLength) {
        checked.error = name + " takes at most " + std::to_string(kMaxTextLength) + " bytes of text";
    } else {
        checked.text = typed;
    }
    return checked;
}

std::string displayValue(const SettingDef& def, Settings& settings, RunCounters& counters) {
    const SettingTarget target = def.target(settings, counters);
    if (const auto* text = std::get_if<std::string*>(&target)) {
        return def.kind == ValueKind::Password ? std::string((*text)->size(), '*') : **text;
    }
    const std::int64_t number = *storedNumber(def, target);
    if (def.kind == ValueKind::Counter) return std::to_string(static_cast<std::uint32_t>(number));
    if (def.kind == ValueKind::Total) return std::to_string(static_cast<std::uint64_t>(number));
    return std::to_string(number);
}

void saveSetting(Registry::Key& key, const SettingDef& def, Settings& settings, RunCounters& counters) {
    std::visit(Overloaded{
                   [&](bool* v) { key.writeBool(def.name, *v); },
                   [&](Radio r) { key.writeBool(def.name, *r.self); },
                   [&](SpinField* f) { key.writeInteger(def.name, f->value()); },
                   [&](std::string* t) { key.writeString(def.name, *t); },
                   [&](std::int32_t* i) { key.writeInteger(def.name, *i); },
                   [&](std::uint64_t* q) { key.writeQword(def.name, *q); },
               },
               def.target(settings, counters));
}

void loadSetting(Registry::Key& key, const SettingDef& def, Settings& settings, RunCounters& counters) {
    if (def.load == Load::IfPresent && !key.valueExists(def.name)) return;
    std::visit(Overloaded{
                   [&](bool* v) { *v = key.readBool(def.name); },
                   [&](Radio r) {
                       const bool checked = key.readBool(def.name);
                       *r.self = checked;
                       if (checked) *r.other = false;
                   },
                   [&](SpinField* f) { f->setValue(key.readInteger(def.name)); },
                   [&](std::string* t) { *t = key.readString(def.name); },
                   [&](std::int32_t* i) { *i = key.readInteger(def.name); },
                   [&](std::uint64_t* q) { *q = key.readQword(def.name); },
               },
               def.target(settings, counters));
}

void writeChecked(Registry::Key& key, const SettingDef& def, const CheckedValue& value) {
    if (!value.number) {
        key.writeString(def.name, value.text);
        return;
    }
    if (def.kind == ValueKind::Total) {
        key.writeQword(def.name, static_cast<std::uint64_t>(*value.number));
        return;
    }
    const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(*value.number)));
    key.writeInteger(def.name, wrapped);
    if (def.radioPartner) key.writeBool(def.radioPartner, *value.number == 0);
}

}  // namespace velora
