// The menu "Hilfe": each item hands exactly one address to the desktop's "open".
#include <gtest/gtest.h>

#include "support/RecordingShell.h"
#include "tools/HelpMenu.h"

namespace velora {
namespace {

TEST(HelpMenuTest, EachItemOpensItsAddress) {
    // The feedback mail byte for byte: no main recipient, blanks and umlauts (UTF-8)
    // as they are, CR LF as "%0D%0A".
    const std::string feedback =
        "mailto:?cc=feedback@norvex.example&subject=Feedback zu VELORA 1.3.7.34&body="
        "Hallo,%0D%0A%0D%0A"
        "Ich m\xC3\xB6" "chte eine R\xC3\xBC" "ckmeldung zu VELORA 1.3.7.34 geben.%0D%0A%0D%0A%0D%0A"
        "Ich Habe folgendes Problem:%0D%0A%0D%0A%0D%0A"
        "Vorschl\xC3\xA4" "ge und Ideen:%0D%0A%0D%0A%0D%0A"
        "Mit freundlichen Gr\xC3\xBC\xC3\x9F" "en,%0D%0A";
    struct Case {
        void (HelpMenu::*item)();
        std::string address;
    };
    const Case cases[] = {
        {&HelpMenu::TrevlodeWebseite1Click, "www.norvex.example"},
        {&HelpMenu::VeloraWebHilfe1Click, "http://www.norvex.example/Projekte/VELORA/index.html"},
        {&HelpMenu::Feedback1Click, feedback},
    };
    for (const Case& c : cases) {
        test::RecordingShell shell;
        HelpMenu menu(shell);
        (menu.*c.item)();
        EXPECT_EQ(shell.opened, std::vector<std::string>{c.address});
    }
    EXPECT_EQ(HelpMenu::webSiteCaption(), "norvex.example  Webseite");
}

}  // namespace
}  // namespace velora
