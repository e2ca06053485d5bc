#pragma once
// The user's regional formats: short date, long time, decimal and thousands
// separators. Read from LC_TIME / LC_NUMERIC at start; tests use german() so they
// do not depend on the locales installed on the machine.
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace velora {

class Locale {
public:
    // Patterns use strftime conversions (%d %m %Y %H %M %S ...).
    Locale(std::string shortDatePattern, std::string longTimePattern, char decimalSeparator,
           std::string thousandsSeparator);

    static Locale german();   // 08.12.2026, 14:05:09, ',' and '.'
    static Locale system();   // from the process locale (setlocale(LC_ALL, "") is done here)

    std::string shortDate(const DateTime& t) const;
    std::string longTime(const DateTime& t) const;
    // A duration as "HH:MM:SS" in every locale (a duration is no time of day: a 12-hour
    // clock would show one second as "12:00:01 AM"). Hours go past 23; negative is 0.
    static std::string durationAsTime(std::int64_t milliseconds);
    // 1234567 -> "1.234.567" (German).
    std::string withThousands(std::uint64_t value) const;
    // 12.345 -> "12,35" (German): at least one digit before, exactly two after.
    std::string fixed2(double value) const;

    char decimalSeparator() const { return decimal_; }

private:
    std::string datePattern_;
    std::string timePattern_;
    char decimal_;
    std::string thousands_;
};

}  // namespace velora
