#include "filetable/FileTableView.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace velora {
namespace {

class FileTableViewTest : public ::testing::Test {
protected:
    FileTableViewTest() : view(table) { table.fillSampleRows(); }

    std::set<Pm1Item> visibleItems() const {
        std::set<Pm1Item> items;
        for (int i = 0; i < static_cast<int>(Pm1Item::Count); ++i) {
            if (view.itemVisible(static_cast<Pm1Item>(i))) items.insert(static_cast<Pm1Item>(i));
        }
        return items;
    }

    FileTable table;
    FileTableView view;
};

TEST(Pm1Caption, MenuTextsAreExact) {
    const std::vector<std::string> expected{
        "Zeile Einfügen",
        "Zeile Löschen",
        "Ändern Dateiname",
        "Ändern Tag",
        "Ändern Neuste Datei",
        "Dateien Einfügen",
        "Alle Zeilen mit Diesen Verzeichnis Entfernen",
        "Pfad nach unten auffüllen ( Nur Leere Zellen )",
        "Alle Aktiv",
        "Alle Inaktiv",
        "Ändere Temp Ziel",
        "Sortieren",
    };
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(Pm1Item::Count));
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(pm1Caption(static_cast<Pm1Item>(i)), expected[i]);
}

TEST_F(FileTableViewTest, EveryItemIsShownUntilTheFirstSelection) {
    EXPECT_EQ(visibleItems().size(), static_cast<std::size_t>(Pm1Item::Count));
    EXPECT_EQ(view.currentCell(), (CurrentCell{0, 0}));
    EXPECT_FALSE(view.inPlaceEditing());
    EXPECT_FALSE(view.cbTagVisible() || view.cbFtpPfadVisible() || view.eNeusteDateiVisible());
}

TEST_F(FileTableViewTest, SelectionShowsTheItemsOfItsColumn) {
    using I = Pm1Item;
    const std::set<I> never{I::zeile_insert, I::zeile_delete, I::nderNeusteDatei1,
                            I::AlleDateienausDiesenVerzeichnisEntfernen1, I::Sortiere1};
    struct Case {
        int column;
        std::set<I> extra;
        bool editing;
    };
    const Case cases[] = {
        {0, {}, false},
        {1, {I::AlleAktiv, I::alleInaktiv}, false},
        {2, {}, false},
        {3, {I::Dateiname1, I::Ordner1, I::EinfgenTag1}, false},
        {4, {I::fill_ftp_pfad}, false},
        {5, {}, true},
        {6, {}, false},
        {7, {}, false},
        {8, {}, false},
        {9, {I::temp_ziel}, false},
    };
    for (const Case& c : cases) {
        // Start from a selection that showed other items, so leftovers would show.
        view.sg_filesSelectCell(3, 1);
        view.sg_filesSelectCell(c.column, 2);
        std::set<I> expected = never;
        expected.insert(c.extra.begin(), c.extra.end());
        EXPECT_EQ(visibleItems(), expected) << "column " << c.column;
        EXPECT_EQ(view.inPlaceEditing(), c.editing) << "column " << c.column;
        EXPECT_EQ(view.currentCell(), (CurrentCell{c.column, 2}));
    }
    // Row 0 is no data row: only the items that are never hidden remain.
    view.sg_filesSelectCell(5, 0);
    EXPECT_EQ(visibleItems(), never);
    EXPECT_FALSE(view.inPlaceEditing());
}

TEST_F(FileTableViewTest, SelectionHidesTheComboEditorsButNotTheNewestFileEdit) {
    view.showCbTag();
    view.showCbFtpPfad();
    view.showENeusteDatei();
    view.sg_filesSelectCell(2, 1);
    EXPECT_FALSE(view.cbTagVisible());
    EXPECT_FALSE(view.cbFtpPfadVisible());
    EXPECT_TRUE(view.eNeusteDateiVisible());
}

