#pragma once
// The event log's view of the settings: "Log Datei" (a relative name lies in the home
// folder), the view limit, and the two passwords the log must never show.
#include "app/EventLog.h"
#include "platform/Environment.h"
#include "settings/Settings.h"

namespace velora {

// "Log_Rotate_KB" in bytes, for both logs.
std::uint64_t logRotateBytes(const Settings& settings);

class SettingsLogSources final : public EventLogSources {
public:
    SettingsLogSources(const Settings& settings, const Environment& env) : settings_(settings), env_(env) {}

    std::string fileName() const override;
    std::string limitText() const override { return settings_.se_max_log_zeilen.text; }
    std::vector<std::string> passwords() const override { return {settings_.ME_pwd_ziel, settings_.ME_Pasword}; }
    unsigned userId() const override { return env_.userId(); }
    std::uint64_t rotateBytes() const override { return logRotateBytes(settings_); }

private:
    const Settings& settings_;
    const Environment& env_;
};

}  // namespace velora
