// The tray icon with a real tray host (trayer) on a private X server: "Hide" and the
// icon's clicks, the pop-up menu, the minimised start and a tray host that goes away.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "gui/Guarded.h"
#include "gui/MainWindow.h"
#include "gui/QtUiHost.h"
#include "gui/ScriptedDialogs.h"
#include "gui/TrayIcon.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "program/Program.h"
#include "support/FakeScreen.h"
#include "support/LogHarness.h"
#include "support/RecordingShell.h"
#include "support/TempDir.h"
#include "support/TestNetwork.h"
#include "tray/TrayHost.h"

namespace velora::gui {
namespace {

// Lets Qt run until `done` holds, at most 20 seconds; true when it held.
bool eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class TrayIconTest : public ::testing::Test, public ErrorSink, public ProcessEnd {
protected:
    void reportError(const std::string& text) override { errors.push_back(text); }
    void endProcess() override { ++ended; }

    void SetUp() override {
        ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
        setErrorSink(this);
        makeWindow();
    }
    void TearDown() override {
        window.reset();
        program.reset();
        setErrorSink(nullptr);
        // A test that took the tray host away brings one back for the next.
        if (!QSystemTrayIcon::isSystemTrayAvailable()) velora::test::TrayHost::instance().start();
    }

    void makeWindow() {
        window.reset();
        program.reset();
        program = std::make_unique<Program>(Program::Services{env, clock, Locale::german(), ui,
                                                              dir.file("registry.sqlite3"), {}, screen, shell,
                                                              network.resolver, network.connector,
                                                              network.icmpSockets});
        window = std::make_unique<MainWindow>(*program, ui);
        window->setProcessEnd(*this);
    }
    void showWindow() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    bool hiddenInTray() const { return !window->isVisible() && window->trayIcon()->isVisible(); }
    // The tray host took the icon: it sits in trayer's panel on the top edge.
    bool docked() const {
        const QRect r = window->trayIcon()->geometry();
        return r.width() > 0 && r.height() > 0 && r.top() < 24;
    }
    bool shownWithoutIcon() const { return window->isVisible() && !window->trayIcon()->isVisible(); }

    velora::test::TempDir dir;
    FixedEnvironment env{{{"temp", dir.path()}, {"COMPUTERNAME", "testpc"}, {"OS", "Linux"}}, dir.path()};
    ManualClock clock{DateTime{2026, 12, 8, 14, 5, 9, 0, 3}};
    gui::test::ScriptedDialogs dialogs;
    QtUiHost ui{dialogs};
    velora::test::FakeScreen screen;
    velora::test::RecordingShell shell;
    velora::test::TestNetwork network;
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
    std::vector<std::string> errors;
    int ended = 0;
};

TEST_F(TrayIconTest, HideShowsTheIconWithItsTipAndOnlyADoubleClickBringsTheWindowBack) {
    window->startUp();
    struct Case {
        QSystemTrayIcon::ActivationReason reason;
        bool back;
    };
    const Case cases[] = {{QSystemTrayIcon::Trigger, false},
                          {QSystemTrayIcon::MiddleClick, false},
                          {QSystemTrayIcon::Context, false},
                          {QSystemTrayIcon::DoubleClick, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.reason));
        showWindow();
        window->findChild<QPushButton*>("B_hide")->click();
        EXPECT_TRUE(hiddenInTray());
        EXPECT_TRUE(eventually([&] { return docked(); }));
        EXPECT_EQ(window->trayIcon()->toolTip(), "VELORA by norvex.example");
        emit window->trayIcon()->activated(c.reason);
        EXPECT_EQ(shownWithoutIcon(), c.back);
        EXPECT_EQ(hiddenInTray(), !c.back);
        window->FormView1Click();
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrayIconTest, PopupMenuShowsTheWindowAgainOrEndsRemovingTheIcon) {
    window->startUp();
    QMenu* popup = window->trayIcon()->contextMenu();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), "PopupMenu1");
    QStringList items;
    for (QAction* a : popup->actions()) items << (a->isSeparator() ? "-" : a->objectName() + " " + a->text());
    EXPECT_EQ(items, (QStringList{"FormView1 Zeig Es wieder an", "-", "Beenden1 Beenden"}));

    showWindow();
    window->B_hideClick();
    popup->actions().at(0)->trigger();
    EXPECT_TRUE(shownWithoutIcon());
    // Asked while the window is already shown: it only comes to the front.
    popup->actions().at(0)->trigger();
    EXPECT_TRUE(shownWithoutIcon());

    window->B_hideClick();
    popup->actions().at(2)->trigger();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(window->trayIcon()->isVisible());
    EXPECT_EQ(velora::test::withoutStamp(program->Memo1().lines().back()), "Programm -> END");
}

TEST_F(TrayIconTest, MinimiertHidesOnTheFirstTickAfterTheWindowWasShown) {
    window->startUp();
    program->settings().cb_mini_start = true;
    window->SaveConfig1Click();
    // "Load Config" with "Minimiert" hides at once.
    showWindow();
    window->LoadConfig1Click();
    EXPECT_TRUE(hiddenInTray());

    // A new start: the load during start-up cannot hide yet, the window is shown as
    // usual, and the first tick hides it; later ticks leave it where the user put it.
    makeWindow();
    window->startUp();
    EXPECT_FALSE(window->trayIcon()->isVisible());
    showWindow();
    window->Timer1Timer();
    EXPECT_TRUE(hiddenInTray());
    window->FormView1Click();
    for (int tick = 2; tick <= 15; ++tick) window->Timer1Timer();
    EXPECT_TRUE(shownWithoutIcon());
    EXPECT_EQ(program->minimisedStart().tickCounter(), 11);
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrayIconTest, ATrayHostThatGoesAwayLeavesAWayBackAndOneThatComesBackShowsTheIcon) {
    window->startUp();
    showWindow();
    window->B_hideClick();
    ASSERT_TRUE(hiddenInTray());
    EXPECT_TRUE(window->tray()->watchingTray());
    EXPECT_TRUE(eventually([&] { return docked(); }));

    // While the host is there the watch changes nothing.
    window->tray()->checkTrayStillThere();
    EXPECT_TRUE(hiddenInTray());

    ASSERT_TRUE(velora::test::TrayHost::instance().stop());
    ASSERT_TRUE(eventually([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
    window->tray()->checkTrayStillThere();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->tray()->watchingTray());

    // A new host shows the icon that was asked for; a double-click on it restores.
    ASSERT_TRUE(velora::test::TrayHost::instance().start());
    ASSERT_TRUE(eventually([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
    EXPECT_TRUE(eventually([&] { return docked(); }));
    emit window->trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(shownWithoutIcon());
    EXPECT_FALSE(window->isMinimized());
}

}  // namespace
}  // namespace velora::gui
