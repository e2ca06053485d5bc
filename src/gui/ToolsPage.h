#pragma once
// Page "Tools": the screen shot before each run.
#include <QWidget>

#include "gui/SettingsBinder.h"

namespace velora {
class Environment;
class ScreenShot;
class UiHost;
}  // namespace velora

namespace velora::gui {

// What the page works with: the screen-shot settings, the screen shot itself, the home
// folder the picker starts in and the host that shows the file dialog.
class ToolsPage : public QWidget {
    Q_OBJECT
public:
    ToolsPage(Settings& settings, ScreenShot& screenShot, const Environment& env, UiHost& ui,
              QWidget* parent = nullptr);
    void refreshFromSettings() { binder_.refresh(); }

private slots:
    void b_ss_fileClick();
    // "Speichern Test": a screen shot at once, whatever "Aktiv" says.
    void Button1Click();

private:
    ScreenShot& screenShot_;
    const Environment& env_;
    UiHost& ui_;
    SettingsBinder binder_;
};

}  // namespace velora::gui
