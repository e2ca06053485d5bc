#include "settings/SettingsLogSources.h"

#include "platform/Paths.h"

namespace velora {

std::string SettingsLogSources::fileName() const { return paths::resolveIn(env_.homeFolder(), settings_.E_logfile); }

}  // namespace velora
