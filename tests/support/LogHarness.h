#pragma once
// A real event log as the program builds it (text view, quiet window host, a clock that
// stands still, German formats) writing to a file in a scratch folder, and the texts of
// its lines without their "dd.mm.yyyy hh:mm:ss " stamp, so tests compare what a person
// reads. Header only: it needs the app part, which not every test executable links.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "app/EventLog.h"
#include "app/TextView.h"
#include "support/QuietUiHost.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "support/TempDir.h"

namespace velora::test {

// "08.12.2026 14:05:09 text" -> "text". A line without that stamp comes back whole, so a
// missing or malformed stamp shows up in the comparison instead of being cut away.
inline std::string withoutStamp(const std::string& line) {
    static const std::string shape = "00.00.0000 00:00:00 ";
    if (line.size() < shape.size()) return line;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (shape[i] == '0' ? !digit : line[i] != shape[i]) return line;
    }
    return line.substr(shape.size());
}

// The view's lines without their stamps.
template <class View>
std::vector<std::string> textsOf(const View& view) {
    std::vector<std::string> out;
    for (const auto& line : view.lines()) out.push_back(withoutStamp(line));
    return out;
}

inline bool contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

inline bool containsStartOf(const std::vector<std::string>& texts, const std::string& prefix) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
}

struct LogHarness : EventLogSources, EventLog::Echo {
    // `limitText` is the view limit as the settings give it.
    explicit LogHarness(std::string limitText = "600") : limit(std::move(limitText)) {
        log.setEcho(this);
    }
    LogHarness(const LogHarness&) = delete;
    LogHarness& operator=(const LogHarness&) = delete;

    std::string fileName() const override { return logFile; }
    std::string limitText() const override { return limit; }
    std::vector<std::string> passwords() const override { return secrets; }
    unsigned userId() const override { return ::geteuid(); }
    void echoLine(const std::string& line) override { lines.push_back(withoutStamp(line)); }
    std::uint64_t rotateBytes() const override { return rotateAt; }

    bool logged(const std::string& text) const { return contains(lines, text); }
    bool loggedStartingWith(const std::string& prefix) const { return containsStartOf(lines, prefix); }
    // Texts logged from index `from` on.
    std::vector<std::string> linesFrom(std::size_t from) const {
        return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end()};
    }

    TempDir dir;
    TextView view;
    QuietUiHost ui;
    ManualClock clock;
    Locale locale = Locale::german();
    std::string logFile = dir.file("VELORA.Log");
    std::string limit;
    std::vector<std::string> secrets;   // the passwords the log masks
    std::uint64_t rotateAt = 0;         // "Log_Rotate_KB" in bytes
    EventLog log{view, ui, clock, locale, *this};
    // Every text logged, in order and without its stamp (the view may drop old lines).
    std::vector<std::string> lines;
};

}  // namespace velora::test
