// Sorting the file table: the byte-wise key order and the exact result of the
// program's exchange pass, equal keys included.
#include "filetable/SortFileTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace velora {
namespace {

using Strings = std::vector<std::string>;

TEST(SortKeyLess, BytesCompareUnsignedWithoutCaseOrLocale) {
    // Each text is smaller than the next one, or equal to it.
    const Strings ascending{
        "",                // the empty text first
        "/",               // punctuation before digits
        "0",
        "9z",              // digits before letters
        "A",
        "A",               // equal texts are not smaller
        "Ab",              // a text before a longer one that begins with it
        "Z",
        "[_CAM",           // "[" between capitals and small letters
        "a",
        "z",
        "~",
        "\xC3\x84",        // "Ä" in UTF-8: after every ASCII character
        "\xC3\xA4",        // "ä"
        "\xE4",            // a lone high byte counts as 228, not as a negative number
    };
    for (std::size_t i = 0; i + 1 < ascending.size(); ++i) {
        const std::string& a = ascending[i];
        const std::string& b = ascending[i + 1];
        EXPECT_EQ(sortKeyLess(a, b), a != b) << i;
        EXPECT_FALSE(sortKeyLess(b, a)) << i;
    }
}

class SortFileTableTest : public ::testing::Test {
protected:
    // Rows keyed by `keys` in `column`; "FTP Name" names each row id1, id2, ... and
    // "MSG" carries the same number, so a row that falls apart shows.
    void load(int column, const Strings& keys) {
        table.setRowCount(static_cast<int>(keys.size()));
        for (int r = 1; r <= table.rowCount(); ++r) {
            table.setCell(column, r, keys[static_cast<std::size_t>(r - 1)]);
            table.setCell(FtpName, r, "id" + std::to_string(r));
            table.setCell(Msg, r, "m" + std::to_string(r));
        }
        table.renumberRows();
    }
    Strings column(int c) const {
        Strings out;
        for (int r = 1; r <= table.rowCount(); ++r) out.push_back(table.cell(c, r));
        return out;
    }
    FileTable table;
};

TEST_F(SortFileTableTest, ExchangePassGivesTheProgramsExactOrder) {
    struct Case {
        const char* name;
        int keyColumn;
        int sortColumn;
        Strings keys;
        bool ascending;
        Strings ids;  // rows by their id after the sort
    };
    const Case cases[] = {
        {"x x x a", Quelle, Quelle, {"x", "x", "x", "a"}, true, {"id4", "id2", "id3", "id1"}},
        {"a a x", Quelle, Quelle, {"a", "a", "x"}, true, {"id2", "id1", "id3"}},
        {"one row", Quelle, Quelle, {"/a"}, true, {"id1"}},
        {"capitals, tag, small letters", Quelle, Quelle, {"c.jpg", "[_CAM_1]", "C.jpg"}, true, {"id3", "id2", "id1"}},
        {"umlaut after z", Quelle, Quelle, {"\xC3\xA4", "z", "Z"}, true, {"id3", "id2", "id1"}},
        {"empty folder first", FtpPfad, FtpPfad, {"/web", "", "/a"}, true, {"id2", "id3", "id1"}},
        {"empty folder last", FtpPfad, FtpPfad, {"/web", "", "/a"}, false, {"id1", "id3", "id2"}},
        {"by FTP Name, the ids themselves", Quelle, FtpName, {"", "", ""}, false, {"id3", "id2", "id1"}},
        {"a column outside the table", Quelle, kFileColumns, {"b", "a"}, true, {"id1", "id2"}},
        {"an empty table", Quelle, Quelle, {}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.keyColumn, c.keys);
        SortFileTable(table, c.sortColumn, c.ascending);
        EXPECT_EQ(column(FtpName), c.ids);
        // Whole rows move: every row keeps its own "MSG".
        for (int r = 1; r <= table.rowCount(); ++r)
            EXPECT_EQ(table.cell(Msg, r), "m" + table.cell(FtpName, r).substr(2));
        Strings numbers;
        for (int r = 1; r <= table.rowCount(); ++r) numbers.push_back(std::to_string(r));
        EXPECT_EQ(column(Nr), numbers);
    }
}

TEST_F(SortFileTableTest, SortingAgainCanSwapEqualKeysBack) {
    load(Quelle, {"a", "a", "x"});
    SortFileTable(table, Quelle, true);
    EXPECT_EQ(column(FtpName), (Strings{"id2", "id1", "id3"}));
    SortFileTable(table, Quelle, true);
    EXPECT_EQ(column(FtpName), (Strings{"id1", "id2", "id3"}));
}

TEST_F(SortFileTableTest, AscendingThenDescendingReversesTheKeys) {
    std::mt19937 random(7);
    const std::string alphabet = "aAZ[/\xC3\xA4z0";
    Strings keys;
    for (int i = 0; i < 300; ++i) {
        std::string k;
        for (int len = static_cast<int>(random() % 4); len > 0; --len) k += alphabet[random() % alphabet.size()];
        keys.push_back(k);
    }
    load(Quelle, keys);
    SortFileTable(table, Quelle, true);
    Strings sorted = keys;
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return sortKeyLess(a, b); });
    EXPECT_EQ(column(Quelle), sorted);
    SortFileTable(table, Quelle, false);
    std::reverse(sorted.begin(), sorted.end());
    EXPECT_EQ(column(Quelle), sorted);
    // Nothing lost or doubled: every id once.
    Strings ids = column(FtpName);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
    EXPECT_EQ(ids.size(), keys.size());
}

}  // namespace
}  // namespace velora
