#pragma once
// Page "Config": start switches, files, FTP login, proxy, the FTP folder presets and
// the external-IP lookup. Every control writes through to Settings.
#include <QWidget>

#include "gui/SettingsBinder.h"

class QGridLayout;
class QLineEdit;

namespace velora {
class Environment;
class RunCycle;
class UiHost;
}  // namespace velora

namespace velora::gui {

// What the page works with: the settings its controls edit, the run cycle behind
// "Aktiv", the online check and the external IP, the home folder the pickers start in,
// and the host that shows the file dialogs.
class ConfigPage : public QWidget {
    Q_OBJECT
public:
    ConfigPage(Settings& settings, RunCycle& cycle, const Environment& env, UiHost& ui, QWidget* parent = nullptr);

    void refreshFromSettings() { binder_.refresh(); }

private slots:
    void b_tagClick();
    void b_logClick();
    void b_Transfer_LogClick();
    void cb_activClick();
    void cb_pingClick();
    void cb_proxyClick();
    void Button2Click();

private:
    QWidget* buildStart();
    QWidget* buildFiles();
    QWidget* buildLogin();
    void addSecureLogin(QGridLayout* grid, int column);
    QWidget* buildSecureDetails();
    QWidget* buildProxy();
    QWidget* buildPresets();
    QWidget* buildExtIp();
    // A "Suchen" picker: the chosen file replaces the field's text.
    void pickInto(QLineEdit* edit, const char* title, const char* filter);

    RunCycle& cycle_;
    const Environment& env_;
    UiHost& ui_;
    SettingsBinder binder_;
};

}  // namespace velora::gui
