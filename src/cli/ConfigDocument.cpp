#include "cli/ConfigDocument.h"

#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "cli/CalendarCommand.h"
#include "settings/SettingsTable.h"

namespace velora::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr FileColumn kRowColumns[] = {Aktiv, Tag, Quelle, FtpPfad, FtpName};
constexpr int kMaxWidth = 10000;
constexpr std::size_t kMaxPresets = 1000;
constexpr std::int64_t kCounterMax = 4294967295LL;

std::string caption(FileColumn c) { return FileTable::captions()[static_cast<std::size_t>(c)]; }

// The 32-bit counters; the byte total ("Send_Bytes_ges") is 64-bit and handled beside them.
std::vector<std::pair<std::string, std::int32_t*>> counterFields(RunCounters& c) {
    std::vector<std::pair<std::string, std::int32_t*>> fields{{"Send_Files_ges", &c.Send_Files_ges}};
    for (int d = 1; d <= 7; ++d) {
        const auto i = static_cast<std::size_t>(d);
        fields.emplace_back("Send_Files_" + std::to_string(d), &c.filesPerWeekday[i]);
        fields.emplace_back("Send_Bytes_" + std::to_string(d), &c.bytesPerWeekday[i]);
    }
    return fields;
}

constexpr const char* kBytesTotal = "Send_Bytes_ges";

bool isPassword(const SettingDef& def) { return def.kind == ValueKind::Password; }
bool isCounter(const SettingDef& def) { return def.kind == ValueKind::Counter || def.kind == ValueKind::Total; }

// The first problem ends the reading.
struct Bad {
    std::string text;
};

[[noreturn]] void bad(const std::string& path, const std::string& what) { throw Bad{path + ": " + what}; }

const Json& member(const Json& object, const char* name, const std::string& path) {
    const auto found = object.find(name);
    if (found == object.end()) bad(path, std::string("missing \"") + name + "\"");
    return *found;
}

void onlyKnownMembers(const Json& object, const std::set<std::string>& known, const std::string& path) {
    for (const auto& [name, value] : object.items())
        if (!known.count(name)) bad(path + "." + name, "not a field of this document");
}

std::string oneLineText(const Json& value, const std::string& path) {
    if (!value.is_string()) bad(path, "takes a text");
    const std::string text = value.get<std::string>();
    if (text.find_first_of("\r\n") != std::string::npos) bad(path, "takes one line of text");
    if (text.size() > kMaxTextLength) bad(path, "takes at most " + std::to_string(kMaxTextLength) + " bytes");
    return text;
}

std::int64_t wholeNumber(const Json& value, const std::string& path, std::int64_t low, std::int64_t high) {
    if (!value.is_number_integer())
        bad(path, "takes a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    const std::int64_t n = value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)
                               ? high + 1
                               : value.get<std::int64_t>();
    if (n < low || n > high)
        bad(path, std::to_string(n) + " is outside " + std::to_string(low) + " to " + std::to_string(high));
    return n;
}

std::int32_t wrapped(std::int64_t n) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(n)));
}

