#include "app/EventLog.h"

#include <cctype>
#include <charconv>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace velora {

namespace {
constexpr int kLowestLimit = 10;
}

EventLog::EventLog(TextView& view, UiHost& ui, const Clock& clock, const Locale& locale, Sources sources)
    : view_(view), ui_(ui), clock_(clock), locale_(locale), sources_(std::move(sources)) {}

int EventLog::limitFromText(const std::string& text) {
    // Only a whole number counts; the spin field may hold anything while it is edited.
    std::size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    if (b == e) return kLowestLimit;
    const char* first = text.data() + b;
    // One sign at most: "+-5" is no whole number.
    if (*first == '+') {
        ++first;
        if (first != text.data() + e && *first == '-') return kLowestLimit;
    }
    int value = 0;
    auto [ptr, ec] = std::from_chars(first, text.data() + e, value);
    if (ec != std::errc() || ptr != text.data() + e) return kLowestLimit;
    return value;
}

std::string EventLog::oneLine(const std::string& text) {
    if (text.find_first_of("\r\n") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void EventLog::show(const std::string& line) {
    const int limit = limitFromText(sources_.limitText ? sources_.limitText() : std::string());
    if (static_cast<long long>(view_.lineCount()) > limit) view_.removeFirstLine();
    view_.appendLine(line);
    if (echo_) echo_(line);
}

void EventLog::write(const std::string& text) {
    const DateTime now = clock_.now();
    const std::string stamp = locale_.shortDate(now) + " " + locale_.longTime(now) + " ";
    const std::string line = stamp + oneLine(text);
    show(line);

    // Events served here may log lines of their own; they reach the file first.
    ui_.pumpEvents();

    const std::string file = sources_.fileName ? sources_.fileName() : std::string();
    try {
        fileio::append(file, line + "\r\n");
        fileFailing_ = false;
    } catch (const IoError& e) {
        if (fileFailing_) return;
        fileFailing_ = true;
        show(stamp + oneLine("Log Datei " + file + " kann nicht geschrieben werden: " + e.what()));
    }
}

}  // namespace velora
