#pragma once
// The menu "Hilfe": the maker's web site, the program's web help and a prepared
// feedback mail, each handed to the desktop's "open" as one address.
#include <string>

#include "platform/Shell.h"

namespace velora {

class HelpMenu {
public:
    explicit HelpMenu(Shell& shell) : shell_(shell) {}

    void TrevlodeWebseite1Click() { shell_.open(webSiteAddress()); }
    void VeloraWebHilfe1Click() { shell_.open(webHelpAddress()); }
    void Feedback1Click() { shell_.open(feedbackAddress()); }

    // Caption of the first item: the maker's domain, two blanks, "Webseite".
    static std::string webSiteCaption();
    // The maker's web host, without a scheme.
    static std::string webSiteAddress();
    static std::string webHelpAddress();
    // A mail link with no main recipient: the maker is a copy recipient, subject and
    // body keep their blanks and umlauts, line breaks are "%0D%0A".
    static std::string feedbackAddress();

private:
    Shell& shell_;
};

}  // namespace velora
