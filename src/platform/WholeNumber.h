#pragma once
// A setting's text read as a whole number the way the program's conversion reads it:
// an optional sign and decimal digits, nothing else (no blanks), within 32 bits.
// Anything else raises GeneralError "'<text>' ist kein gültiger Integerwert".
#include <string>

namespace velora {

int parseWholeNumber(const std::string& text);

}  // namespace velora