void readSettings(const Json& settings, Configuration& config) {
    const std::string path = "settings";
    if (!settings.is_object()) bad(path, "takes an object of value names");
    for (const auto& [name, value] : settings.items()) {
        const SettingDef* def = findSetting(name);
        if (!def || isCounter(*def) || name != def->name)
            bad(path + "." + name, def && !isCounter(*def)
                                       ? std::string("is spelled ") + def->name
                                       : "not a setting (the counters have their own section)");
    }
    for (const SettingDef& def : settingsTable()) {
        if (isCounter(def)) continue;
        const auto found = settings.find(def.name);
        if (found == settings.end()) {
            if (def.kind == ValueKind::Password) {
                (std::string(def.name) == "Login_Pwd" ? config.hasLoginPwd : config.hasProxyPwd) = false;
                continue;
            }
            bad(path + "." + def.name, "missing");
        }
        const std::string field = path + "." + def.name;
        CheckedValue checked;
        if (def.kind == ValueKind::Text || def.kind == ValueKind::Password) {
            checked = checkValue(def, oneLineText(*found, field));
        } else {
            if (!found->is_number_integer()) bad(field, "takes " + acceptedValues(def));
            checked = checkValue(def, found->dump());
        }
        if (!checked.error.empty()) bad(field, checked.error);
        // The value as the window's control holds it: the load's own way of applying it.
        std::visit(
            [&](auto target) {
                using T = decltype(target);
                if constexpr (std::is_same_v<T, bool*>)
                    *target = *checked.number != 0;
                else if constexpr (std::is_same_v<T, Radio>)
                    *target.self = *checked.number != 0;
                else if constexpr (std::is_same_v<T, SpinField*>)
                    target->setValue(static_cast<int>(*checked.number));
                else if constexpr (std::is_same_v<T, std::string*>)
                    *target = checked.text;
                else
                    *target = wrapped(*checked.number);
            },
            def.target(config.settings, config.counters));
    }
}

void readRows(const Json& rows, Configuration& config) {
    if (!rows.is_array()) bad("rows", "takes a list of rows");
    if (rows.size() > static_cast<std::size_t>(10000)) bad("rows", "holds more than 10000 rows");
    std::set<std::string> known;
    for (FileColumn c : kRowColumns) known.insert(caption(c));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string path = "rows[" + std::to_string(i + 1) + "]";
        if (!rows[i].is_object()) bad(path, "takes an object with the columns");
        onlyKnownMembers(rows[i], known, path);
        FileTable::Row row{};
        row[Nr] = std::to_string(i + 1);
        for (FileColumn c : kRowColumns) {
            const std::string name = caption(c);
            const std::string text = oneLineText(member(rows[i], name.c_str(), path), path + "." + name);
            if ((c == Aktiv || c == Tag) && text != kJa && text != kNo && !text.empty())
                bad(path + "." + name, "takes \"Ja\", \"No\" or \"\"");
            row[static_cast<std::size_t>(c)] = text;
        }
        row[PsNeu] = kNotSent;
        row[PsAlt] = kNotSent;
        config.rows.push_back(row);
    }
}

void readCalendar(const Json& calendar, Configuration& config) {
    if (!calendar.is_object()) bad("calendar", "takes an object of the seven day names");
    std::set<std::string> known;
    for (int d = 1; d <= 7; ++d) known.insert(kDayNames[static_cast<std::size_t>(d)]);
    onlyKnownMembers(calendar, known, "calendar");
    for (int d = 1; d <= 7; ++d) {
        const char* name = kDayNames[static_cast<std::size_t>(d)];
        const std::string path = std::string("calendar.") + name;
        const ParsedMinutes parsed = parseCompactMinutes(oneLineText(member(calendar, name, "calendar"), path));
        if (!parsed.error.empty()) bad(path, parsed.error);
        for (int m : parsed.minutes) config.days[static_cast<std::size_t>(d)][static_cast<std::size_t>(m)] = kPlanned;
    }
}

}  // namespace

std::string writeDocument(Configuration& config, bool withPasswords) {
    Json doc;
    doc["format"] = kDocumentFormat;
    doc["version"] = kDocumentVersion;
    Json settings = Json::object();
    for (const SettingDef& def : settingsTable()) {
        if (isCounter(def) || (isPassword(def) && !withPasswords)) continue;
        const SettingTarget target = def.target(config.settings, config.counters);
        if (const auto* text = std::get_if<std::string*>(&target))
            settings[def.name] = **text;
        else
            settings[def.name] = *storedNumber(def, target);
    }
    doc["settings"] = settings;
    doc["column_widths"] = config.widths;
    Json rows = Json::array();
    for (const FileTable::Row& row : config.rows) {
        Json r;
        for (FileColumn c : kRowColumns) r[caption(c)] = row[static_cast<std::size_t>(c)];
        rows.push_back(r);
    }
    doc["rows"] = rows;
    doc["folder_presets"] = config.settings.m_ftp_pfad;
    Json calendar;
    for (int d = 1; d <= 7; ++d)
        calendar[kDayNames[static_cast<std::size_t>(d)]] = compactMinutes(config.days[static_cast<std::size_t>(d)]);
    doc["calendar"] = calendar;
    Json counters;
    for (const auto& [name, value] : counterFields(config.counters))
        counters[name] = static_cast<std::uint32_t>(*value);
    counters[kBytesTotal] = config.counters.Send_Bytes_ges;
    doc["counters"] = counters;
    try {
        return doc.dump(2) + "\n";
    } catch (const nlohmann::json::type_error&) {
        throw std::runtime_error("A text in the configuration is not valid UTF-8; it cannot be exported as JSON");
    }
}

