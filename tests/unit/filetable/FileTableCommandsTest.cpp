// The context-menu commands of the file table, driven without a window: the dialogs
// answer from a script and may change the table while they are open.
#include "filetable/FileTableCommands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ScriptedUiHost.h"

namespace velora {
namespace {

using Strings = std::vector<std::string>;

class FileTableCommandsTest : public ::testing::Test {
protected:
    // One row per source; "FTP Pfad" tells the rows apart where sources repeat.
    void load(const Strings& sources) {
        table.setRowCount(static_cast<int>(sources.size()));
        for (int r = 1; r <= table.rowCount(); ++r) {
            FileTable::Row row{};
            row[Aktiv] = "Ja";
            row[Tag] = "No";
            row[Quelle] = sources[static_cast<std::size_t>(r - 1)];
            row[FtpPfad] = "p" + std::to_string(r);
            row[FtpName] = "n" + std::to_string(r);
            row[PsNeu] = "11";
            row[PsAlt] = "22";
            row[Msg] = "OK";
            row[TmpQuelle] = "/tmp/t" + std::to_string(r);
            table.setRow(r, row);
        }
        table.renumberRows();
    }
    Strings column(int c) const {
        Strings out;
        for (int r = 1; r <= table.rowCount(); ++r) out.push_back(table.cell(c, r));
        return out;
    }
    static Strings numbers(int n) {
        Strings out;
        for (int i = 1; i <= n; ++i) out.push_back(std::to_string(i));
        return out;
    }

