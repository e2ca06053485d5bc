#pragma once
// The one logging routine. Each call shows "date time text" as the last line of the
// log view (dropping the first line when the view holds more than its limit), lets
// pending window messages run, and then appends the same line with CR LF to the log
// file, which stays open between lines while its name still leads to it
// (fileio::KeptLog).
//
// One call is one line: a CR or LF inside the text (a table field, a server reply) is
// written as "\r" or "\n", so nobody can forge lines without date and time. Writing
// the file never makes the caller fail: an unplugged disk or a full home folder must
// not stop the exports. The line still reaches the view and the echo; the failure is
// reported there once, and the file is tried again at the next line. The file must
// be a plain file of the user's (see fileio::appendToLog): a fifo, a link or another
// account's file is such a failure, and the run goes on.
//
// The FTP and proxy passwords never reach the view, the echo or the file, whoever put
// them into the text (a server that repeats "PASS <password>" in its reply): each is
// replaced by kPasswordMask. A password shorter than kShortPassword is masked only
// where it stands as a word of its own, so that a password "1" leaves row numbers and
// byte counts readable; a longer one wherever it occurs.
#include <cstdint>
#include <string>
#include <vector>

#include "app/TextView.h"
#include "app/UiHost.h"
#include "platform/Clock.h"
#include "platform/FileIo.h"
#include "platform/Locale.h"

namespace velora {

inline constexpr const char* kPasswordMask = "********";
inline constexpr std::size_t kShortPassword = 4;

// What the log reads anew at every line, so an edit in the window counts at once.
class EventLogSources {
public:
    virtual ~EventLogSources() = default;
    virtual std::string fileName() const = 0;    // E_logfile
    virtual std::string limitText() const = 0;   // se_max_log_zeilen; not a number: 10
    // The texts never to be logged: the FTP and the proxy password.
    virtual std::vector<std::string> passwords() const = 0;
    // The account the log file must belong to.
    virtual unsigned userId() const = 0;
    // The size at which the file is moved aside and a new one begun; 0: never.
    virtual std::uint64_t rotateBytes() const { return 0; }
};

class EventLog {
public:
    EventLog(TextView& view, UiHost& ui, const Clock& clock, const Locale& locale, const EventLogSources& sources);

    void write(const std::string& text);
    void operator()(const std::string& text) { write(text); }

    // The view limit as the text gives it: a whole number, or 10 (the lower bound).
    static int limitFromText(const std::string& text);

    // Sees every line as it is written (velora-cli echoes them to stdout).
    class Echo {
    public:
        virtual ~Echo() = default;
        virtual void echoLine(const std::string& line) = 0;
    };
    // One echo; nullptr for none.
    void setEcho(Echo* echo) { echo_ = echo; }

    // CR and LF as the two characters "\r" and "\n"; every other byte as it is.
    static std::string oneLine(const std::string& text);
    // The text with every password replaced by kPasswordMask (see above).
    static std::string masked(const std::string& text, std::vector<std::string> passwords);

private:
    void show(const std::string& line);

    TextView& view_;
    UiHost& ui_;
    const Clock& clock_;
    const Locale& locale_;
    const EventLogSources& sources_;
    Echo* echo_ = nullptr;
    fileio::KeptLog file_;
    bool fileFailing_ = false;
    bool rotateFailing_ = false;
};

}  // namespace velora
