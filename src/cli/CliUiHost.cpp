#include "cli/CliUiHost.h"

#include <ostream>

namespace velora::cli {

void CliUiHost::showMessage(const std::string& text) { err_ << text << '\n'; }

bool CliUiHost::confirm(const std::string&, const std::string& text) {
    err_ << text << " -> Nein\n";
    return false;
}

}  // namespace velora::cli
