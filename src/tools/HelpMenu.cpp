#include "tools/HelpMenu.h"

#include "app/ClientIdentity.h"
#include "settings/Settings.h"

namespace velora {

namespace {

std::string lineBreaks(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += "%0D%0A";
    return out;
}

}  // namespace

std::string HelpMenu::webSiteCaption() { return std::string(kMakerDomain) + "  Webseite"; }

std::string HelpMenu::webSiteAddress() { return kMakerWebHost; }

std::string HelpMenu::webHelpAddress() {
    return std::string("http://") + kMakerWebHost + "/Projekte/VELORA/index.html";
}

std::string HelpMenu::feedbackAddress() {
    const std::string banner = kVersionBanner;
    std::string a = "mailto:";
    a += std::string("?cc=") + kFeedbackAddress;
    a += "&subject=Feedback zu " + banner;
    a += "&body=";
    a += "Hallo," + lineBreaks(2);
    a += "Ich möchte eine Rückmeldung zu " + banner + " geben." + lineBreaks(3);
    a += "Ich Habe folgendes Problem:" + lineBreaks(3);
    a += "Vorschläge und Ideen:" + lineBreaks(3);
    a += "Mit freundlichen Grüßen," + lineBreaks(1);
    return a;
}

}  // namespace velora
