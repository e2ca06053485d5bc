#pragma once
// Page "Tools": the screen shot before each run.
#include <QWidget>

#include "gui/SettingsBinder.h"

namespace velora {
class Program;
class UiHost;
}  // namespace velora

namespace velora::gui {

class ToolsPage : public QWidget {
    Q_OBJECT
public:
    ToolsPage(Program& program, UiHost& ui, QWidget* parent = nullptr);
    void refreshFromSettings() { binder_.refresh(); }

private slots:
    void b_ss_fileClick();
    // "Speichern Test": a screen shot at once, whatever "Aktiv" says.
    void Button1Click();

private:
    Program& program_;
    UiHost& ui_;
    SettingsBinder binder_;
};

}  // namespace velora::gui