TEST_F(FileTableViewTest, ColoursFollowTheDrawRulesInOrder) {
    struct Case {
        int column;
        std::string text;
        bool current;
        std::optional<Rgb> colour;
    };
    const Case cases[] = {
        {Aktiv, "Ja", false, std::nullopt},
        {Aktiv, "Ja", true, kLime},
        {Aktiv, "JA", false, kYellow},  // exact comparison
        {Aktiv, "", false, kYellow},
        {Aktiv, "No", true, kYellow},   // yellow paints over lime
        {Tag, ">>>", false, kRed},
        {Tag, ">>>", true, kRed},       // red paints over lime
        {Tag, "Ja", true, kLime},
        {Tag, "No", false, std::nullopt},
        {Quelle, ">>>", false, std::nullopt},
        {Quelle, "", true, kLime},
        {Msg, "No", false, std::nullopt},
    };
    for (const Case& c : cases) {
        table.setCell(c.column, 3, c.text);
        view.sg_filesSelectCell(c.current ? c.column : 9, 3);
        EXPECT_EQ(view.cellColour(c.column, 3), c.colour) << c.column << " '" << c.text << "' " << c.current;
    }
}

TEST_F(FileTableViewTest, HeaderAndRowsOutsideTheTableAreNeverRecoloured) {
    view.sg_filesSelectCell(Aktiv, 0);  // "Aktiv" caption is not "Ja" and the cell is current
    EXPECT_EQ(view.cellColour(Aktiv, 0), std::nullopt);
    EXPECT_EQ(view.cellColour(Tag, 0), std::nullopt);
    EXPECT_EQ(view.cellColour(Aktiv, 6), std::nullopt);
    EXPECT_EQ(view.cellColour(kFileColumns, 1), std::nullopt);
}

TEST_F(FileTableViewTest, DoubleClickTogglesYesNoCellsOnExactJa) {
    struct Case {
        std::string before, after;
    };
    const Case cases[] = {{"Ja", "No"}, {"JA", "Ja"}, {"ja", "Ja"}, {"No", "Ja"}, {"", "Ja"}, {">>>", "Ja"}};
    for (int column : {Aktiv, Tag}) {
        for (const Case& c : cases) {
            table.setCell(column, 2, c.before);
            const FileTable::Row before = table.row(2);
            view.sg_filesSelectCell(column, 2);
            EXPECT_EQ(view.sg_filesDblClick(), DoubleClickAction::None);
            FileTable::Row expected = before;
            expected[static_cast<std::size_t>(column)] = c.after;
            EXPECT_EQ(table.row(2), expected) << column << " '" << c.before << "'";
        }
    }
    // "JA" needs two double-clicks to become "No".
    table.setCell(Aktiv, 1, "JA");
    view.sg_filesSelectCell(Aktiv, 1);
    view.sg_filesDblClick();
    view.sg_filesDblClick();
    EXPECT_EQ(table.cell(Aktiv, 1), "No");
}

TEST_F(FileTableViewTest, DoubleClickOnAChecksumOrStatusMarksThatRowOnly) {
    for (int column : {PsNeu, PsAlt, Msg}) {
        table.fillSampleRows();
        const FileTable::Row other = table.row(4);
        view.sg_filesSelectCell(column, 3);
        EXPECT_EQ(view.sg_filesDblClick(), DoubleClickAction::None);
        EXPECT_EQ(table.cell(PsNeu, 3), "???");
        EXPECT_EQ(table.cell(PsAlt, 3), "???");
        EXPECT_EQ(table.cell(Msg, 3), "???");
        EXPECT_EQ(table.cell(Quelle, 3), "//WETTER-PC/d$/Wetter/2010_01_31/Wetterstation.html");
        EXPECT_EQ(table.row(4), other);
    }
}

TEST_F(FileTableViewTest, DoubleClickOnSourceOrFolderAsksTheFrontEnd) {
    view.sg_filesSelectCell(Quelle, 1);
    view.setItemVisible(Pm1Item::Dateiname1, false);
    view.setItemVisible(Pm1Item::EinfgenTag1, false);
    EXPECT_EQ(view.sg_filesDblClick(), DoubleClickAction::OpenContextMenu);
    EXPECT_TRUE(view.itemVisible(Pm1Item::Dateiname1));
    EXPECT_TRUE(view.itemVisible(Pm1Item::EinfgenTag1));

    view.sg_filesSelectCell(FtpPfad, 1);
    EXPECT_FALSE(view.cbFtpPfadVisible());
    EXPECT_EQ(view.sg_filesDblClick(), DoubleClickAction::OpenFtpPathEditor);
    EXPECT_TRUE(view.cbFtpPfadVisible());
}

