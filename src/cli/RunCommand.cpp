#include "cli/RunCommand.h"

#include "cli/CliCommands.h"
#include "settings/SentMemory.h"
#include "settings/SettingsStore.h"

namespace velora::cli {

namespace {

// The start-up's load empties every "PS alt"; the rows take back what they sent.
class RestoreAfterLoad final : public SettingsStore::Hooks {
public:
    RestoreAfterLoad(SentMemory& memory, const RememberParts& parts) : memory_(memory), parts_(parts) {}
    void beforeSave() override {}
    void afterLoad() override { memory_.restore(parts_.files, parts_.settings.e_host_ziel); }

private:
    SentMemory& memory_;
    const RememberParts& parts_;
};

}  // namespace

int runRemembering(const RememberParts& parts, bool all, const std::function<int()>& runOnce,
                   const std::function<bool()>& started) {
    SentMemory memory(parts.registry);
    RestoreAfterLoad restore(memory, parts);
    if (!all) parts.store.setHooks(&restore);
    const int code = runOnce();
    parts.store.setHooks(nullptr);
    if (code != kSkipped && started()) memory.remember(parts.files, parts.settings.e_host_ziel);
    return code;
}

}  // namespace velora::cli