ReadDocument readDocument(const std::string& text, const Environment& env) {
    ReadDocument read{Configuration{Settings::defaults(env), {}, FileTable::startWidths(), {}, {}}, {}};
    Configuration& config = read.config;
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        read.error = e.byte >= text.size() ? "the document ends too early (cut short?): " + std::string(e.what())
                                           : "not a JSON document: " + std::string(e.what());
        return read;
    }
    try {
        if (!doc.is_object()) bad("(document)", "takes a JSON object");
        const Json& format = member(doc, "format", "(document)");
        if (!format.is_string() || format.get<std::string>() != kDocumentFormat)
            bad("format", std::string("is not \"") + kDocumentFormat + "\": not a configuration of this program");
        const Json& version = member(doc, "version", "(document)");
        if (!version.is_number_integer() || version.get<std::int64_t>() != kDocumentVersion)
            bad("version",
                version.dump() + " is not supported; this program reads version " + std::to_string(kDocumentVersion));
        onlyKnownMembers(
            doc, {"format", "version", "settings", "column_widths", "rows", "folder_presets", "calendar", "counters"},
            "(document)");
        readSettings(member(doc, "settings", "(document)"), config);

        const Json& widths = member(doc, "column_widths", "(document)");
        if (!widths.is_array() || widths.size() != kFileColumns)
            bad("column_widths", "takes a list of " + std::to_string(kFileColumns) + " widths");
        for (int k = 0; k < kFileColumns; ++k)
            config.widths[static_cast<std::size_t>(k)] = static_cast<int>(wholeNumber(
                widths[static_cast<std::size_t>(k)], "column_widths[" + std::to_string(k) + "]", 0, kMaxWidth));

        readRows(member(doc, "rows", "(document)"), config);

        const Json& presets = member(doc, "folder_presets", "(document)");
        if (!presets.is_array() || presets.size() > kMaxPresets)
            bad("folder_presets", "takes a list of at most " + std::to_string(kMaxPresets) + " folders");
        config.settings.m_ftp_pfad.clear();
        for (std::size_t i = 0; i < presets.size(); ++i)
            config.settings.m_ftp_pfad.push_back(oneLineText(presets[i], "folder_presets[" + std::to_string(i) + "]"));

        readCalendar(member(doc, "calendar", "(document)"), config);

        const Json& counters = member(doc, "counters", "(document)");
        if (!counters.is_object()) bad("counters", "takes an object of counter names");
        std::set<std::string> names;
        for (const auto& [name, value] : counterFields(config.counters)) names.insert(name);
        names.insert(kBytesTotal);
        onlyKnownMembers(counters, names, "counters");
        for (const auto& [name, value] : counterFields(config.counters))
            *value =
                wrapped(wholeNumber(member(counters, name.c_str(), "counters"), "counters." + name, 0, kCounterMax));
        config.counters.Send_Bytes_ges = static_cast<std::uint64_t>(wholeNumber(
            member(counters, kBytesTotal, "counters"), std::string("counters.") + kBytesTotal, 0, INT64_MAX));
    } catch (const Bad& b) {
        read.error = b.text;
    } catch (const nlohmann::json::exception& e) {
        read.error = std::string("the document cannot be read: ") + e.what();
    }
    return read;
}

}  // namespace velora::cli