TEST_F(FileTableViewTest, DoubleClickWithoutACurrentDataRowDoesNothing) {
    FileTable untouched;
    untouched.fillSampleRows();
    for (int column = 0; column < kFileColumns; ++column) {
        view.sg_filesSelectCell(column, 0);
        EXPECT_EQ(view.sg_filesDblClick(), DoubleClickAction::None) << column;
    }
    // A current row that a command deleted meanwhile counts as none.
    view.sg_filesSelectCell(FtpPfad, 5);
    table.setRowCount(4);
    EXPECT_EQ(view.sg_filesDblClick(), DoubleClickAction::None);
    EXPECT_FALSE(view.cbFtpPfadVisible());
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(table.row(r), untouched.row(r));
}

TEST_F(FileTableViewTest, CombosWriteTheirWholeTextIntoTheCurrentCellAndClose) {
    view.sg_filesSelectCell(Quelle, 2);
    view.showCbTag();
    view.comboTextChanged(false, "[_DATUM_]");
    EXPECT_EQ(table.cell(Quelle, 2), "[_DATUM_]");
    EXPECT_FALSE(view.cbTagVisible());

    view.sg_filesSelectCell(FtpPfad, 4);
    view.sg_filesDblClick();
    view.comboTextChanged(true, "w");
    EXPECT_EQ(table.cell(FtpPfad, 4), "w");
    EXPECT_FALSE(view.cbFtpPfadVisible());
    EXPECT_EQ(table.cell(FtpPfad, 3), "");
}

TEST_F(FileTableViewTest, NewestFileEditorWritesTheRowItWasOpenedForWhileItHoldsItsSource) {
    view.sg_filesSelectCell(Quelle, 1);
    view.showENeusteDatei();
    view.sg_filesSelectCell(FtpName, 4);  // another click does not hide it
    EXPECT_TRUE(view.eNeusteDateiVisible());
    view.newestFileEditorEnter("/cam/bild_*.jpg");
    EXPECT_EQ(table.cell(Quelle, 1), "/cam/bild_*.jpg");
    EXPECT_EQ(table.cell(Quelle, 4), "[_CAM_1_LAST_FOTO_NAME]");
    EXPECT_FALSE(view.eNeusteDateiVisible());
    // A row that no longer holds the source the edit started from (sorted, deleted) is not written.
    view.showENeusteDatei();  // over row 4
    table.removeRow(1);
    view.newestFileEditorEnter("/x/*.jpg");
    EXPECT_EQ(table.cell(Quelle, 4), "[_CAM_2_LAST_FOTO_NAME]");
}

