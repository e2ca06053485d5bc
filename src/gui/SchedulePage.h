#pragma once
// Page "Zeitsteuerung": time mode, restart delay, longest online time, last fixed
// start, the interval and the weekly calendar grids.
#include <QWidget>

#include "gui/SettingsBinder.h"

class QLabel;
class QSpinBox;

namespace velora {
class CalendarStore;
class CalendarView;
class RunCycle;
class RunStatistics;
class Scheduler;
struct StatusDisplay;
}  // namespace velora

namespace velora::gui {

// What the page works with: the settings its controls edit, the run cycle behind
// "Restart nach Online Error", the scheduler that floors the restart delay, the
// statistics that clear the longest pass, and the weekly calendar's view and store.
struct ScheduleParts {
    Settings& settings;
    RunCycle& cycle;
    Scheduler& scheduler;
    RunStatistics& statistics;
    CalendarView& calendarView;
    CalendarStore& calendarStore;
};

class SchedulePage : public QWidget {
    Q_OBJECT
public:
    explicit SchedulePage(ScheduleParts parts, QWidget* parent = nullptr);

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

    ScheduleParts parts_;
    SettingsBinder binder_;
    QSpinBox* se_restart_ = nullptr;
    QLabel* l_dauer_max_ = nullptr;
    QLabel* l_zeit_start_alt_ = nullptr;
};

}  // namespace velora::gui
