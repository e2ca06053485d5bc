#pragma once
// The weekly calendar in the registry, key "\SOFTWARE\Norvex\Kesta\FTP\Kalender":
// "Default" holds the seven whole day records (written by every save, never read) and
// "Default_" + n the 1440 minute states of weekday n, all 32-bit little-endian. The
// counters travel with the settings, not here.
#include <cstdint>
#include <vector>

#include "app/EventLog.h"
#include "platform/Registry.h"
#include "schedule/WeekCalendar.h"

namespace velora {

inline constexpr const char* kCalendarKey = "\\SOFTWARE\\Norvex\\Kesta\\FTP\\Kalender";
inline constexpr std::size_t kCalendarAllBytes = 7 * kDayRecordSize * 4;   // 40376
inline constexpr std::size_t kCalendarDayBytes = kMinutesPerDay * 4;       // 5760

class CalendarStore {
public:
    CalendarStore(Registry& registry, WeekCalendar& calendar, EventLog& log)
        : registry_(registry), calendar_(calendar), log_(log) {}

    // Errors of the store (a key that cannot be written, a value that is too long or
    // not a byte block) leave as RegistryError; what was written or read before stays.
    void SaveCalendar();
    // A missing key is created by saving the calendar in memory first. A missing
    // "Default_" + n leaves day n as it is; a shorter one fills only its first minutes.
    void LoadCalendar();

    // The persisted form on an open key, as the save writes it and the load reads it
    // (no log line): for the commands that edit the stored calendar without a window.
    static void writeDays(Registry::Key& key, const WeekCalendar& calendar);
    static void readDays(Registry::Key& key, WeekCalendar& calendar);

    static std::vector<std::uint8_t> allDays(const WeekCalendar& calendar);
    static std::vector<std::uint8_t> dayMinutes(const WeekCalendar& calendar, int day);

private:
    Registry& registry_;
    WeekCalendar& calendar_;
    EventLog& log_;
};

}  // namespace velora
