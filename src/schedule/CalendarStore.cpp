#include "schedule/CalendarStore.h"

#include <string>

#include "platform/Errors.h"
#include "settings/SettingsStore.h"

namespace velora {

namespace {

void putLittleEndian(std::vector<std::uint8_t>& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::string dayValueName(int day) { return "Default_" + std::to_string(day); }

// The stored bytes over the start of the day's states, byte by byte as a block read
// into the states' memory would place them: a length that is not a multiple of four
// changes only the low bytes of the last state it reaches.
void overlay(WeekCalendar::Day& states, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto& s = states[i / 4];
        const unsigned shift = 8 * static_cast<unsigned>(i % 4);
        auto u = static_cast<std::uint32_t>(s);
        u = (u & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(bytes[i]) << shift);
        s = static_cast<std::int32_t>(u);
    }
}

}  // namespace

std::vector<std::uint8_t> CalendarStore::allDays(const WeekCalendar& calendar) {
    std::vector<std::uint8_t> out;
    out.reserve(kCalendarAllBytes);
    for (int day = 1; day <= 7; ++day)
        for (std::int32_t v : calendar.record(day)) putLittleEndian(out, v);
    return out;
}

std::vector<std::uint8_t> CalendarStore::dayMinutes(const WeekCalendar& calendar, int day) {
    std::vector<std::uint8_t> out;
    out.reserve(kCalendarDayBytes);
    for (std::int32_t v : calendar.minutes(day)) putLittleEndian(out, v);
    return out;
}

void CalendarStore::writeDays(Registry::Key& key, const WeekCalendar& calendar) {
    key.writeBinary("Default", allDays(calendar));
    for (int day = 1; day <= 7; ++day) key.writeBinary(dayValueName(day), dayMinutes(calendar, day));
}

void CalendarStore::readDays(Registry::Key& key, WeekCalendar& calendar) {
    for (int day = 1; day <= 7; ++day) {
        const std::string name = dayValueName(day);
        if (!key.valueExists(name)) continue;
        const std::vector<std::uint8_t> bytes = key.readBinary(name);
        if (bytes.size() > kCalendarDayBytes) throw RegistryError::readFailed(name);
        overlay(calendar.minutes(day), bytes);
    }
}

void CalendarStore::SaveCalendar() {
    {
        Registry::Key key = registry_.openKey(kCalendarKey);
        writeDays(key, calendar_);
    }
    logStoreModeChanges(registry_, log_);
    log_.write("Save Kalender");
}

void CalendarStore::LoadCalendar() {
    if (!registry_.keyExists(kCalendarKey)) SaveCalendar();
    {
        Registry::Key key = registry_.openKey(kCalendarKey);
        readDays(key, calendar_);
    }
    logStoreModeChanges(registry_, log_);
    log_.write("Load Kalender");
}

}  // namespace velora
