#pragma once
// SaveConfig and LoadConfig: every setting, the file table, its column widths, the
// folder presets, the screen-shot values and the run counters as named values in the
// key "\SOFTWARE\Norvex\Kesta\FTP".
#include <string>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "platform/Registry.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"
#include "settings/SettingsTable.h"
#include "settings/StoredRows.h"

namespace velora {

inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Norvex\\Kesta\\FTP";

// Logs each store file the registry closed to others since the last call ("Registry
// -> <file> = Rechte 0644 auf 0600 gesetzt"). Called with no key open, since logging
// lets other events run.
void logStoreModeChanges(Registry& registry, EventLog& log);

class SettingsStore {
public:
    SettingsStore(Registry& registry, Settings& settings, FileTable& table, RunCounters& counters,
                  const TempFolder& temp, EventLog& log, UiHost& ui);

    void SaveConfig();
    // What SaveConfig writes, in its order, on a key already open: the settings with
    // the two totals, the column widths, the file table, the presets, the screen-shot
    // values and the values beyond the original design.
    static void writeConfig(Registry::Key& key, Settings& settings, const FileTable& table, RunCounters& counters);
    // Saves first when the key is missing; hides to the tray at the end when
    // "Minimiert" is set. Errors end the load at the failing value (what was applied
    // before stays) and leave as RegistryError. Scratch-folder names in the file table
    // that cannot be right are cleared (see repairTmpQuelle).
    void LoadConfig();
    // The run counters only (also used at exit). What this process counted since it
    // last loaded or saved them is added to what the store holds, in one transaction,
    // so a cron run beside the window never loses the other's counts.
    void SaveRunCounters();

    // Window state not kept in Settings is read and applied through the front end's
    // hooks; without them the values in Settings are used.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        virtual void beforeSave() = 0;   // e.g. copy the window geometry into Settings
        virtual void afterLoad() = 0;    // e.g. apply geometry and column widths
    };
    // nullptr for none.
    void setHooks(Hooks* hooks) { hooks_ = hooks; }

private:
    void mergeRunCounters(Registry::Key& key, bool weekdaysToo);
    void repairTmpQuelle();

    Registry& registry_;
    Settings& settings_;
    FileTable& table_;
    RunCounters& counters_;
    RunCounters stored_;   // the counters as this process last read or wrote them
    const TempFolder& temp_;
    EventLog& log_;
    UiHost& ui_;
    Hooks* hooks_ = nullptr;
};

}  // namespace velora
