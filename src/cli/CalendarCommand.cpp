#include "cli/CalendarCommand.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iomanip>
#include <optional>
#include <ostream>

#include "cli/CliCommands.h"
#include "cli/ConfigCommand.h"
#include "schedule/CalendarStore.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace velora::cli {

std::string calendarHelp() {
    return "Usage: velora-cli calendar                                 show the planned minutes\n"
           "       velora-cli calendar mark DAY HH:MM[-HH:MM] [every N]\n"
           "       velora-cli calendar clear DAY|all\n"
           "\n"
           "The weekly calendar of the page \"Zeitsteuerung\": runs start at the marked\n"
           "minutes when the mode is \"feste Zeiten\" (config Modus_feste_Zeit 1) and\n"
           "\"Aktiv\" is set (config Autostart 1).\n"
           "DAY is the weekday number 1 to 7 (1 = Sonntag, 2 = Montag, ... 7 = Samstag), the\n"
           "day name as the program spells it (Sonntag, Montag, Dinstag, Mitwoch,\n"
           "Donnerstag, Freitag, Samstag) or all.\n"
           "mark plans the minute HH:MM, or every minute from HH:MM to HH:MM (both\n"
           "included); with \"every N\" every N-th minute of the range, from its first.\n"
           "clear removes every marked minute of the day (or of the week); the counters of\n"
           "files and bytes sent stay.\n"
           "The calendar is stored as \"Kalender Speichern\" writes it.\n"
           "A running daemon takes a change at its next SIGHUP (systemctl --user reload velora).\n";
}

namespace {

struct Failure {
    std::string text;
};

std::string hhmm(int minute) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minute / 60, minute % 60);
    return text;
}

std::optional<int> wholeNumber(const std::string& text) {
    int n = 0;
    const char* last = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), last, n);
    if (text.empty() || error != std::errc() || stop != last) return std::nullopt;
    return n;
}

bool sameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

// The days a DAY argument names: one, or all seven.
std::vector<int> parseDays(const std::string& text) {
    if (sameLetters(text, "all")) return {1, 2, 3, 4, 5, 6, 7};
    if (const auto n = wholeNumber(text)) {
        if (WeekCalendar::validDay(*n)) return {*n};
        throw Failure{"DAY " + text + " is not a weekday number from 1 (Sonntag) to 7 (Samstag)"};
    }
    std::vector<std::string> names;
    for (int d = 1; d <= 7; ++d) {
        if (sameLetters(text, kDayNames[static_cast<std::size_t>(d)])) return {d};
        names.emplace_back(kDayNames[static_cast<std::size_t>(d)]);
    }
    throw Failure{unknownNameMessage("day", text, nearestNames(text, names)) +
                  "; a day is 1 to 7, Sonntag ... Samstag, or all"};
}

int parseTime(const std::string& text) {
    const auto colon = text.find(':');
    if (colon != std::string::npos && colon >= 1 && colon <= 2 && text.size() - colon == 3) {
        const auto h = wholeNumber(text.substr(0, colon));
        const auto m = wholeNumber(text.substr(colon + 1));
        if (h && m && *h >= 0 && *h <= 23 && *m >= 0 && *m <= 59) return *h * 60 + *m;
    }
    throw Failure{"\"" + text + "\" is not a time HH:MM from 00:00 to 23:59"};
}

struct Mark {
    std::vector<int> days;
    int first = 0;
    int last = 0;
    int every = 1;
};

Mark parseMark(const std::vector<std::string>& words) {
    if (words.size() != 2 && words.size() != 4)
        throw Failure{"calendar mark takes DAY HH:MM[-HH:MM] [every N]"};
    Mark mark;
    mark.days = parseDays(words[0]);
    const std::string& range = words[1];
    const auto dash = range.find('-');
    mark.first = parseTime(range.substr(0, dash));
    mark.last = dash == std::string::npos ? mark.first : parseTime(range.substr(dash + 1));
    if (mark.last < mark.first)
        throw Failure{"the range " + range + " ends before it begins (a range stays within one day)"};
    if (words.size() == 4) {
        if (words[2] != "every") throw Failure{"expected \"every N\" after the time, not \"" + words[2] + "\""};
        const auto n = wholeNumber(words[3]);
        if (!n || *n < 1 || *n >= kMinutesPerDay)
            throw Failure{"every takes a number of minutes from 1 to 1439, not \"" + words[3] + "\""};
        mark.every = *n;
    }
    return mark;
}

}  // namespace

