#pragma once
// The screen shot: the primary screen saved as a JPEG file before a run (when
// "Aktiv" on the page "Tools" is checked) or at once by "Speichern Test". It logs
// one line before the capture and nothing on success; every failure leaves it as an
// error (no screen, a file that cannot be created), the screen released in any case.
#include "app/EventLog.h"
#include "platform/Environment.h"
#include "platform/Screen.h"
#include "schedule/ScreenShotStep.h"
#include "settings/Settings.h"

namespace velora {

class ScreenShot final : public ScreenShotStep {
public:
    ScreenShot(const Settings& settings, const Environment& env, Screen& screen, EventLog& log);

    void take();
    void takeScreenShot() override { take(); }

private:
    const Settings& settings_;
    const Environment& env_;
    Screen& screen_;
    EventLog& log_;
};

}  // namespace velora
