#pragma once
// A main window over a Program with a private registry file, a fixed environment in a
// scratch folder, a hand-moved clock and the German formats, on Qt's offscreen
// platform. Errors shown by the window are collected instead of blocking in a box, and
// its dialogs are answered from a script instead of being shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gui/Guarded.h"
#include "gui/MainWindow.h"
#include "gui/QtUiHost.h"
#include "ScriptedDialogs.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "program/Program.h"
#include "support/FakeScreen.h"
#include "support/RecordingShell.h"
#include "support/TestNetwork.h"

namespace velora::gui::test {

// The one QApplication of the test process, made on first use (gtest_main owns main).
QApplication& application();

// The fixture records what the window reports instead of showing it, and counts the
// ends of the process instead of ending it.
class GuiTest : public ::testing::Test, public ErrorSink, public ProcessEnd {
protected:
    void reportError(const std::string& text) override { errors.push_back(text); }
    void endProcess() override { ++ended; }

    void SetUp() override;
    void TearDown() override;

    // A fresh Program and window; `home` defaults to the scratch folder.
    void makeWindow(const std::string& home = {});
    template <class T>
    T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    std::filesystem::path dir;
    std::unique_ptr<FixedEnvironment> env;
    // What the registry file answers for the machine keys (empty unless a test fills it).
    SystemInfo systemInfo;
    ManualClock clock;
    ScriptedDialogs dialogs;
    QtUiHost ui{dialogs};
    velora::test::FakeScreen screen;
    velora::test::RecordingShell shell;
    velora::test::TestNetwork network;
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
    std::vector<std::string> errors;
    int ended = 0;
};

}  // namespace velora::gui::test
