#include "settings/SettingsLogSources.h"

#include "platform/Paths.h"

namespace velora {

std::uint64_t logRotateBytes(const Settings& settings) {
    return static_cast<std::uint64_t>(settings.se_log_rotate.value()) * 1024u;
}

std::string SettingsLogSources::fileName() const { return paths::resolveIn(env_.homeFolder(), settings_.E_logfile); }

}  // namespace velora
