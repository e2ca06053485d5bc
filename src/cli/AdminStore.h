#pragma once
// The settings store as the administration commands (config, rows, calendar, export,
// import) see it: the store file, created with the built-in defaults when it does not
// exist yet (as a first start of the window creates it), and the settings read from it
// as "Load Config" would apply them. A file that is not a store is refused and stays
// as it was.
#include <iosfwd>
#include <string>

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "settings/RunCounters.h"
#include "settings/Settings.h"

namespace velora::cli {

// What every administration command is given.
struct AdminContext {
    const Environment& env;
    const Clock& clock;
    const Locale& locale;
    Registry& registry;
    std::ostream& out;
    std::ostream& err;
};

// Creates the settings key and the calendar key as a first start does (every value at
// its default, the sample rows, an empty calendar; the event log shows "Save Config "
// and "Save Kalender") when the settings key is missing. True when it created them.
bool ensureStore(const AdminContext& context);

// The table's settings and the weekday counters as LoadConfig applies them from the
// store, over the defaults.
struct StoredSettings {
    Settings settings;
    RunCounters counters;
};
StoredSettings readStoredSettings(const AdminContext& context);

// The scratch folder the program would use, for the file table's rule that a copy
// made there from a row's old source is forgotten when the source changes.
std::string scratchFolder(const AdminContext& context);

// Said after every command that changed the store.
void tellDaemon(std::ostream& out);

}  // namespace velora::cli
