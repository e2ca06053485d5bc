#include "settings/Settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/Paths.h"

namespace velora {

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

int SpinField::value() const {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    // from_chars takes a leading minus but not a plus.
    if (begin < end && text[begin] == '+') {
        ++begin;
        if (begin < end && text[begin] == '-') return minimum;
    }
    if (begin == end) return minimum;
    int number = 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    const auto [stop, error] = std::from_chars(first, last, number);
    if (error != std::errc() || stop != last) return minimum;
    return number;
}

void SpinField::setValue(int v) {
    // std::clamp needs minimum <= maximum; a field set up the other way round keeps its minimum.
    const int clamped = maximum < minimum ? minimum : std::clamp(v, minimum, maximum);
    text = std::to_string(clamped);
}

Settings Settings::defaults(const Environment& env) {
    Settings s;
    const std::string home = env.homeFolder();
    s.E_logfile = paths::join(home, "VELORA.Log");
    s.e_Transfer_Log = paths::join(home, "Transfer_Log.csv");
    s.e_ss_file = paths::join(home, "Screenshot.jpg");
    return s;
}

}  // namespace velora
