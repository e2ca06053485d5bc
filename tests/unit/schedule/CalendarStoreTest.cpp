// The calendar in the registry: the byte layout of "Default" and "Default_" + n, what
// a load reads and leaves, the first load that saves, and the store's read errors.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "support/ErrorOf.h"
#include "unit/schedule/RunWorld.h"

namespace velora {
namespace {

using test::RunWorld;
using Bytes = std::vector<std::uint8_t>;

std::int32_t le32At(const Bytes& b, std::size_t offset) {
    return static_cast<std::int32_t>(b.at(offset) | b.at(offset + 1) << 8 | b.at(offset + 2) << 16 |
                                     static_cast<std::uint32_t>(b.at(offset + 3)) << 24);
}

class CalendarStoreTest : public ::testing::Test {
protected:
    RunWorld w;
    void writeValue(const std::string& name, const Bytes& bytes) {
        w.registry.openKey(kCalendarKey).writeBinary(name, bytes);
    }
};

TEST_F(CalendarStoreTest, SaveWritesWholeRecordsAndEachDaysMinutesLittleEndian) {
    w.calendar.setState(1, 0, kPlanned);
    w.calendar.setState(3, 1439, kStarted);
    w.calendar.setState(7, 600, 0x01020304);
    w.counters.filesPerWeekday[3] = 9;
    w.counters.bytesPerWeekday[3] = -2;

    w.calendarStore.SaveCalendar();

    EXPECT_EQ(w.lines, std::vector<std::string>{"Save Kalender"});
    auto key = w.registry.openKeyReadOnly(kCalendarKey);
    const Bytes all = key.readBinary("Default");
    ASSERT_EQ(all.size(), 40376u);
    const std::size_t record = 1442 * 4;
    struct Where {
        int day, index;
        std::int32_t value;
    };
    for (const Where x : {Where{1, 0, 1}, Where{3, 1439, 2}, Where{3, 1440, 9}, Where{3, 1441, -2},
                          Where{7, 600, 0x01020304}, Where{7, 1441, 0}}) {
        EXPECT_EQ(le32At(all, (x.day - 1) * record + x.index * 4), x.value) << x.day << "/" << x.index;
    }
    EXPECT_EQ(all[(7 - 1) * record + 600 * 4], 0x04);   // lowest byte first
    for (int day = 1; day <= 7; ++day) {
        const Bytes one = key.readBinary("Default_" + std::to_string(day));
        ASSERT_EQ(one.size(), 5760u);
        EXPECT_EQ(Bytes(all.begin() + (day - 1) * record, all.begin() + (day - 1) * record + 5760), one) << day;
    }
}

TEST_F(CalendarStoreTest, LoadReadsEachDaysMinutesAndNothingElse) {
    w.calendarStore.SaveCalendar();   // the key exists, every day free
    Bytes day3(5760, 0);
    day3[4 * 100] = 1;
    day3[4 * 1439] = 2;
    writeValue("Default_3", day3);
    writeValue("Default_2", Bytes{1, 0, 0, 0, 2, 0});   // shorter: only its bytes count
    writeValue("Default", Bytes(40376, 0xFF));          // never read
    w.calendar.setState(2, 1, 0x0A0B0C0D);
    w.calendar.setState(2, 2, kPlanned);
    w.calendar.setState(3, 5, kPlanned);
    w.counters.filesPerWeekday[3] = 4;
    w.lines.clear();

    w.calendarStore.LoadCalendar();

    EXPECT_EQ(w.lines, std::vector<std::string>{"Load Kalender"});
    EXPECT_EQ(w.calendar.state(3, 100), 1);
    EXPECT_EQ(w.calendar.state(3, 1439), 2);
    EXPECT_EQ(w.calendar.state(3, 5), 0);
    EXPECT_EQ(w.calendar.state(2, 0), 1);
    EXPECT_EQ(w.calendar.state(2, 1), 0x0A0B0002);   // two bytes replaced, the high two kept
    EXPECT_EQ(w.calendar.state(2, 2), kPlanned);
    EXPECT_EQ(w.calendar.files(3), 4);
}

TEST_F(CalendarStoreTest, MissingValueLeavesItsDayAndAMissingKeyIsSavedFirst) {
    w.calendar.setState(5, 7, kStarted);
    w.calendar.setState(6, 8, kPlanned);

    w.calendarStore.LoadCalendar();   // no key yet

    EXPECT_EQ(w.lines, (std::vector<std::string>{"Save Kalender", "Load Kalender"}));
    auto key = w.registry.openKeyReadOnly(kCalendarKey);
    EXPECT_TRUE(key.valueExists("Default"));
    for (int day = 1; day <= 7; ++day) EXPECT_TRUE(key.valueExists("Default_" + std::to_string(day))) << day;
    EXPECT_EQ(w.calendar.state(5, 7), kStarted);
    EXPECT_EQ(w.calendar.state(6, 8), kPlanned);

    // A key written by an older save that lacks a day leaves that day as it is.
    RunWorld other;
    other.registry.openKey(kCalendarKey).writeBinary("Default_1", Bytes(5760, 0));
    other.calendar.setState(5, 7, kStarted);
    other.calendar.setState(1, 7, kStarted);
    other.calendarStore.LoadCalendar();
    EXPECT_EQ(other.calendar.state(5, 7), kStarted);
    EXPECT_EQ(other.calendar.state(1, 7), kFree);
}

TEST_F(CalendarStoreTest, ValueTooLongOrNotABlockFailsWithTheRegistrysReadError) {
    struct Case {
        const char* name;
        std::function<void(Registry::Key&)> write;
        const char* error;
    };
    const std::vector<Case> cases{
        {"too long", [](Registry::Key& k) { k.writeBinary("Default_4", Bytes(5764, 1)); },
         "Fehler beim Holen der Daten für 'Default_4'"},
        {"a text", [](Registry::Key& k) { k.writeString("Default_4", "1"); }, "Ungültiger Datentyp für 'Default_4'"},
        {"an integer", [](Registry::Key& k) { k.writeInteger("Default_4", 1); }, "Ungültiger Datentyp für 'Default_4'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunWorld x;
        {
            Registry::Key key = x.registry.openKey(kCalendarKey);
            key.writeBinary("Default_1", Bytes{1, 0, 0, 0});
            c.write(key);
        }
        x.calendar.setState(4, 0, kStarted);

        EXPECT_EQ(test::errorOf<RegistryError>([&] { x.calendarStore.LoadCalendar(); }), c.error);
        EXPECT_EQ(x.calendar.state(1, 0), kPlanned);   // days before the bad one were read
        EXPECT_EQ(x.calendar.state(4, 0), kStarted);   // the bad day is left alone
        EXPECT_FALSE(x.logged("Load Kalender"));
    }
}

}  // namespace
}  // namespace velora
