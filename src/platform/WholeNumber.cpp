#include "platform/WholeNumber.h"

#include <climits>

#include "platform/Errors.h"

namespace velora {

int parseWholeNumber(const std::string& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= INT_MAX; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    if (i != text.size() || i == firstDigit || value > INT_MAX) {
        throw GeneralError("'" + text + "' ist kein gültiger Integerwert");
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace velora
