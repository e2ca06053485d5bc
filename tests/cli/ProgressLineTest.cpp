#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "cli/ProgressLine.h"

using namespace velora;

namespace {

TEST(ProgressLineTest, RedrawsInPlaceAtMostEveryFifthOfASecondAndEndsWithItsLine) {
    ManualClock clock;
    std::ostringstream terminal;
    cli::ProgressLine line(terminal, clock);
    const std::int64_t size = 2 * 1024 * 1024;  // reaching it finishes the file
    const std::string erase = "\r\033[K";
    struct Step {
        std::int64_t atMs;
        bool clearFirst;
        std::int64_t bytes;  // -1: no update
        std::string shown;   // what this step adds to the terminal
    };
    const Step steps[] = {
        {0, false, 0, erase + "cam.jpg  0 B / 2.0 MB  0%"},
        {100, false, 64 * 1024, ""},  // too soon after the last drawing
        {250, false, 512 * 1024, erase + "cam.jpg  512.0 KB / 2.0 MB  25%  2.0 MB/s"},
        // A log line took the line away: it comes back at once.
        {300, true, 600 * 1024, erase + erase + "cam.jpg  600.0 KB / 2.0 MB  29%  2.0 MB/s"},
        {2000, false, size, erase + "cam.jpg  2.0 MB / 2.0 MB  100%  1.0 MB/s\n"},
        {2100, true, -1, ""},  // nothing shown: nothing to take away
    };
    std::int64_t at = 0;
    for (const Step& s : steps) {
        clock.advanceMs(s.atMs - std::exchange(at, s.atMs));
        terminal.str("");
        if (s.clearFirst) line.clear();
        if (s.bytes >= 0) line.update({"cam.jpg", s.bytes, size, s.bytes == size});
        EXPECT_EQ(terminal.str(), s.shown) << s.atMs;
    }
    EXPECT_EQ(cli::ProgressLine::amount(1023), "1023 B");
    EXPECT_EQ(cli::ProgressLine::amount(1536), "1.5 KB");
    EXPECT_EQ(cli::ProgressLine::amount(5LL << 40), "5.0 TB");
}

}  // namespace
