#include "GuiTestSupport.h"

#include <cstdlib>

#include "gui/Guarded.h"
#include "platform/Locale.h"

namespace velora::gui::test {

QApplication& application() {
    static QApplication* app = [] {
        // One screen of the size the window gets under `make run`, so its designed place
        // and size lie on it as they do there.
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VELORA_TEST_SCREEN);
        static int argc = 1;
        static char name[] = "test_gui";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

void GuiTest::SetUp() {
    application();
    std::string pattern = (std::filesystem::temp_directory_path() / "velora-gui-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    setErrorSink(this);
}

void GuiTest::TearDown() {
    EXPECT_EQ(dialogs.unused(), 0u) << "a scripted dialog never opened";
    window.reset();
    program.reset();
    setErrorSink(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void GuiTest::makeWindow(const std::string& home) {
    window.reset();
    program.reset();
    env = std::make_unique<FixedEnvironment>(
        std::map<std::string, std::string>{{"temp", dir.string()}, {"COMPUTERNAME", "testpc"}, {"OS", "Linux"}},
        home.empty() ? dir.string() : home);
    program = std::make_unique<Program>(
        Program::Services{*env, clock, Locale::german(), ui, (dir / "registry.sqlite3").string(), systemInfo, screen,
                          shell, network.resolver, network.connector, network.icmpSockets});
    window = std::make_unique<MainWindow>(*program, ui);
    window->setProcessEnd(*this);
}

}  // namespace velora::gui::test
