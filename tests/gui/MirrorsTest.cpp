// Views that mirror core data: the log and scratch views, the tag table; and the
// helpers at the boundary to Qt (error guard, dialogs, filters).
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
#include <filesystem>
#include <fstream>

#include "GuiTestSupport.h"
#include "gui/Guarded.h"
#include "gui/TextViewMirror.h"
#include "platform/Errors.h"

namespace velora::gui::test {
namespace {

class MirrorsTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        makeWindow();
    }
    QStringList shownLines(const char* name) {
        QStringList out;
        auto* view = find<TextViewMirror>(name);
        for (QTextBlock b = view->document()->firstBlock(); b.isValid(); b = b.next()) out << b.text();
        return out;
    }
};

TEST_F(MirrorsTest, LogViewFollowsAppendsRemovalsAndReplacement) {
    TextView& memo = program->Memo1();
    auto* view = find<TextViewMirror>("Memo1");
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    memo.appendLine("eins");
    memo.appendLine("");
    memo.appendLine("drei ä");
    EXPECT_EQ(shownLines("Memo1"), (QStringList{"eins", "", "drei ä"}));
    memo.removeFirstLine();
    EXPECT_EQ(shownLines("Memo1"), (QStringList{"", "drei ä"}));
    memo.removeFirstLine();
    memo.removeFirstLine();
    memo.appendLine("neu");
    EXPECT_EQ(shownLines("Memo1"), (QStringList{"neu"}));
    memo.setText("a\r\nb\rc\n");
    EXPECT_EQ(shownLines("Memo1"), (QStringList{"a", "b", "c"}));
}

TEST_F(MirrorsTest, LogViewStaysInStepOverThousandsOfLines) {
    TextView& memo = program->Memo1();
    memo.clear();
    // The event log's rule: above the limit, drop the first line, then append.
    const std::size_t limit = 600;
    for (int i = 0; i < 3000; ++i) {
        if (memo.lineCount() > limit) memo.removeFirstLine();
        memo.appendLine("Zeile " + std::to_string(i));
    }
    const QStringList lines = shownLines("Memo1");
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(limit + 1));
    EXPECT_EQ(lines.front(), "Zeile 2399");
    EXPECT_EQ(lines.back(), "Zeile 2999");
}

TEST_F(MirrorsTest, ScratchViewMirrorsItsOwnText) {
    program->M_temp().setText("[SYS_TIME] 12:00\n[SYS_DATE] 08.12.2026");
    EXPECT_EQ(shownLines("M_temp"), (QStringList{"[SYS_TIME] 12:00", "[SYS_DATE] 08.12.2026"}));
    EXPECT_EQ(shownLines("Memo1"), QStringList{""});
}

TEST_F(MirrorsTest, TagGridShowsEmptyRowsUntilTheFirstBuild) {
    auto* grid = find<QTableWidget>("SG_Tags");
    EXPECT_EQ(grid->rowCount(), 100);
    EXPECT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->columnWidth(0), 200);
    EXPECT_EQ(grid->columnWidth(1), 600);
    EXPECT_TRUE(grid->horizontalHeader()->isHidden());
    program->tags().cutTo(0);
    program->tags().append("[SYS_TIME]", "14:05:09");
    program->tags().append("[A]", "wert;mit;semikolon");
    EXPECT_EQ(grid->rowCount(), 100);  // one refresh per build, not per row
    program->tags().changed();
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->item(1, 0)->text(), "[A]");
    EXPECT_EQ(grid->item(1, 1)->text(), "wert;mit;semikolon");
}

TEST_F(MirrorsTest, GuardedShowsErrorsInsteadOfThrowing) {
    EXPECT_TRUE(guarded([] {}));
    EXPECT_FALSE(guarded([] { throw RegistryError::readFailed("Liste_row_count"); }));
    EXPECT_FALSE(guarded([] { throw std::runtime_error("anders"); }));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Fehler beim Holen der Daten für 'Liste_row_count'");
    EXPECT_EQ(errors[1], "anders");
}

