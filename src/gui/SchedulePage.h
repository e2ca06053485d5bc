#pragma once
// Page "Zeitsteuerung": time mode, restart delay, longest online time, last fixed
// start, the interval and the weekly calendar grids.
#include <QWidget>

#include "gui/SettingsBinder.h"

class QLabel;
class QSpinBox;
class QTableWidget;

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

    // A restart delay below this is raised to it as soon as it is entered.
    static constexpr int kMinRestartSeconds = 180;

private slots:
    void se_restartChange(int value);
    void Label12Click();
    void b_dauer_max_clrClick();
    void B_Save_KalenderClick();
    void B_load_KalenderClick();

private:
    QWidget* buildMode();
    QWidget* buildInterval();
    QWidget* buildCalendar();
    QTableWidget* buildHourGrid();
    QTableWidget* buildMinuteGrid();

    Program& program_;
    SettingsBinder binder_;
    QSpinBox* se_restart_ = nullptr;
    QLabel* l_dauer_max_ = nullptr;
    QLabel* l_zeit_start_alt_ = nullptr;
};

}  // namespace velora::gui