    FileTable table;
    FileTableView view{table};
    test::ScriptedUiHost ui;
    FileTableCommands commands{table, view, ui};
};

// ---- insert and delete ---------------------------------------------------------

TEST_F(FileTableCommandsTest, InsertAndDeleteRows) {
    enum Op { Insert, Delete };
    struct Case {
        const char* name;
        Strings before;
        int currentRow;
        Op op;
        Strings after;      // column 3; "" for a new or emptied row
        int currentAfter;
    };
    const Case cases[] = {
        {"insert at 3 of 5", {"a", "b", "c", "d", "e"}, 3, Insert, {"a", "b", "", "c", "d", "e"}, 3},
        {"insert at the last row", {"a", "b"}, 2, Insert, {"a", "", "b"}, 2},
        {"insert without a current row", {"a", "b"}, 0, Insert, {"a", "b"}, 0},
        {"insert into an empty table", {}, 0, Insert, {""}, 0},
        {"delete the only row", {"a"}, 1, Delete, {""}, 1},
        {"delete 2 of 3", {"a", "b", "c"}, 2, Delete, {"a", "c"}, 2},
        {"delete the last row", {"a", "b", "c"}, 3, Delete, {"a", "b"}, 2},
        {"delete without a current row", {"a", "b"}, 0, Delete, {"a", "b"}, 0},
        {"delete on an empty table", {}, 0, Delete, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.before);
        view.sg_filesSelectCell(Quelle, c.currentRow);
        c.op == Insert ? commands.zeile_insertClick() : commands.zeile_deleteClick();
        EXPECT_EQ(column(Quelle), c.after);
        EXPECT_EQ(column(Nr), numbers(static_cast<int>(c.after.size())));
        EXPECT_EQ(view.currentCell().row, c.currentAfter);
    }
}

TEST_F(FileTableCommandsTest, NewAndEmptiedRowsHoldTheirFixedValues) {
    load({"a", "b"});
    view.sg_filesSelectCell(FtpPfad, 2);
    commands.zeile_insertClick();
    EXPECT_EQ(table.row(2), (FileTable::Row{"2", "", ">>>", "", "", "", "0", "0", "?", ""}));
    EXPECT_EQ(table.cell(FtpPfad, 3), "p2");  // the old row 2, whole

    load({"only"});
    view.sg_filesSelectCell(Msg, 1);
    commands.zeile_deleteClick();
    EXPECT_EQ(table.row(1), (FileTable::Row{"1", "", "", "", "", "", "", "", "", ""}));
}

TEST_F(FileTableCommandsTest, RowCommandsIgnoreACurrentRowThatHasGone) {
    // The current row points past the end, as after a deletion inside pumped events.
    load({"/a/1", "/a/2", "/a/3"});
    view.sg_filesSelectCell(FtpPfad, 3);
    table.setRowCount(2);
    const Strings sources = column(Quelle);
    const Strings folders = column(FtpPfad);
    commands.zeile_insertClick();
    commands.zeile_deleteClick();
    commands.fill_ftp_pfadClick();
    commands.AlleDateienausDiesenVerzeichnisEntfernen1Click();
    EXPECT_EQ(column(Quelle), sources);
    EXPECT_EQ(column(FtpPfad), folders);
    EXPECT_TRUE(ui.questions.empty());
}

// ---- the shared file dialog ------------------------------------------------------

TEST_F(FileTableCommandsTest, EveryCommandSetsTheWholeDialogAfreshAndHidesItsItems) {
    using Command = void (FileTableCommands::*)();
    using I = Pm1Item;
    struct Case {
        const char* name;
        Command command;
        int column;
        FileDialogRequest expected;
        std::vector<I> hiddenAfter;
        std::vector<I> shownAfter;
    };
    const std::string source = "/home/wetter/Bilder Ä/kamera 1.jpg";
    const Case cases[] = {
        {"Ändern Dateiname", &FileTableCommands::Dateiname1Click, Quelle,
         {"Neuste Datei", source, "kamera 1.jpg", "*.*", false}, {I::Dateiname1, I::EinfgenTag1}, {I::Ordner1}},
        {"Ändern Neuste Datei", &FileTableCommands::nderNeusteDatei1Click, Quelle,
         {"Dateien - Verzeichnis", source, "", "*.*", false}, {I::Dateiname1, I::EinfgenTag1}, {I::Ordner1}},
        {"Dateien Einfügen", &FileTableCommands::Ordner1Click, Quelle,
         {"alle Dateien - Verzeichnis", source, "kamera 1.jpg",
          "Alle|*.*|JPG|*.jpg|GIF|*.gif|BMP|*.BMP|Text|*.TXT|GIF|*.gif|HTM / HTML|*.thml;*.htm|PHP|*.php", true},
         {I::Dateiname1, I::EinfgenTag1}, {I::Ordner1}},
        {"Ändere Temp Ziel", &FileTableCommands::temp_zielClick, TmpQuelle,
         {"Temp Ziel ändern", "/tmp/t1", "t1", "*.*", false}, {I::temp_ziel}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load({source});
        view.sg_filesSelectCell(c.column, 1);
        for (I i : c.hiddenAfter) view.setItemVisible(i, true);  // as after a double-click
        ui.requests.clear();
        (commands.*c.command)();  // cancelled
        ASSERT_EQ(ui.requests.size(), 1u);
        const FileDialogRequest& got = ui.requests.front();
        EXPECT_EQ(got.title, c.expected.title);
        EXPECT_EQ(got.initialFolder, c.expected.initialFolder);
        EXPECT_EQ(got.fileName, c.expected.fileName);
        EXPECT_EQ(got.filter, c.expected.filter);
        EXPECT_EQ(got.multiSelect, c.expected.multiSelect);
        for (I i : c.hiddenAfter) EXPECT_FALSE(view.itemVisible(i)) << pm1Caption(i);
        for (I i : c.shownAfter) EXPECT_TRUE(view.itemVisible(i)) << pm1Caption(i);
        // A cancelled dialog changes no cell and opens no editor.
        EXPECT_EQ(table.row(1)[Quelle], source);
        EXPECT_EQ(table.cell(Msg, 1), "OK");
        EXPECT_EQ(table.rowCount(), 1);
        EXPECT_FALSE(view.eNeusteDateiVisible());

        // In any other column the command asks nothing, but still hides its items.
        ui.requests.clear();
        view.sg_filesSelectCell(c.column == Quelle ? FtpName : Quelle, 1);
        for (I i : c.hiddenAfter) view.setItemVisible(i, true);
        (commands.*c.command)();
        EXPECT_TRUE(ui.requests.empty());
        for (I i : c.hiddenAfter) EXPECT_FALSE(view.itemVisible(i)) << pm1Caption(i);
    }
}

TEST_F(FileTableCommandsTest, AChosenFileReplacesTheSourceAndResetsTheRow) {
    using Command = void (FileTableCommands::*)();
    struct Case {
        const char* name;
        Command command;
        std::string chosen;
        std::string ftpName;
        bool newestFileEdit;
    };
    const Case cases[] = {
        {"Ändern Dateiname", &FileTableCommands::Dateiname1Click, "/home/user/Bilder Ä/wärme 1.jpg", "wärme 1.jpg",
         false},
        {"without a folder part", &FileTableCommands::Dateiname1Click, "bild.jpg", "bild.jpg", false},
        {"Ändern Neuste Datei", &FileTableCommands::nderNeusteDatei1Click, "/cam/bild_0815.jpg", "bild_0815.jpg",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load({"/a/alt.jpg", "/a/other.jpg"});
        view.sg_filesSelectCell(Quelle, 1);
        ui.nextFiles.push_back({c.chosen});
        (commands.*c.command)();
        EXPECT_EQ(table.row(1), (FileTable::Row{"1", "No", "No", c.chosen, "p1", c.ftpName, "0", "0", "Reset", ""}));
        EXPECT_EQ(table.row(2)[Quelle], "/a/other.jpg");
        EXPECT_EQ(view.eNeusteDateiVisible(), c.newestFileEdit);
    }
}

TEST_F(FileTableCommandsTest, InsertedFilesComeInReverseOrderAboveTheCurrentRow) {
    load({"/a/1", "/a/2", "/a/3"});
    view.sg_filesSelectCell(Quelle, 2);
    ui.nextFiles.push_back({"/x/P.jpg", "/x/Q ü.txt", "R"});
    commands.Ordner1Click();
    EXPECT_EQ(column(Quelle), (Strings{"/a/1", "R", "/x/Q ü.txt", "/x/P.jpg", "/a/2", "/a/3"}));
    EXPECT_EQ(column(FtpName), (Strings{"n1", "R", "Q ü.txt", "P.jpg", "n2", "n3"}));
    EXPECT_EQ(column(Tag), (Strings{"No", ">>>", ">>>", ">>>", "No", "No"}));
    EXPECT_EQ(column(Aktiv), (Strings{"Ja", "", "", "", "Ja", "Ja"}));
    EXPECT_EQ(column(Msg), (Strings{"OK", "?", "?", "?", "OK", "OK"}));
    EXPECT_EQ(column(Nr), numbers(6));
    EXPECT_EQ(view.currentCell(), (CurrentCell{Quelle, 2}));
}

TEST_F(FileTableCommandsTest, ARowThatChangedWhileTheDialogWasOpenIsLeftAlone) {
    using Command = void (FileTableCommands::*)();
    struct Case {
        const char* name;
        Command command;
        int column;
    };
    const Case commandsWithDialog[] = {
        {"Ändern Dateiname", &FileTableCommands::Dateiname1Click, Quelle},
        {"Ändern Neuste Datei", &FileTableCommands::nderNeusteDatei1Click, Quelle},
        {"Dateien Einfügen", &FileTableCommands::Ordner1Click, Quelle},
        {"Ändere Temp Ziel", &FileTableCommands::temp_zielClick, TmpQuelle},
    };
    struct Change {
        const char* name;
        std::function<void(FileTable&)> whileOpen;
    };
    const Change changes[] = {
        {"current row deleted", [](FileTable& t) { t.setRowCount(1); }},
        {"every row deleted", [](FileTable& t) { t.setRowCount(0); }},
        {"a row above deleted", [](FileTable& t) { t.removeRow(1); }},
    };
    for (const Case& c : commandsWithDialog) {
        for (const Change& change : changes) {
            SCOPED_TRACE(std::string(c.name) + ", " + change.name);
            load({"/a/1", "/a/2", "/a/3"});
            view.sg_filesSelectCell(c.column, 2);
            ui.nextFiles.push_back({"/new/file.jpg"});
            ui.whileOpen = [this, &change] { change.whileOpen(table); };
            (commands.*c.command)();
            for (const std::string& s : column(Quelle)) EXPECT_NE(s, "/new/file.jpg");
            for (const std::string& s : column(TmpQuelle)) EXPECT_NE(s, "/new/file.jpg");
            EXPECT_FALSE(view.eNeusteDateiVisible());
        }
    }
}

// ---- tag editor --------------------------------------------------------------------

TEST_F(FileTableCommandsTest, TagEditorOpensOnlyOverACurrentSourceCell) {
    struct Case {
        int column, row;
        bool opens;
    };
    for (Case c : {Case{Quelle, 1, true}, Case{Quelle, 0, false}, Case{FtpPfad, 1, false}}) {
        load({"/a/1"});
        view.sg_filesSelectCell(c.column, c.row);
        commands.EinfgenTag1Click();
        EXPECT_EQ(view.cbTagVisible(), c.opens) << c.column << "/" << c.row;
        EXPECT_EQ(table.cell(Quelle, 1), "/a/1");
    }
}

// ---- removing a folder's rows ---------------------------------------------------------

TEST(FolderOfSource, FollowsTheLastSlash) {
    struct Case {
        const char* source;
        const char* folder;
    };
    const Case cases[] = {
        {"/srv/Bilder/x.jpg", "/srv/Bilder"},
        {"/x.jpg", "/"},
        {"//WETTER-PC/d$/x.html", "//WETTER-PC/d$"},
        {"//x.jpg", "//"},
        {"/srv/a//x.jpg", "/srv/a//"},
        {"Bilder/x.jpg", "Bilder"},
        {"x.jpg", ""},
        {"[_CAM_1_LAST_FOTO_NAME]", ""},
        {"", ""},
        {"/srv/Bilder/", "/srv/Bilder"},
    };
    for (const Case& c : cases) EXPECT_EQ(FileTableCommands::folderOfSource(c.source), c.folder) << c.source;
}

TEST_F(FileTableCommandsTest, RemovalAsksAboutTheMatchingRowsAndRemovesThem) {
    struct Case {
        const char* name;
        Strings sources;
        int currentRow;
        bool answer;
        std::string folder;
        int asked;
        Strings remaining;
    };
    const Case cases[] = {
        {"capital folder, small-letter source and subfolders",
         {"/srv/Web/a.html", "/srv/other/b", "/SRV/web/sub/c", "/srv/webcam/bild.jpg"}, 1, true, "/srv/Web", 3,
         {"/srv/other/b"}},
        {"answered no", {"/srv/Web/a.html", "/srv/other/b"}, 1, false, "/srv/Web", 1,
         {"/srv/Web/a.html", "/srv/other/b"}},
        {"umlauts are not folded", {"/m/ä/1", "/m/Ä/2", "/m/ä/3"}, 1, true, "/m/ä", 2, {"/m/Ä/2"}},
        {"a tag asks about 0 rows", {"[_CAM_1_LAST_FOTO_NAME]", "/a/b"}, 1, true, "", 0,
         {"[_CAM_1_LAST_FOTO_NAME]", "/a/b"}},
        {"a bare name has no folder", {"/a/b", "bild.jpg"}, 2, true, "", 0, {"/a/b", "bild.jpg"}},
        {"blanks in the folder", {"/m/Neuer Ordner/1", "/m/Neuer/2"}, 1, true, "/m/Neuer Ordner", 1,
         {"/m/Neuer/2"}},
        {"the root matches every path", {"/x.jpg", "/a/b", "[T]"}, 1, true, "/", 2, {"[T]"}},
        {"every row removed", {"/a/1", "/a/2"}, 2, true, "/a", 2, {}},
        {"the rest keeps its order", {"/k/3", "/d/1", "/k/1", "/d/2", "/k/2"}, 2, true, "/d", 2,
         {"/k/3", "/k/1", "/k/2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.sources);
        view.sg_filesSelectCell(Aktiv, c.currentRow);
        ui.questions.clear();
        ui.nextAnswers.push_back(c.answer);
        commands.AlleDateienausDiesenVerzeichnisEntfernen1Click();
        ASSERT_EQ(ui.questions.size(), 1u);
        EXPECT_EQ(ui.questions[0].first, "Bestätigung");
        EXPECT_EQ(ui.questions[0].second, "Alle " + std::to_string(c.asked) + " Zeilen mit\r\r\"" + c.folder +
                                              "\"\r\rEntfernen\rInclusive aller Unterverzeichnisse?");
        EXPECT_EQ(column(Quelle), c.remaining);
        EXPECT_EQ(column(Nr), numbers(static_cast<int>(c.remaining.size())));
        EXPECT_LE(view.currentCell().row, table.rowCount());
    }
}

TEST_F(FileTableCommandsTest, RemovalTestsTheRowsAgainAfterTheQuestion) {
    load({"/d/1", "/k/1", "/d/2"});
    view.sg_filesSelectCell(Quelle, 1);
    ui.nextAnswers.push_back(true);
    // While the question is open a row of the folder goes and another one comes.
    ui.whileOpen = [this] {
        table.removeRow(3);
        table.insertRow(1, FileTable::Row{"", "", "", "/D/neu"});
    };
    commands.AlleDateienausDiesenVerzeichnisEntfernen1Click();
    EXPECT_EQ(column(Quelle), (Strings{"/k/1"}));
    EXPECT_EQ(column(Nr), (Strings{"1"}));
}

// ---- fill down and the "Aktiv" switches --------------------------------------------

TEST_F(FileTableCommandsTest, FillDownWritesOnlyEmptyCellsFromTheCurrentRowOn) {
    struct Case {
        const char* name;
        Strings before;
        int currentRow;
        Strings after;
    };
    const Case cases[] = {
        {"skips filled cells", {"", "/web", "", "/x", ""}, 2, {"", "/web", "/web", "/x", "/web"}},
        {"empty value", {"/a", "", ""}, 2, {"/a", "", ""}},
        {"no current row", {"/a", ""}, 0, {"/a", ""}},
        {"last row", {"", "/z"}, 2, {"", "/z"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(Strings(c.before.size(), "/s"));
        for (int r = 1; r <= table.rowCount(); ++r) table.setCell(FtpPfad, r, c.before[r - 1]);
        view.sg_filesSelectCell(FtpPfad, c.currentRow);
        commands.fill_ftp_pfadClick();
        EXPECT_EQ(column(FtpPfad), c.after);
    }
}

TEST_F(FileTableCommandsTest, AllActiveAndAllInactiveSetEveryRow) {
    load({"/a", "/b", "/c"});
    table.setCell(Aktiv, 2, "");
    table.setCell(Aktiv, 3, "JA");
    view.sg_filesSelectCell(Quelle, 0);  // they do not look at the current cell
    commands.alleInaktivClick();
    EXPECT_EQ(column(Aktiv), (Strings{"No", "No", "No"}));
    commands.AlleAktivClick();
    EXPECT_EQ(column(Aktiv), (Strings{"Ja", "Ja", "Ja"}));
}

TEST_F(FileTableCommandsTest, CommandsOnTenThousandRows) {
    Strings sources;
    for (int i = 0; i < 10000; ++i) sources.push_back((i % 2 ? "/ungerade/" : "/gerade/") + std::to_string(i));
    load(sources);
    for (int r = 1; r <= table.rowCount(); ++r) table.setCell(FtpPfad, r, r % 3 ? "" : "/drei");
    view.sg_filesSelectCell(FtpPfad, 1);
    table.setCell(FtpPfad, 1, "/web");
    commands.fill_ftp_pfadClick();
    EXPECT_EQ(table.cell(FtpPfad, 10000), "/web");
    EXPECT_EQ(table.cell(FtpPfad, 9999), "/drei");

    view.sg_filesSelectCell(Quelle, 10000);
    commands.zeile_insertClick();
    EXPECT_EQ(table.rowCount(), 10001);
    EXPECT_EQ(table.cell(Nr, 10001), "10001");

    view.sg_filesSelectCell(Quelle, 2);  // "/ungerade/1"
    ui.nextAnswers.push_back(true);
    commands.AlleDateienausDiesenVerzeichnisEntfernen1Click();
    EXPECT_EQ(ui.questions.back().second.substr(0, 21), "Alle 5000 Zeilen mit\r");
    EXPECT_EQ(table.rowCount(), 5001);
    EXPECT_EQ(table.cell(Quelle, 5000), "/gerade/9998");
    EXPECT_EQ(table.cell(Nr, 5001), "5001");
}

}  // namespace
}  // namespace velora