TEST_F(MirrorsTest, FilterTextsBecomeQtNameFilters) {
    struct Case {
        const char* filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"txt|*.txt", {"txt (*.txt)"}},
        {"*.*", {"*.* (*)"}},
        {"Alle|*.*|JPG|*.jpg|HTM / HTML|*.thml;*.htm", {"Alle (*)", "JPG (*.jpg)", "HTM / HTML (*.thml *.htm)"}},
    };
    for (const Case& c : cases) EXPECT_EQ(QtUiHost::nameFilters(c.filter), c.expected) << c.filter;
}

TEST_F(MirrorsTest, PickFilesPreparesTheDialogAndReturnsEveryChosenFile) {
    std::filesystem::create_directory(dir / "bilder");
    const std::string folder = (dir / "bilder").string();
    std::ofstream(dir / "bilder" / "x.jpg") << "x";
    struct Case {
        FileDialogRequest request;
        QFileDialog::FileMode mode;
        QString folder;
    };
    const Case cases[] = {
        {{"alle Dateien - Verzeichnis", dir.string(), "", "Alle|*.*|JPG|*.jpg", true}, QFileDialog::ExistingFiles,
         QString::fromStdString(dir.string())},
        // A file's path as the start folder opens the file's folder.
        {{"Neuste Datei", folder + "/x.jpg", "x.jpg", "*.*", false}, QFileDialog::ExistingFile,
         QString::fromStdString(folder)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.title);
        const QStringList chosen{QString::fromStdString(folder + "/p.jpg"), QString::fromStdString(folder + "/r.gif")};
        dialogs.nextFiles(chosen);
        const auto files = ui.pickFiles(c.request);
        EXPECT_EQ(files, (std::vector<std::string>{folder + "/p.jpg", folder + "/r.gif"}));
        ASSERT_FALSE(dialogs.seen.empty());
        const ScriptedDialogs::Seen& shown = dialogs.seen.back();
        EXPECT_EQ(shown.title, QString::fromStdString(c.request.title));
        EXPECT_EQ(shown.fileMode, c.mode);
        EXPECT_EQ(shown.folder, c.folder);
        EXPECT_EQ(shown.nameFilters, QtUiHost::nameFilters(c.request.filter));
        EXPECT_TRUE(shown.qtDialog);
    }
    dialogs.nextFiles({});
    EXPECT_TRUE(ui.pickFiles({"Neuste Datei", folder, "", "*.*", false}).empty());
    EXPECT_TRUE(dialogs.seen.back().preset.isEmpty()) << "the last dialog's file still selected";
}

TEST_F(MirrorsTest, MessagesCarryTheProgramsTitle) {
    dialogs.nextAnswer("OK");
    ui.showMessage("Ping geht nicht mit Proxy.");
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].title, "VELORA");
    EXPECT_EQ(dialogs.seen[0].text, "Ping geht nicht mit Proxy.");
}

TEST_F(MirrorsTest, ConfirmIsTrueOnlyForJa) {
    struct Case {
        const char* button;
        bool answer;
    };
    for (const Case c : {Case{"&Ja", true}, Case{"&Nein", false}}) {
        dialogs.nextAnswer(c.button);
        EXPECT_EQ(ui.confirm("Bestätigung", "Alle 0 Zeilen mit\r\r\"\"\r\rEntfernen"), c.answer) << c.button;
        ASSERT_FALSE(dialogs.seen.empty());
        EXPECT_EQ(dialogs.seen.back().title, "Bestätigung");
        EXPECT_EQ(dialogs.seen.back().text, "Alle 0 Zeilen mit\n\n\"\"\n\nEntfernen");
        EXPECT_EQ(dialogs.seen.back().buttons, (QStringList{"&Ja", "&Nein"}));
    }
}

}  // namespace
}  // namespace velora::gui::test
