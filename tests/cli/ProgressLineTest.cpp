#include <gtest/gtest.h>

#include <sstream>

#include "cli/ProgressLine.h"

using namespace velora;

namespace {

TEST(ProgressLineTest, RedrawsInPlaceAtMostEveryFifthOfASecondAndEndsWithItsLine) {
    ManualClock clock;
    std::ostringstream terminal;
    cli::ProgressLine line(terminal, clock);
    const std::int64_t size = 2 * 1024 * 1024;
    struct Step {
        std::int64_t atMs;
        std::int64_t bytes;
        bool finished;
        bool clearFirst;
        std::string shown;   // what this step adds to the terminal
    };
    const std::string erase = "\r\033[K";
    const Step steps[] = {
        {0, 0, false, false, erase + "cam.jpg  0 B / 2.0 MB  0%"},
        {100, 64 * 1024, false, false, ""},   // too soon after the last drawing
        {250, 512 * 1024, false, false, erase + "cam.jpg  512.0 KB / 2.0 MB  25%  2.0 MB/s"},
        // A log line took the line away: it comes back at once.
        {300, 600 * 1024, false, true, erase + erase + "cam.jpg  600.0 KB / 2.0 MB  29%  2.0 MB/s"},
        {2000, size, true, false, erase + "cam.jpg  2.0 MB / 2.0 MB  100%  1.0 MB/s\n"},
        {2100, 0, false, true, ""},   // nothing shown: nothing to take away
    };
    std::int64_t at = 0;
    for (const Step& s : steps) {
        clock.advanceMs(s.atMs - at);
        at = s.atMs;
        terminal.str("");
        if (s.clearFirst) line.clear();
        if (s.bytes > 0 || !s.clearFirst) line.update({"cam.jpg", s.bytes, size, s.finished});
        EXPECT_EQ(terminal.str(), s.shown) << s.atMs;
    }
    EXPECT_EQ(cli::ProgressLine::amount(1023), "1023 B");
    EXPECT_EQ(cli::ProgressLine::amount(1536), "1.5 KB");
    EXPECT_EQ(cli::ProgressLine::amount(5LL << 40), "5.0 TB");
}

}  // namespace
