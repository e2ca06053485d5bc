// Views that mirror core data: the log and scratch views, the tag table; and the
// helpers at the boundary to Qt (error guard, dialogs, filters).
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
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

TEST_F(MirrorsTest, PickFilesReturnsEveryChosenFile) {
    for (const char* n : {"p.jpg", "q.jpg", "r.gif"}) std::ofstream(dir / n) << "x";
    FileDialogRequest req{"alle Dateien - Verzeichnis", dir.string(), "", "Alle|*.*|JPG|*.jpg", true};
    whenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "alle Dateien - Verzeichnis");
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        dialog->selectFile("\"p.jpg\" \"r.gif\"");
        // done() rather than accept(): accept() may stop to warn while the folder is still being read.
        static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
    });
    const auto chosen = ui.pickFiles(req);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0], (dir / "p.jpg").string());
    EXPECT_EQ(chosen[1], (dir / "r.gif").string());
}

TEST_F(MirrorsTest, MessagesCarryTheProgramsTitle) {
    QString title, text;
    whenModalOpens([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    ui.showMessage("Ping geht nicht mit Proxy.");
    EXPECT_EQ(title, "VELORA");
    EXPECT_EQ(text, "Ping geht nicht mit Proxy.");
}

TEST_F(MirrorsTest, AFilePathAsStartFolderOpensItsFolder) {
    std::filesystem::create_directory(dir / "bilder");
    const auto picture = dir / "bilder" / "x.jpg";
    std::ofstream(picture) << "x";
    QString folder;
    whenModalOpens([&](QWidget* modal) {
        folder = static_cast<QFileDialog*>(modal)->directory().absolutePath();
        static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_TRUE(ui.pickFiles({"Neuste Datei", picture.string(), "x.jpg", "*.*", false}).empty());
    EXPECT_EQ(folder, QString::fromStdString((dir / "bilder").string()));
}

TEST_F(MirrorsTest, ConfirmIsTrueOnlyForJa) {
    for (const bool sayYes : {true, false}) {
        QString text, title;
        whenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            text = box->text();
            title = box->windowTitle();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == (sayYes ? "&Ja" : "&Nein")) b->click();
        });
        const bool answer = ui.confirm("Bestätigung", "Alle 0 Zeilen mit\r\r\"\"\r\rEntfernen");
        EXPECT_EQ(answer, sayYes);
        EXPECT_EQ(title, "Bestätigung");
        EXPECT_EQ(text, "Alle 0 Zeilen mit\n\n\"\"\n\nEntfernen");
    }
}

}  // namespace
}  // namespace velora::gui::test
