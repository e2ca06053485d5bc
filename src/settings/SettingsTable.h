#pragma once
// One table of the single-valued settings in the store: the value name, its kind, the
// range a number may take, when the load applies it, and the field of Settings (or of
// RunCounters) it feeds. SaveConfig and LoadConfig walk it, and velora-cli reads and
// sets values through it with the same checks the window's controls make, so the
// three can never disagree about a name or a range. The defaults are those of
// Settings::defaults.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Environment.h"
#include "platform/Registry.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"

namespace velora {

enum class ValueKind {
    Truth,     // a check box or radio button: stored as integer 0 or 1
    Integer,   // a spin field or a plain number
    Counter,   // a statistics counter: 32 bits, shown unsigned
    Total,     // a statistics total that outgrows 32 bits: stored as a 64-bit value
    Text,      // an edit field
    Password,  // an edit field that shows "*" for each character
};

// When LoadConfig applies a value: only when it exists, or always (a missing text
// empties the field).
enum class Load { IfPresent, Always };

// Where SaveConfig writes a value: with the settings (first), after the file table and
// the presets (the screen-shot values), or last (values beyond the original design).
enum class SettingGroup { Main, Screenshot, Extension };

// Two radio buttons of one group: checking one unchecks the other, unchecking one
// leaves the other as it is.
struct Radio {
    bool* self;
    bool* other;
};

using SettingTarget = std::variant<bool*, Radio, SpinField*, std::string*, std::int32_t*, std::uint64_t*>;

struct SettingDef {
    const char* name;
    ValueKind kind;
    Load load;
    SettingGroup group;
    const char* field;   // where it lives, as "Settings::se_interval"
    // The range of a plain integer; a spin field brings its own.
    std::int64_t minimum;
    std::int64_t maximum;
    SettingTarget (*target)(Settings&, RunCounters&);
    // The other button of a radio pair, or nullptr.
    const char* radioPartner = nullptr;

    std::int64_t lowest() const;
    std::int64_t highest() const;
};

// Every entry, in the order SaveConfig writes them within each group.
const std::vector<SettingDef>& settingsTable();
// By name, without regard to case as the registry compares names; nullptr if unknown.
const SettingDef* findSetting(const std::string& name);
// Up to `count` known names closest to `name` (edit distance, case ignored), closest
// first, only those near enough to be a plausible typing error.
std::vector<std::string> nearestSettingNames(const std::string& name, std::size_t count = 3);
// The same over any list of names.
std::vector<std::string> nearestNames(const std::string& name, const std::vector<std::string>& known,
                                      std::size_t count = 3);

// The value as a whole number that the stored form holds: truth 0/1, integers as they
// are, counters wrapped into 32 bits. Texts have none.
std::optional<std::int64_t> storedNumber(const SettingDef& def, const SettingTarget& target);

// The checked form of a value typed by a user, or the reason it is refused. A truth
// value is 0 or 1; a number must lie in its range (it is refused, not clamped); a text
// is one line, as an edit field holds it, of at most kMaxTextLength bytes.
struct CheckedValue {
    std::optional<std::int64_t> number;   // for truth, integers and counters
    std::string text;                     // for texts and passwords
    std::string error;                    // empty when accepted
};
inline constexpr std::size_t kMaxTextLength = 32767;
CheckedValue checkValue(const SettingDef& def, const std::string& typed);
// A description of what the value takes ("0 or 1", "a whole number from 10 to 3601",
// "one line of text").
std::string acceptedValues(const SettingDef& def);

// The value as shown to a user: truth 0/1, numbers in decimal (counters unsigned),
// texts as they are, passwords as one "*" per character.
std::string displayValue(const SettingDef& def, Settings& settings, RunCounters& counters);

// The store's side: the value written from its field, and the field set from the
// stored value as LoadConfig applies it (spin fields clamped into their range).
void saveSetting(Registry::Key& key, const SettingDef& def, Settings& settings, RunCounters& counters);
void loadSetting(Registry::Key& key, const SettingDef& def, Settings& settings, RunCounters& counters);
// Writes a checked value in the stored kind; a radio button writes its partner as the
// opposite, as the group does in the window.
void writeChecked(Registry::Key& key, const SettingDef& def, const CheckedValue& value);

}  // namespace velora
