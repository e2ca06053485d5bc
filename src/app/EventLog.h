#pragma once
// The one logging routine. Each call shows "date time text" as the last line of the
// log view (dropping the first line when the view holds more than its limit), lets
// pending window messages run, and then appends the same line with CR LF to the log
// file, which it opens and closes within the call. A file that cannot be written
// raises IoError after the line is already in the view.
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

private:
    TextView& view_;
    UiHost& ui_;
    const Clock& clock_;
    const Locale& locale_;
    Sources sources_;
    std::function<void(const std::string&)> echo_;
};

}  // namespace velora
