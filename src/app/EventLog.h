#pragma once
// The one logging routine. Each call shows "date time text" as the last line of the
// log view (dropping the first line when the view holds more than its limit), lets
// pending window messages run, and then appends the same line with CR LF to the log
// file, which it opens and closes within the call.
//
// One call is one line: a CR or LF inside the text (a table field, a server reply) is
// written as "\r" or "\n", so nobody can forge lines without date and time. Writing
// the file never makes the caller fail: an unplugged disk or a full home folder must
// not stop the exports. The line still reaches the view and the echo; the failure is
// reported there once, and the file is tried again at the next line.
#include <functional>
#include <string>

#include "app/TextView.h"
#include "app/UiHost.h"
#include "platform/Clock.h"
#include "platform/Locale.h"

namespace velora {

class EventLog {
public:
    struct Sources {
        std::function<std::string()> fileName;   // E_logfile, read anew at every call
        std::function<std::string()> limitText;  // se_max_log_zeilen; not a number: 10
    };

    EventLog(TextView& view, UiHost& ui, const Clock& clock, const Locale& locale, Sources sources);

    void write(const std::string& text);
    void operator()(const std::string& text) { write(text); }

    // The view limit as the text gives it: a whole number, or 10 (the lower bound).
    static int limitFromText(const std::string& text);

    // Observers see every line as it is written (velora-cli echoes them to stdout).
    void setEcho(std::function<void(const std::string& line)> echo) { echo_ = std::move(echo); }

    // CR and LF as the two characters "\r" and "\n"; every other byte as it is.
    static std::string oneLine(const std::string& text);

private:
    void show(const std::string& line);

    TextView& view_;
    UiHost& ui_;
    const Clock& clock_;
    const Locale& locale_;
    Sources sources_;
    std::function<void(const std::string&)> echo_;
    bool fileFailing_ = false;
};

}  // namespace velora
