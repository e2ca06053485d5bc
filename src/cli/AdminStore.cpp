#include "cli/AdminStore.h"

#include <ostream>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "cli/CliUiHost.h"
#include "filetable/FileTable.h"
#include "schedule/CalendarStore.h"
#include "settings/SettingsLogSources.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace velora::cli {

namespace {

// The log and the scratch folder, as the program builds them, on the given settings.
struct LogParts {
    LogParts(const AdminContext& context, const Settings& settings)
        : ui(context.err),
          sources(settings, context.env),
          log(view, ui, context.clock, context.locale, sources),
          temp(context.env, log) {}
    TextView view;
    CliUiHost ui;
    SettingsLogSources sources;
    EventLog log;
    TempFolder temp;
};

}  // namespace

std::string scratchFolder(const AdminContext& context) {
    const Settings settings = Settings::defaults(context.env);
    LogParts parts(context, settings);
    return parts.temp.path();
}

bool ensureStore(const AdminContext& context) {
    if (context.registry.keyExists(kSettingsKey)) return false;
    Settings settings = Settings::defaults(context.env);
    FileTable files;
    for (int c = 0; c < kFileColumns; ++c) files.setColumnWidth(c, FileTable::startWidths()[c]);
    files.setRowCount(5);
    files.fillSampleRows();
    RunCounters counters;
    WeekCalendar calendar(counters);
    LogParts parts(context, settings);
    SettingsStore store(context.registry, settings, files, counters, parts.temp, parts.log, parts.ui);
    store.SaveConfig();
    if (!context.registry.keyExists(kCalendarKey))
        CalendarStore(context.registry, calendar, parts.log).SaveCalendar();
    context.err << "Settings store " << context.registry.filePath() << " created with the built-in defaults\n";
    return true;
}

StoredSettings readStoredSettings(const AdminContext& context) {
    StoredSettings stored{Settings::defaults(context.env), {}};
    Registry::Key key = context.registry.openKeyReadOnly(kSettingsKey);
    for (const SettingDef& def : settingsTable()) loadSetting(key, def, stored.settings, stored.counters);
    for (int d = 1; d <= 7; ++d) {
        const std::string files = "Send_Files_" + std::to_string(d);
        const std::string bytes = "Send_Bytes_" + std::to_string(d);
        const auto i = static_cast<std::size_t>(d);
        if (!key.valueExists(files)) continue;
        stored.counters.filesPerWeekday[i] = key.readInteger(files);
        stored.counters.bytesPerWeekday[i] = key.valueExists(bytes) ? key.readInteger(bytes) : 0;
    }
    return stored;
}

void tellDaemon(std::ostream& out) { out << "A running daemon takes the change at its next SIGHUP.\n"; }

}  // namespace velora::cli
