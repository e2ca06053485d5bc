#pragma once
// The progress of the file being stored, on one terminal line that is redrawn in
// place (name, bytes so far of the whole, per cent, rate), as the common transfer tools
// show it. Only for a terminal: a file or a pipe gets the log lines alone. It never
// reaches the event log.
#include <cstdint>
#include <iosfwd>
#include <string>

#include "app/UiHost.h"
#include "platform/Clock.h"

namespace velora::cli {

class ProgressLine {
public:
    // Redraws at most this often while a store goes on; its start and end always show.
    static constexpr std::int64_t kRedrawMs = 200;

    ProgressLine(std::ostream& terminal, const Clock& clock) : terminal_(terminal), clock_(clock) {}

    void update(const TransferProgress& progress);
    // Takes the line away before other output goes to the same terminal; the next
    // update draws it again.
    void clear();

    // "1.5 MB" and the like (units of 1024).
    static std::string amount(std::int64_t bytes);
    // The line's text, without the carriage return.
    static std::string text(const TransferProgress& progress, std::int64_t elapsedMs);

private:
    std::ostream& terminal_;
    const Clock& clock_;
    bool shown_ = false;
    std::string name_;
    std::int64_t startMs_ = 0;
    std::int64_t drawnMs_ = 0;
};

}  // namespace velora::cli
