// The program's calendar steps: start-up loads the calendar and plans the rest of today
// afresh; "Save Config" and "Load Config" take the calendar along.
#include <gtest/gtest.h>

#include "program/Program.h"
#include "schedule/CalendarStore.h"
#include "schedule/CalendarView.h"
#include "settings/SettingsStore.h"
#include "support/FakeScreen.h"
#include "support/LogHarness.h"
#include "support/QuietUiHost.h"
#include "support/RecordingShell.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"

using namespace velora;
using velora::test::textsOf;

namespace {

struct CalendarStartup : ::testing::Test {
    test::TempDir home;
    FixedEnvironment env{{{"temp", home.path()}}, home.path()};
    ManualClock clock;
    test::QuietUiHost ui;
    test::FakeScreen screen;
    test::RecordingShell shell;
    test::TestNetwork network;
    std::string registryFile = home.file("registry.sqlite3");

    std::unique_ptr<Program> startAt(int hour, int minute) {
        clock.set({2026, 12, 8, hour, minute, 30, 0, 3});   // a Tuesday
        auto p = std::make_unique<Program>(Program::Services{env, clock, Locale::german(), ui, registryFile, {}, screen,
                                                             shell, network.resolver, network.connector,
                                                             network.icmpSockets});
        p->FormCreate();
        return p;
    }
    // Every minute of Tuesday (3) and Wednesday (4) stored as started.
    void storeStartedDays() {
        Registry reg(registryFile);
        reg.openKey(kSettingsKey).writeInteger("Liste_row_count", 1);
        auto key = reg.openKey(kCalendarKey);
        std::vector<std::uint8_t> started;
        for (int m = 0; m < kMinutesPerDay; ++m) started.insert(started.end(), {2, 0, 0, 0});
        key.writeBinary("Default_3", started);
        key.writeBinary("Default_4", started);
    }
};

TEST_F(CalendarStartup, StartPlansTheRestOfTodayAfreshAndShowsIt) {
    struct Case {
        int hour, minute;
        int firstPlanned;
        const char* plannedToday;
    };
    for (const Case c : {Case{23, 59, 1439, "1440"}, Case{10, 30, 630, "1440"}}) {
        SCOPED_TRACE(std::to_string(c.hour) + ":" + std::to_string(c.minute));
        storeStartedDays();
        auto p = startAt(c.hour, c.minute);
        const WeekCalendar& cal = p->calendar();
        EXPECT_EQ(cal.state(3, c.firstPlanned - 1), kStarted);
        EXPECT_EQ(cal.state(3, c.firstPlanned), kPlanned);
        EXPECT_EQ(cal.state(3, 1439), kPlanned);
        EXPECT_EQ(cal.state(4, 1439), kStarted) << "other days keep their states";
        EXPECT_EQ(p->calendarView().display().days[3].soll, c.plannedToday);
        EXPECT_EQ(p->runState().LastWeekday, 3);
    }
}

TEST_F(CalendarStartup, SaveAndLoadConfigTakeTheCalendarAlong) {
    auto p = startAt(14, 5);
    p->calendar().setState(6, 125, kPlanned);
    p->SaveConfig1Click();
    EXPECT_EQ(textsOf(p->Memo1()).back(), "Save Kalender");
    p->calendar().setState(6, 125, kFree);
    p->calendar().setState(6, 126, kPlanned);

    p->LoadConfig1Click();

    const auto texts = textsOf(p->Memo1());
    EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
              (std::vector<std::string>{"Load Config", "Load Kalender"}));
    EXPECT_EQ(p->calendar().state(6, 125), kPlanned);
    EXPECT_EQ(p->calendar().state(6, 126), kFree);
    EXPECT_EQ(p->calendarView().display().days[6].soll, "1");
}

}  // namespace
