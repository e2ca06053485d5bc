#pragma once
// Page "Zeitsteuerung": time mode, restart delay, longest online time, last fixed
// start, the interval and the weekly calendar grids.
#include <QWidget>

#include "gui/SettingsBinder.h"

class QLabel;
class QSpinBox;

namespace velora {
class Program;
struct StatusDisplay;
}  // namespace velora

namespace velora::gui {

class SchedulePage : public QWidget {
    Q_OBJECT
public:
    explicit SchedulePage(Program& program, QWidget* parent = nullptr);

    void refreshFromSettings();
    // The two labels the status refresh fills.
    void showStatus(const StatusDisplay& status);

protected:
    // TabSheet7Show: the calendar is redrawn whenever the page is shown.
    void showEvent(QShowEvent* event) override;

private slots:
    void se_restartChange();
    void Label12Click();
    void b_dauer_max_clrClick();

private:
    QWidget* buildMode();
    QWidget* buildInterval();

    Program& program_;
    SettingsBinder binder_;
    QSpinBox* se_restart_ = nullptr;
    QLabel* l_dauer_max_ = nullptr;
    QLabel* l_zeit_start_alt_ = nullptr;
};

}  // namespace velora::gui
