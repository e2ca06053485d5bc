#pragma once
// What was sent: totals and per weekday (1 = Sunday ... 7 = Saturday). Loaded with the
// settings, raised by the upload pass, saved after each run and at exit. The weekly
// calendar shows the weekday counters as the last two numbers of each day.
#include <array>
#include <cstdint>

namespace velora {

struct RunCounters {
    std::int32_t Send_Files_ges = 0;   // shown unsigned
    // 64 bits: a webcam sending 100 KB every 10 s passes 4 GiB within a week. Stored
    // as such; an older store's 32-bit value is read as unsigned.
    std::uint64_t Send_Bytes_ges = 0;
    std::array<std::int32_t, 8> filesPerWeekday{};  // index 1..7
    std::array<std::int32_t, 8> bytesPerWeekday{};  // index 1..7, shown unsigned
};

}  // namespace velora
