#include "filetable/FileTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velora {
namespace {

std::vector<std::string> column(const FileTable& t, int c) {
    std::vector<std::string> out;
    for (int r = 1; r <= t.rowCount(); ++r) out.push_back(t.cell(c, r));
    return out;
}

TEST(FileTable, StartsWithCaptionsAndStartWidths) {
    FileTable t;
    const std::vector<std::string> captions{"Nr.",      "Aktiv",  "TAG",    "Quelle", "FTP Pfad",
                                            "FTP Name", "PS neu", "PS alt", "MSG",    "tmp-Quelle"};
    const std::vector<int> widths{22, 28, 26, 250, 140, 140, 35, 35, 25, 250};
    for (int c = 0; c < kFileColumns; ++c) {
        EXPECT_EQ(t.cell(c, 0), captions[c]) << c;
        EXPECT_EQ(t.columnWidth(c), widths[c]) << c;
    }
}

TEST(FileTable, SampleRowsHoldTheFirstStartValues) {
    FileTable t;
    t.fillSampleRows();
    ASSERT_EQ(t.rowCount(), 5);
    EXPECT_EQ(column(t, Nr), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(column(t, Tag), (std::vector<std::string>{"Ja", "No", "Ja", "No", "No"}));
    EXPECT_EQ(column(t, Quelle), (std::vector<std::string>{
                                     "/mnt/d/Wetter/2010_01_31/Wetterstation.html",
                                     "/mnt/c/Kamera/2010_01_31/bild.jpg",
                                     "//WETTER-PC/d$/Wetter/2010_01_31/Wetterstation.html",
                                     "[_CAM_1_LAST_FOTO_NAME]",
                                     "[_CAM_2_LAST_FOTO_NAME]",
                                 }));
    EXPECT_EQ(column(t, FtpName), (std::vector<std::string>{"/wetter/Wetterstation.html", "test55/bild.jpg",
                                                            "/wetter/Wetterstation.html", "bild.jpg",
                                                            "bild_2.jpg"}));
    const std::vector<std::string> five(5, "");
    EXPECT_EQ(column(t, PsNeu), std::vector<std::string>(5, "0"));
    EXPECT_EQ(column(t, PsAlt), std::vector<std::string>(5, "0"));
    EXPECT_EQ(column(t, Msg), std::vector<std::string>(5, "No"));
    EXPECT_EQ(column(t, Aktiv), five);
    EXPECT_EQ(column(t, FtpPfad), five);
    EXPECT_EQ(column(t, TmpQuelle), five);
}

TEST(FileTable, AccessOutsideTheTableIsHarmless) {
    FileTable t;
    t.setRowCount(2);
    t.setCell(Quelle, 2, "kept");
    struct Case {
        int column, row;
    };
    for (Case c : {Case{-1, 1}, Case{kFileColumns, 1}, Case{Quelle, 3}, Case{Quelle, -1}, Case{Quelle, 0}}) {
        t.setCell(c.column, c.row, "written");
        if (c.row != 0) {
            EXPECT_EQ(t.cell(c.column, c.row), "") << c.column << "," << c.row;
        }
    }
    for (int r : {-1, 0, 3}) t.setRow(r, FileTable::Row{"x", "x", "x", "x", "x", "x", "x", "x", "x", "x"});
    EXPECT_EQ(t.cell(Quelle, 0), "Quelle");  // the header cannot be overwritten
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.cell(Quelle, 2), "kept");
    EXPECT_EQ(t.cell(Quelle, 1), "");
    EXPECT_EQ(t.row(3), FileTable::Row{});
    EXPECT_EQ(t.row(0), FileTable::Row{});

    // Rows that vanish under a pass read as empty afterwards.
    t.setRowCount(1);
    EXPECT_EQ(t.cell(Quelle, 2), "");
    t.setRowCount(-3);
    EXPECT_EQ(t.rowCount(), 0);
    EXPECT_EQ(t.cell(Nr, 1), "");
}

TEST(FileTable, WidthsIgnoreUnknownColumnsAndNegativeValues) {
    FileTable t;
    t.setColumnWidth(kFileColumns, 99);
    t.setColumnWidth(-1, 99);
    t.setColumnWidth(3, -20);
    t.setColumnWidth(4, 333);
    EXPECT_EQ(t.columnWidth(3), 0);
    EXPECT_EQ(t.columnWidth(4), 333);
    EXPECT_EQ(t.columnWidth(kFileColumns), 0);
}

// Rows are told apart by their source.
FileTable numberedTable(int n) {
    FileTable t;
    t.setRowCount(n);
    for (int r = 1; r <= n; ++r) t.setCell(Quelle, r, "src" + std::to_string(r));
    t.renumberRows();
    return t;
}

TEST(FileTable, MovingARowShiftsTheOthersAndRenumbers) {
    struct Case {
        int from, to;
        std::vector<std::string> sources;
    };
    const Case cases[] = {
        {5, 2, {"src1", "src5", "src2", "src3", "src4"}},
        {2, 5, {"src1", "src3", "src4", "src5", "src2"}},
        {1, 1, {"src1", "src2", "src3", "src4", "src5"}},
        {6, 1, {"src1", "src2", "src3", "src4", "src5"}},  // no such row: nothing moves
    };
    for (const Case& c : cases) {
        FileTable t = numberedTable(5);
        t.setCell(Msg, 5, "NEU");
        t.moveRow(c.from, c.to);
        EXPECT_EQ(column(t, Quelle), c.sources) << c.from << "->" << c.to;
        EXPECT_EQ(column(t, Nr), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
        // The whole row travels, not only its source.
        for (int r = 1; r <= 5; ++r) EXPECT_EQ(t.cell(Msg, r) == "NEU", t.cell(Quelle, r) == "src5");
    }
}

TEST(FileTable, ExchangeSwapsWholeRowsOnlyInRange) {
    FileTable t = numberedTable(3);
    t.setCell(Aktiv, 1, "Ja");
    t.exchangeRows(1, 3);
    EXPECT_EQ(column(t, Quelle), (std::vector<std::string>{"src3", "src2", "src1"}));
    EXPECT_EQ(column(t, Aktiv), (std::vector<std::string>{"", "", "Ja"}));
    EXPECT_EQ(column(t, Nr), (std::vector<std::string>{"3", "2", "1"}));  // numbering is the caller's step
    t.exchangeRows(1, 4);
    EXPECT_EQ(column(t, Quelle), (std::vector<std::string>{"src3", "src2", "src1"}));
    t.renumberRows();
    EXPECT_EQ(column(t, Nr), (std::vector<std::string>{"1", "2", "3"}));
}

TEST(FileTable, ListenerHearsCellAndStructureChanges) {
    FileTable t = numberedTable(2);
    struct Heard : FileTable::Listener {
        void fileTableChanged(int row) override { rows.push_back(row); }
        std::vector<int> rows;
    } listener;
    t.setListener(&listener);
    const std::vector<int>& heard = listener.rows;
    t.setCell(Msg, 2, "OK");
    t.setCell(Msg, 9, "OK");  // outside: no change, nothing heard
    t.setRowCount(4);
    EXPECT_EQ(heard, (std::vector<int>{2, -1}));
}

// After "TAG" is switched or the source changed, a "tmp-Quelle" derived from the row
// would go on sending the old file or the old page; one chosen by hand elsewhere stays.
TEST(FileTable, ChangingSourceOrTagForgetsADerivedTmpQuelle) {
    const std::string scratch = "/home/anna/.cache/velora";
    const struct {
        const char* what;
        FileColumn column;
        std::string newText;
        std::string tmpBefore, tmpAfter;
    } cases[] = {
        {"TAG off, tag copy", Tag, "No", scratch + "/1_page.html", ""},
        {"TAG on, plain source", Tag, "Ja", "/www/page.html", ""},
        {"new source, plain", Quelle, "/www/other.html", "/www/page.html", ""},
        {"new source, tag copy", Quelle, "/www/other.html", scratch + "/1_page.html", ""},
        {"hand-set target stays", Quelle, "/www/other.html", "/srv/out/fixed.html", "/srv/out/fixed.html"},
        {"same text is no change", Quelle, "/www/page.html", "/www/page.html", "/www/page.html"},
        {"a folder beside the scratch folder", Tag, "No", scratch + "x/1_page.html", scratch + "x/1_page.html"},
        {"other columns change nothing", FtpName, "neu.html", scratch + "/1_page.html", scratch + "/1_page.html"},
    };
    for (const auto& c : cases) {
        FileTable t;
        t.setScratchFolder(scratch);
        t.setRowCount(1);
        t.setRow(1, {"1", "Ja", c.column == Tag && c.newText == "Ja" ? "No" : "Ja", "/www/page.html", "/", "p.html",
                     "1", "1", "OK", c.tmpBefore});
        t.setCell(c.column, 1, c.newText);
        EXPECT_EQ(t.cell(TmpQuelle, 1), c.tmpAfter) << c.what;
        EXPECT_EQ(t.cell(c.column, 1), c.newText) << c.what;
    }
}

}  // namespace
}  // namespace velora

TEST(RunsAsJaTest, AnyLetterCaseOfJaCountsAndNothingElse) {
    for (const char* yes : {"Ja", "ja", "JA", "jA"}) EXPECT_TRUE(velora::runsAsJa(yes)) << yes;
    for (const char* no : {"", "No", "Yes", "Ja ", " Ja", ">>>", "J", "Jaa"}) EXPECT_FALSE(velora::runsAsJa(no)) << no;
}
