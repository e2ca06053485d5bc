#include "cli/ConfigCommand.h"

#include <iomanip>
#include <ostream>

#include "cli/CliCommands.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace velora::cli {

std::string configHelp() {
    return "Usage: velora-cli config              list every setting with its value\n"
           "       velora-cli config NAME         print the value of one setting\n"
           "       velora-cli config NAME VALUE   set one setting in the settings store\n"
           "\n"
           "NAME is the value name the program stores (as \"Config -> Save Config\" writes it),\n"
           "for example Login_Host, Login_User, Login_Pwd, Intervall, Autostart,\n"
           "Modus_feste_Zeit; letter case does not matter. VALUE is checked as the window's\n"
           "control takes it: a truth value is 0 or 1; a number outside its field's range is\n"
           "refused (not clamped) and the message names the range; a text is one line.\n"
           "Setting Modus_Intervall or Modus_feste_Zeit sets the other one to the opposite,\n"
           "as the two radio buttons do. Only the named value changes in the store.\n"
           "Passwords (Login_Pwd, Proxy_Pwd) are shown as one \"*\" per character.\n"
           "A running daemon takes a change at its next SIGHUP (systemctl --user reload velora).\n";
}

std::string unknownNameMessage(const std::string& what, const std::string& name,
                               const std::vector<std::string>& nearest) {
    std::string text = "Unknown " + what + ": " + name;
    if (!nearest.empty()) {
        text += " (did you mean ";
        for (std::size_t i = 0; i < nearest.size(); ++i) text += (i ? ", " : "") + nearest[i];
        text += "?)";
    }
    return text;
}

namespace {

const SettingDef* settingOrComplain(const std::string& name, std::ostream& err) {
    const SettingDef* def = findSetting(name);
    if (!def) err << unknownNameMessage("setting", name, nearestSettingNames(name)) << '\n';
    return def;
}

std::size_t indexOf(const SettingDef& def) { return static_cast<std::size_t>(&def - settingsTable().data()); }

// Every setting as the window would show it after "Load Config". A value stored with
// the wrong kind (by an outside tool) would end that load; it is shown with the
// registry's text instead, and the others as they are, so `config` can repair it.
std::vector<std::string> shownValues(const AdminContext& context) {
    std::vector<std::string> shown;
    try {
        StoredSettings stored = readStoredSettings(context);
        for (const SettingDef& def : settingsTable())
            shown.push_back(displayValue(def, stored.settings, stored.counters));
        return shown;
    } catch (const std::exception&) {
        // Each on its own below.
    }
    Registry::Key key = context.registry.openKeyReadOnly(kSettingsKey);
    for (const SettingDef& def : settingsTable()) {
        Settings settings = Settings::defaults(context.env);
        RunCounters counters;
        try {
            loadSetting(key, def, settings, counters);
            shown.push_back(displayValue(def, settings, counters));
        } catch (const std::exception& e) {
            shown.push_back(std::string("(") + e.what() + ")");
        }
    }
    return shown;
}

}  // namespace

int runConfig(const std::vector<std::string>& args, const AdminContext& context) {
    if (args.size() > 2) {
        context.err << "config takes at most a NAME and a VALUE (velora-cli config --help explains it)\n";
        return kFailed;
    }
    const SettingDef* def = nullptr;
    if (!args.empty() && !(def = settingOrComplain(args[0], context.err))) return kFailed;
    CheckedValue checked;
    if (args.size() == 2) {
        checked = checkValue(*def, args[1]);
        if (!checked.error.empty()) {
            context.err << checked.error << '\n';
            return kFailed;
        }
    }

    ensureStore(context);
    const std::vector<std::string> shown = shownValues(context);
    if (args.empty()) {
        for (std::size_t i = 0; i < settingsTable().size(); ++i)
            context.out << std::left << std::setw(20) << settingsTable()[i].name << ' ' << shown[i] << '\n';
        return kOk;
    }
    const std::string before = shown[indexOf(*def)];
    if (args.size() == 1) {
        context.out << before << '\n';
        return kOk;
    }
    {
        Registry::Key key = context.registry.openKey(kSettingsKey);
        writeChecked(key, *def, checked);
        key.close();
    }
    context.out << def->name << " = " << shownValues(context)[indexOf(*def)] << " (was " << before << ")\n";
    tellDaemon(context.out);
    return kOk;
}

}  // namespace velora::cli
