#include "app/EventLog.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace velora {

namespace {
constexpr int kLowestLimit = 10;
}

EventLog::EventLog(TextView& view, UiHost& ui, const Clock& clock, const Locale& locale,
                   const EventLogSources& sources)
    : view_(view), ui_(ui), clock_(clock), locale_(locale), sources_(sources) {}

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

namespace {

bool wordByte(const std::string& text, std::size_t at) {
    return at < text.size() && std::isalnum(static_cast<unsigned char>(text[at])) != 0;
}

// A short password counts only between bytes that are no letters or digits.
bool standsAlone(const std::string& text, std::size_t at, std::size_t length) {
    return (at == 0 || !wordByte(text, at - 1)) && !wordByte(text, at + length);
}

}  // namespace

std::string EventLog::masked(const std::string& text, std::vector<std::string> passwords) {
    passwords.erase(std::remove(passwords.begin(), passwords.end(), std::string()), passwords.end());
    if (passwords.empty()) return text;
    // The longer first: one password may contain the other.
    std::sort(passwords.begin(), passwords.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto hit = std::find_if(passwords.begin(), passwords.end(), [&](const std::string& p) {
            return text.compare(at, p.size(), p) == 0 &&
                   (p.size() >= kShortPassword || standsAlone(text, at, p.size()));
        });
        if (hit == passwords.end()) {
            out += text[at++];
        } else {
            out += kPasswordMask;
            at += hit->size();
        }
    }
    return out;
}

void EventLog::show(const std::string& line) {
    const int limit = limitFromText(sources_.limitText());
    if (static_cast<long long>(view_.lineCount()) > limit) view_.removeFirstLine();
    view_.appendLine(line);
    if (echo_) echo_->echoLine(line);
}

void EventLog::write(const std::string& text) {
    const DateTime now = clock_.now();
    const std::string stamp = locale_.shortDate(now) + " " + locale_.longTime(now) + " ";
    // Read at every line: the passwords may have been edited since the last one.
    const std::vector<std::string> passwords = sources_.passwords();
    const std::string line = stamp + oneLine(masked(text, passwords));
    show(line);

    // Events served here may log lines of their own; they reach the file first.
    ui_.pumpEvents();

    const std::string file = sources_.fileName();
    try {
        const int rotateFailure = file_.append(file, {}, line + "\r\n", sources_.userId(), sources_.rotateBytes());
        fileFailing_ = false;
        // The line is in the file all the same; the move is tried again with the next.
        if (rotateFailure != 0 && !rotateFailing_)
            show(stamp + oneLine(masked("Log Datei " + file + " kann nicht rotiert werden: " +
                                            IoError::textFor(rotateFailure), passwords)));
        rotateFailing_ = rotateFailure != 0;
    } catch (const IoError& e) {
        if (fileFailing_) return;
        fileFailing_ = true;
        show(stamp + oneLine(masked("Log Datei " + file + " kann nicht geschrieben werden: " + e.what(), passwords)));
    }
}

}  // namespace velora
