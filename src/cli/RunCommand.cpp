#include "cli/RunCommand.h"

#include "cli/CliCommands.h"
#include "settings/SentMemory.h"
#include "settings/SettingsStore.h"

namespace velora::cli {

int runRemembering(const RunParts& parts, bool all, const std::function<int()>& runOnce,
                   const std::function<bool()>& started) {
    SentMemory memory(parts.registry);
    if (!all) {
        // The start-up's load empties every "PS alt"; the rows take back what they sent.
        parts.store.afterLoad = [&] { memory.restore(parts.files, parts.settings.e_host_ziel); };
    }
    const int code = runOnce();
    parts.store.afterLoad = nullptr;
    if (code != kSkipped && started()) memory.remember(parts.files, parts.settings.e_host_ziel);
    return code;
}

}  // namespace velora::cli
