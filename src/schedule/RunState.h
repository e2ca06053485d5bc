#pragma once
// What the run cycle, the scheduler, the calendar and the status display share: the
// process-wide flag `in_work` and the scheduler's counters and memory. One object per
// program, owned by whoever owns the parts; each part is given it when it is built.
#include <string>

namespace velora {

inline constexpr const char* kNeverStarted = "noch nie";

struct RunState {
    bool in_work = false;         // a run is in progress
    int RestartCounter = 0;       // ticks counted while in_work; every start begins at 0
    int IntervalCounter = 0;      // idle ticks in interval mode since the last interval start
    int LastWeekday = 1;          // weekday seen by the last fixed-time check
    std::string LastFixedStart = kNeverStarted;
};

}  // namespace velora