std::string compactMinutes(const WeekCalendar::Day& day) {
    std::vector<int> marked;
    for (int m = 0; m < kMinutesPerDay; ++m)
        if (day[static_cast<std::size_t>(m)] > 0) marked.push_back(m);
    if (marked.empty()) return "none";
    std::string text;
    std::size_t i = 0;
    while (i < marked.size()) {
        if (!text.empty()) text += ", ";
        // A run of at least three minutes at equal steps becomes a range.
        const std::size_t n = marked.size();
        if (i + 2 < n && marked[i + 1] - marked[i] == marked[i + 2] - marked[i + 1]) {
            const int step = marked[i + 1] - marked[i];
            std::size_t j = i + 2;
            while (j + 1 < n && marked[j + 1] - marked[j] == step) ++j;
            text += hhmm(marked[i]) + "-" + hhmm(marked[j]);
            if (step > 1) text += " every " + std::to_string(step) + " min";
            i = j + 1;
        } else {
            text += hhmm(marked[i]);
            ++i;
        }
    }
    return text;
}

ParsedMinutes parseCompactMinutes(const std::string& text) {
    ParsedMinutes parsed;
    if (text == "none") return parsed;
    std::vector<bool> seen(kMinutesPerDay, false);
    try {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find(", ", start), text.size());
            const std::string part = text.substr(start, end - start);
            std::vector<std::string> words;
            std::size_t at = 0;
            while (at < part.size()) {
                const std::size_t space = std::min(part.find(' ', at), part.size());
                words.push_back(part.substr(at, space - at));
                at = space + 1;
            }
            if (words.size() == 4 && words[3] == "min") words.pop_back();   // "every 5 min"
            const Mark mark = parseMark([&] {
                std::vector<std::string> w{"1"};
                w.insert(w.end(), words.begin(), words.end());
                return w;
            }());
            for (int m = mark.first; m <= mark.last; m += mark.every) {
                if (!seen[static_cast<std::size_t>(m)]) parsed.minutes.push_back(m);
                seen[static_cast<std::size_t>(m)] = true;
            }
            start = end + 2;
        }
    } catch (const Failure& f) {
        parsed.minutes.clear();
        parsed.error = f.text;
    }
    return parsed;
}

int runCalendar(const std::vector<std::string>& args, const AdminContext& context) {
    std::optional<Mark> mark;
    std::vector<int> clearDays;
    try {
        if (!args.empty()) {
            const std::vector<std::string> words(args.begin() + 1, args.end());
            if (args[0] == "mark") {
                mark = parseMark(words);
            } else if (args[0] == "clear") {
                if (words.size() != 1) throw Failure{"calendar clear takes DAY or all"};
                clearDays = parseDays(words[0]);
            } else {
                throw Failure{"Unknown calendar command: " + args[0] + " (mark or clear)"};
            }
        }
    } catch (const Failure& f) {
        context.err << f.text << "\n(velora-cli calendar --help explains the command)\n";
        return kFailed;
    }

    ensureStore(context);
    StoredSettings stored = readStoredSettings(context);
    WeekCalendar calendar(stored.counters);
    if (context.registry.keyExists(kCalendarKey)) {
        Registry::Key key = context.registry.openKeyReadOnly(kCalendarKey);
        CalendarStore::readDays(key, calendar);
    }
    if (!mark && clearDays.empty()) {
        int total = 0;
        for (int d = 1; d <= 7; ++d) {
            total += calendar.plannedCount(d);
            context.out << std::left << std::setw(10) << kDayNames[static_cast<std::size_t>(d)] << " (" << d
                        << ")  " << std::right << std::setw(4) << calendar.plannedCount(d) << "  "
                        << compactMinutes(calendar.minutes(d)) << '\n';
        }
        context.out << "Planned minutes in the week: " << total << '\n';
        return kOk;
    }
    if (mark) {
        for (int d : mark->days)
            for (int m = mark->first; m <= mark->last; m += mark->every)
                if (!calendar.marked(d, m)) calendar.setState(d, m, kPlanned);
    }
    for (int d : clearDays) calendar.minutes(d).fill(kFree);
    {
        Registry::Key key = context.registry.openKey(kCalendarKey);
        CalendarStore::writeDays(key, calendar);
        key.close();
    }
    const std::vector<int>& days = mark ? mark->days : clearDays;
    for (int d : days)
        context.out << kDayNames[static_cast<std::size_t>(d)] << ": " << compactMinutes(calendar.minutes(d)) << '\n';
    tellDaemon(context.out);
    return kOk;
}

}  // namespace velora::cli
