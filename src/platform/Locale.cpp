#include "platform/Locale.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <langinfo.h>

namespace velora {

namespace {

int dayOfYear(int year, int month, int day) {
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int index = std::clamp(month, 1, 12) - 1;
    return kBefore[index] + (leap && month > 2 ? 1 : 0) + day - 1;
}

// Builds the broken-down time from the fields themselves, so the text never depends
// on the process time zone or on what mktime would make of the date.
tm toTm(const DateTime& t) {
    tm parts = brokenDown(t);
    parts.tm_wday = ((t.weekday - 1) % 7 + 7) % 7;
    parts.tm_yday = dayOfYear(t.year, t.month, t.day);
    return parts;
}

std::string format(const std::string& pattern, const DateTime& t) {
    if (pattern.empty()) return {};
    const tm parts = toTm(t);
    // strftime gives 0 both for "too small" and for an empty result; a leading
    // marker keeps the two apart.
    const std::string marked = "#" + pattern;
    std::string buffer(64 + pattern.size() * 8, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::size_t n = std::strftime(buffer.data(), buffer.size(), marked.c_str(), &parts);
        if (n > 0) return buffer.substr(1, n - 1);
        buffer.resize(buffer.size() * 4);
    }
    return {};
}

}  // namespace

Locale::Locale(std::string shortDatePattern, std::string longTimePattern, char decimalSeparator,
               std::string thousandsSeparator)
    : datePattern_(std::move(shortDatePattern)),
      timePattern_(std::move(longTimePattern)),
      decimal_(decimalSeparator),
      thousands_(std::move(thousandsSeparator)) {}

Locale Locale::german() { return Locale("%d.%m.%Y", "%H:%M:%S", ',', "."); }

Locale Locale::system() {
    // Read once: the user's formats do not change while the program runs.
    static const Locale cached = [] {
        std::setlocale(LC_ALL, "");
        std::string datePattern = nl_langinfo(D_FMT);
        std::string timePattern = nl_langinfo(T_FMT);
        if (datePattern.empty()) datePattern = "%m/%d/%y";
        if (timePattern.empty()) timePattern = "%H:%M:%S";
        char decimal = '.';
        std::string thousands;
        if (const lconv* conv = std::localeconv()) {
            // A multi-byte decimal point (none in practice) falls back to '.'.
            if (conv->decimal_point != nullptr && std::strlen(conv->decimal_point) == 1)
                decimal = conv->decimal_point[0];
            if (conv->thousands_sep != nullptr) thousands = conv->thousands_sep;
        }
        // Numbers written for machines (protocol lines, stored values) must keep the
        // '.' whatever the user's locale says; the user's separators live in Locale.
        std::setlocale(LC_NUMERIC, "C");
        return Locale(datePattern, timePattern, decimal, thousands);
    }();
    return cached;
}

std::string Locale::shortDate(const DateTime& t) const { return format(datePattern_, t); }

std::string Locale::longTime(const DateTime& t) const { return format(timePattern_, t); }

std::string Locale::durationAsTime(std::int64_t milliseconds) {
    const std::int64_t seconds = milliseconds < 0 ? 0 : milliseconds / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string Locale::withThousands(std::uint64_t value) const {
    const std::string digits = std::to_string(value);
    std::string text;
    text.reserve(digits.size() + digits.size() / 3 * thousands_.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += thousands_;
        text += digits[i];
    }
    return text;
}

std::string Locale::fixed2(double value) const {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // Round the decimal text, not the binary value: 12.345 is stored as
    // 12.34499999..., yet the user typed 12.345 and expects 12.35. Fifteen significant
    // digits are what a double holds reliably; rounding is half away from zero.
    char scientific[64];
    std::snprintf(scientific, sizeof scientific, "%.14e", std::fabs(value));
    const std::string text = scientific;
    const auto ePos = text.find('e');
    const std::string mantissa = text.substr(0, 1) + text.substr(2, ePos - 2);
    const int exponent = std::atoi(text.c_str() + ePos + 1);

    std::string whole;
    std::string fraction;
    if (exponent >= 0) {
        const auto intDigits = static_cast<std::size_t>(exponent) + 1;
        whole = mantissa.substr(0, std::min(intDigits, mantissa.size()));
        whole.append(intDigits > mantissa.size() ? intDigits - mantissa.size() : 0, '0');
        fraction = intDigits < mantissa.size() ? mantissa.substr(intDigits) : std::string();
    } else {
        whole = "0";
        fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
    }
    fraction.append(3, '0');

    std::string digits = whole + fraction.substr(0, 2);
    if (fraction[2] >= '5') {
        auto i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) digits.insert(digits.begin(), '1');
        else ++digits[i - 1];
    }
    const bool allZero = digits.find_first_not_of('0') == std::string::npos;
    std::string result = (value < 0 && !allZero) ? "-" : "";
    result += digits.substr(0, digits.size() - 2);
    result += decimal_;
    result += digits.substr(digits.size() - 2);
    return result;
}

}  // namespace velora
