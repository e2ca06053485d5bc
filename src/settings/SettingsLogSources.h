#pragma once
// The event log's view of the settings: "Log Datei" (a relative name lies in the home
// folder), the view limit, and the two passwords the log must never show.
#include "app/EventLog.h"
#include "platform/Environment.h"
#include "settings/Settings.h"

namespace velora {

class SettingsLogSources final : public EventLogSources {
public:
    SettingsLogSources(const Settings& settings, const Environment& env) : settings_(settings), env_(env) {}

    std::string fileName() const override;
    std::string limitText() const override { return settings_.se_max_log_zeilen.text; }
    std::vector<std::string> passwords() const override { return {settings_.ME_pwd_ziel, settings_.ME_Pasword}; }
    unsigned userId() const override { return env_.userId(); }

private:
    const Settings& settings_;
    const Environment& env_;
};

}  // namespace velora