TEST(BuildFtpPathList, SlashesEmptyAndBareLinesSortsBytewiseKeepsDuplicates) {
    struct Case {
        std::vector<std::string> lines, list;
    };
    const Case cases[] = {
        {{"/", "/images", "/wetter", "/wetter/web", "/privat", "/home/user", ""},
         {"/", "/", "/home/user", "/images", "/privat", "/wetter", "/wetter/web"}},
        {{"images", "/images", "/zz", "/alpha", "/Zeta", "/\xC3\xA4rger"},
         {"/Zeta", "/alpha", "/images", "/images", "/zz", "/\xC3\xA4rger"}},
        {{""}, {"/"}},
        {{}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(FileTableView::BuildFtpPathList(c.lines), c.list);
}

TEST_F(FileTableViewTest, EditorCoversTheCurrentCell) {
    GridGeometry grid;
    grid.columnWidths = {22, 28, 26, 250, 140, 140, 35, 35, 25, 250};
    grid.rowHeights.assign(6, 18);
    // A cell's own left edge: the columns before it, each followed by a 1-pixel line.
    auto ownLeft = [&](int col) {
        int x = 0;
        for (int c = 0; c < col; ++c) x += grid.columnWidths[static_cast<std::size_t>(c)] + 1;
        return x;
    };
    auto ownTop = [](int row) { return row * (18 + 1); };
    struct Case {
        int col, row;
    };
    for (Case c : {Case{4, 2}, Case{1, 1}, Case{3, 5}, Case{9, 3}}) {
        view.sg_filesSelectCell(c.col, c.row);
        const EditorPlacement p = view.PlaceEditorOverCell(grid, 144);
        EXPECT_EQ(p.left, ownLeft(c.col) + 1) << c.col;
        EXPECT_EQ(p.top, ownTop(c.row) + 1) << c.row;
        EXPECT_EQ(p.width, 144);
    }
    view.sg_filesSelectCell(4, 2);
    EXPECT_EQ(view.PlaceEditorOverCell(grid, 144).left, 22 + 28 + 26 + 250 + 4 + 1);
    EXPECT_EQ(view.PlaceEditorOverCell(grid, 144).top, 18 + 18 + 2 + 1);
}

TEST_F(FileTableViewTest, EditorOnAScrolledGridUsesTheVisiblePositionAndClampsHiddenCells) {
    GridGeometry grid;
    grid.columnWidths = {22, 28, 26, 250, 140, 140, 35, 35, 25, 250};
    grid.rowHeights.assign(6, 18);
    grid.leftCol = 3;
    grid.topRow = 4;
    struct Case {
        int col, row, left, top;
    };
    const Case cases[] = {
        {5, 5, 22 + 28 + 26 + 3 + 1, 18 + 18 + 2 + 1},  // third column, second row in view
        {3, 4, 22 + 1 + 1, 18 + 1 + 1},                 // first in view on both axes
        {2, 2, 22 + 1 + 1, 18 + 1 + 1},                 // scrolled out: first cell in view
        {1, 5, 22 + 1 + 1, 18 + 18 + 2 + 1},
    };
    for (const Case& c : cases) {
        view.sg_filesSelectCell(c.col, c.row);
        const EditorPlacement p = view.PlaceEditorOverCell(grid, 30);
        EXPECT_EQ(p.left, c.left) << c.col << "," << c.row;
        EXPECT_EQ(p.top, c.top) << c.col << "," << c.row;
    }
}

TEST_F(FileTableViewTest, ShrinkingBelowTheCurrentRowSelectsTheNewLastRow) {
    view.sg_filesSelectCell(Quelle, 5);
    view.setItemVisible(Pm1Item::Dateiname1, false);
    table.setRowCount(3);
    view.tableShrank();
    EXPECT_EQ(view.currentCell(), (CurrentCell{Quelle, 3}));
    EXPECT_TRUE(view.itemVisible(Pm1Item::Dateiname1));  // counted as a selection

    view.sg_filesSelectCell(Aktiv, 2);
    view.tableShrank();  // row 2 still exists
    EXPECT_EQ(view.currentCell(), (CurrentCell{Aktiv, 2}));

    table.setRowCount(0);
    view.tableShrank();
    EXPECT_EQ(view.currentCell().row, 0);
    EXPECT_EQ(view.sg_filesDblClick(), DoubleClickAction::None);
}

TEST_F(FileTableViewTest, RowMovedByTheGridIsRenumbered) {
    // The grid has already moved row 5 to position 2; the handler renumbers.
    FileTable::Row moved = table.row(5);
    for (int r = 5; r > 2; --r) table.setRow(r, table.row(r - 1));
    table.setRow(2, moved);
    view.sg_filesRowMoved(5, 2);
    const std::vector<std::string> sources{"/mnt/d/Wetter/2010_01_31/Wetterstation.html", "[_CAM_2_LAST_FOTO_NAME]",
                                           "/mnt/c/Kamera/2010_01_31/bild.jpg",
                                           "//WETTER-PC/d$/Wetter/2010_01_31/Wetterstation.html",
                                           "[_CAM_1_LAST_FOTO_NAME]"};
    for (int r = 1; r <= 5; ++r) {
        EXPECT_EQ(table.cell(Nr, r), std::to_string(r));
        EXPECT_EQ(table.cell(Quelle, r), sources[static_cast<std::size_t>(r - 1)]);
    }
}

}  // namespace
}  // namespace velora
