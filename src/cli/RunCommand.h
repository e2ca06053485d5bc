#pragma once
// velora-cli run [--all]: one run as "Start" does it, remembering between calls what
// each row last sent (see SentMemory), so a cron job sends only what changed.
#include <functional>

namespace velora {
class FileTable;
class Registry;
class SettingsStore;
struct Settings;
}  // namespace velora

namespace velora::cli {

// What the remembering needs of the program.
struct RememberParts {
    Registry& registry;
    SettingsStore& store;      // its load restores what the rows last sent
    FileTable& files;
    const Settings& settings;  // the server the rows go to
};

// Calls `runOnce` (start-up and one run, giving the exit code) with the rows' last sent
// fingerprints restored as the settings load (not with `all`: a fresh start), then
// keeps what the rows ended with for the next call, unless the run was skipped
// (another run was at work) or the start-up did not finish (`started` says).
int runRemembering(const RememberParts& parts, bool all, const std::function<int()>& runOnce,
                   const std::function<bool()>& started);

}  // namespace velora::cli
