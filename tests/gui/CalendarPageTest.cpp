// The calendar on the page "Zeitsteuerung" as a user works it: select an hour, mark
// minutes by double-click, read the sums beside the grid, use the context menu, save
// and load; and the first tick's minimised start.
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/CalendarPanel.h"
#include "schedule/CalendarStore.h"
#include "schedule/CalendarView.h"

namespace velora::gui::test {
namespace {

class CalendarPageTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        makeWindow();
        window->startUp();
        window->pages()->setCurrentIndex(1);
    }
    QPoint cellCentre(QTableWidget* grid, int row, int column) const {
        return grid->visualRect(grid->model()->index(row, column)).center();
    }
    void press(QTableWidget* grid, int row, int column) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
    }
    void doubleClick(QTableWidget* grid, int row, int column) {
        press(grid, row, column);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
    }
    QString text(const char* label) const { return find<QLabel>(label)->text(); }
};

TEST_F(CalendarPageTest, DoubleClicksMarkMinutesOfTheSelectedHourAndTheSumsFollow) {
    auto* hours = find<QTableWidget>("sg_std");
    auto* minutes = find<QTableWidget>("sg_min");
    press(hours, 2, 10);   // Monday, hour 9
    doubleClick(minutes, 2, 5);
    doubleClick(minutes, 2, 7);
    doubleClick(minutes, 2, 7);   // and off again

    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(program->calendar().state(2, 9 * 60 + 5), kPlanned);
    EXPECT_EQ(program->calendar().state(2, 9 * 60 + 7), kFree);
    EXPECT_EQ(minutes->item(2, 5)->text(), "X");
    EXPECT_EQ(minutes->item(2, 7)->text(), "");
    EXPECT_EQ(text("l_sel_zeit"), "Select Montag um 9:7");
    EXPECT_EQ(text("l_sel_tag"), "Tag 2");
    EXPECT_EQ(text("l_sel_std"), "Stunde 9");
    EXPECT_EQ(text("l_mo_soll"), "1");
    EXPECT_EQ(text("l_ges_soll"), "1");
    EXPECT_EQ(text("l_so_byte"), "0 KB");
    // The minute's number stands above its column.
    EXPECT_EQ(find<QLabel>("l_sel_min")->x() - minutes->x(), 7 * 8);
    // The sums line up with the rows of the hour grid.
    for (const auto& [name, row] : std::vector<std::pair<const char*, int>>{{"l_so_soll", 1}, {"l_sa_soll", 7}})
        EXPECT_EQ(find<QLabel>(name)->y(), hours->y() + row * 19 + 3) << name;
    EXPECT_EQ(find<QLabel>("l_ges_soll")->y(), hours->y() + 8 * 19 + 8);
}

TEST_F(CalendarPageTest, ContextMenuCommandsAndTheTwoButtons) {
    QMenu* menu = window->findChild<CalendarPanel*>()->pm_kalender();
    QStringList shown;
    for (QAction* a : menu->actions()) shown << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    EXPECT_EQ(shown, (QStringList{"allesLschen1", "aglschen1", "StundeLschen1", "-", "CopyaufganzenTag1",
                                  "CopydiesenTagaufvorigenTagederWoche1", "CopydiesenTagaufAlleTage1", "-",
                                  "agaufgeplantSetzen1"}));
    auto* hours = find<QTableWidget>("sg_std");
    press(hours, 4, 1);   // Wednesday, hour 0
    doubleClick(find<QTableWidget>("sg_min"), 2, 0);
    menu->findChild<QAction*>("CopydiesenTagaufAlleTage1")->trigger();
    EXPECT_EQ(text("l_sa_soll"), "1");
    EXPECT_EQ(text("l_ges_soll"), "4");

    find<QPushButton>("B_Save_Kalender")->click();
    menu->findChild<QAction*>("allesLschen1")->trigger();
    EXPECT_EQ(text("l_ges_soll"), "0");
    find<QPushButton>("B_load_Kalender")->click();
    EXPECT_EQ(text("l_ges_soll"), "4");
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(CalendarPageTest, FirstTickHidesTheWindowWhenMinimiertIsSet) {
    program->settings().cb_mini_start = true;
    window->show();
    window->Timer1Timer();
    EXPECT_TRUE(window->isHidden() || window->isMinimized());
    window->FormView1Click();
    window->Timer1Timer();   // only the first tick hides
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

}  // namespace
}  // namespace velora::gui::test
