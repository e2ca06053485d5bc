// "Speichern Test" on the page "Tools" and the menu "Hilfe" in the window: the shot
// is taken whatever "Aktiv" says and its error is shown; each help item hands its
// address to the desktop's "open".
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "GuiTestSupport.h"
#include "platform/FileIo.h"
#include "support/JpegDecoder.h"
#include "support/LogHarness.h"
#include "support/TempDir.h"
#include "tools/HelpMenu.h"

namespace velora::gui::test {
namespace {

class ToolsPageTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        makeWindow();
        window->startUp();
    }
};

TEST_F(ToolsPageTest, SpeichernTestTakesTheShotWhateverAktivSaysAndShowsItsError) {
    struct Case {
        std::string target;
        bool written;
        std::string error;
    };
    const std::string good = (dir / "test.jpg").string();
    const std::string missing = (dir / "nicht" / "test.jpg").string();
    const Case cases[] = {
        {good, true, ""},
        {missing, false,
         "Datei \"" + missing + "\" kann nicht erstellt werden. Das System kann den angegebenen Pfad nicht finden"},
    };
    ASSERT_FALSE(find<QCheckBox>("cb_ss_aktiv")->isChecked());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        errors.clear();
        screen.acquired = screen.released = 0;
        find<QLineEdit>("e_ss_file")->setText(QString::fromStdString(c.target));
        find<QPushButton>("Button1")->click();
        EXPECT_EQ(velora::test::withoutStamp(program->Memo1().lines().back()), "Speichere Screenshot -> " + c.target);
        EXPECT_EQ(fileio::exists(c.target), c.written);
        if (c.written) {
            EXPECT_EQ(velora::test::decodeJpeg(velora::test::readFileBytes(c.target)).width, 8);
        }
        EXPECT_EQ(errors, c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error});
        EXPECT_EQ(screen.released, 1);
    }
}

TEST_F(ToolsPageTest, HelpItemsHandTheirAddressesToTheDesktop) {
    for (const char* item : {"TrevlodeWebseite1", "VeloraWebHilfe1", "Feedback1"}) find<QAction>(item)->trigger();
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"www.norvex.example",
                                                      "http://www.norvex.example/Projekte/VELORA/index.html",
                                                      HelpMenu::feedbackAddress()}));
}

}  // namespace
}  // namespace velora::gui::test
