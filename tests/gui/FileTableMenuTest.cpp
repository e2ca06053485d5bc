// The context menu PM1 in the window: the items follow the selection, the commands
// change the grid, and sorting shows the busy cursor. The program's dialogs answer
// from a script, so no live dialog is ever shown.
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "GuiTestSupport.h"
#include "gui/FileGrid.h"
#include "gui/FileTableModel.h"
#include "gui/FilesPage.h"
#include "support/ScriptedUiHost.h"

namespace velora::gui::test {
namespace {

class FileTableMenuTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        env = std::make_unique<FixedEnvironment>(
            std::map<std::string, std::string>{{"temp", dir.string()}, {"COMPUTERNAME", "testpc"}, {"OS", "Linux"}},
            dir.string());
        program = std::make_unique<Program>(Program::Services{*env, clock, Locale::german(), scripted,
                                                              (dir / "registry.sqlite3").string(), systemInfo,
                                                              screen, shell, network.resolver, network.connector,
                                                              network.icmpSockets});
        window = std::make_unique<MainWindow>(*program, ui);
        window->setProcessEnd(*this);
        FileTable& t = program->files();
        t.setRowCount(3);
        const FileTable::Row rows[3] = {
            {"", "Ja", "No", "/srv/web/a.html", "/web", "a.html", "1", "1", "OK", ""},
            {"", "No", "Ja", "/srv/cam/b.jpg", "", "b.jpg", "2", "2", "OK", ""},
            {"", "Ja", "No", "/srv/web/c.txt", "", "c.txt", "3", "3", "OK", ""},
        };
        for (int r = 1; r <= 3; ++r) t.setRow(r, rows[r - 1]);
        t.renumberRows();
        window->resize(1000, 600);
        window->show();
        window->pages()->setCurrentIndex(2);
        QApplication::processEvents();
    }
    FilesPage* page() { return window->filesPage(); }
    FileGrid* grid() { return page()->grid(); }
    FileTableModel* model() { return page()->model(); }
    QString shown(int column, int coreRow) {
        return model()->data(model()->index(coreRow - 1, column), Qt::DisplayRole).toString();
    }
    void click(int column, int coreRow) {
        const QRect cell = grid()->visualRect(model()->index(coreRow - 1, column));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // What the menu shows when it opens now.
    QStringList visibleItems() {
        emit page()->pm1()->aboutToShow();
        QStringList names;
        for (QAction* a : page()->pm1()->actions())
            if (!a->isSeparator() && a->isVisible()) names << a->objectName();
        return names;
    }
    void trigger(const char* name) {
        QAction* a = page()->pm1()->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }

    velora::test::ScriptedUiHost scripted;
};

TEST_F(FileTableMenuTest, ItemsShowAndHideWithTheSelection) {
    EXPECT_EQ(visibleItems().size(), static_cast<int>(Pm1Item::Count));  // before any selection
    const QStringList always{"zeile_insert", "zeile_delete", "nderNeusteDatei1",
                             "AlleDateienausDiesenVerzeichnisEntfernen1", "Sortiere1"};
    click(Aktiv, 2);
    EXPECT_EQ(visibleItems(), (QStringList{"zeile_insert", "zeile_delete", "nderNeusteDatei1",
                                           "AlleDateienausDiesenVerzeichnisEntfernen1", "AlleAktiv", "alleInaktiv",
                                           "Sortiere1"}));
    click(FtpName, 2);
    EXPECT_EQ(visibleItems(), always);
    click(Quelle, 2);
    EXPECT_EQ(visibleItems(), (QStringList{"zeile_insert", "zeile_delete", "Dateiname1", "EinfgenTag1",
                                           "nderNeusteDatei1", "Ordner1", "AlleDateienausDiesenVerzeichnisEntfernen1",
                                           "Sortiere1"}));
    // A used item stays hidden until the next selection in its column brings it back.
    click(Quelle, 1);
    trigger("Dateiname1");  // cancelled
    EXPECT_FALSE(visibleItems().contains("Dateiname1"));
    EXPECT_TRUE(visibleItems().contains("Ordner1"));
    click(Quelle, 3);
    EXPECT_TRUE(visibleItems().contains("Dateiname1"));
}

TEST_F(FileTableMenuTest, InsertedFilesAndANewestFilePatternShowInTheGrid) {
    click(Quelle, 2);
    scripted.nextFiles.push_back({"/bilder/P.jpg", "/bilder/Q.jpg"});
    trigger("Ordner1");
    ASSERT_EQ(model()->rowCount(), 5);
    EXPECT_EQ(shown(Quelle, 2), "/bilder/Q.jpg");
    EXPECT_EQ(shown(Quelle, 3), "/bilder/P.jpg");
    EXPECT_EQ(shown(FtpName, 3), "P.jpg");
    EXPECT_EQ(shown(Quelle, 4), "/srv/cam/b.jpg");
    EXPECT_EQ(model()->headerData(4, Qt::Vertical, Qt::DisplayRole).toString(), "5");
    EXPECT_EQ(scripted.requests.back().title, "alle Dateien - Verzeichnis");

    // "Ändern Neuste Datei": the chosen file, then the yellow edit over the cell.
    click(Quelle, 3);
    scripted.nextFiles.push_back({"/bilder/bild_0001.jpg"});
    trigger("nderNeusteDatei1");
    auto* edit = grid()->findChild<QLineEdit*>("e_neuste_datei");
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), "/bilder/bild_0001.jpg");
    EXPECT_EQ(shown(Msg, 3), "Reset");
    // The user clicks into the edit, turns the name into a pattern and presses Enter.
    edit->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(edit->hasFocus());
    edit->setText("/bilder/bild_*.jpg");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(shown(Quelle, 3), "/bilder/bild_*.jpg");
    // Closing the edit hands the focus back without moving the current cell.
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{Quelle, 3}));
    EXPECT_EQ(grid()->currentIndex(), model()->index(2, Quelle));
}

TEST_F(FileTableMenuTest, RemovalAndFillDownChangeTheGrid) {
    click(FtpPfad, 1);
    trigger("fill_ftp_pfad");
    EXPECT_EQ(shown(FtpPfad, 3), "/web");

    click(Msg, 3);
    scripted.nextAnswers.push_back(true);
    trigger("AlleDateienausDiesenVerzeichnisEntfernen1");
    ASSERT_EQ(scripted.questions.size(), 1u);
    EXPECT_EQ(scripted.questions[0].second,
              "Alle 2 Zeilen mit\r\r\"/srv/web\"\r\rEntfernen\rInclusive aller Unterverzeichnisse?");
    ASSERT_EQ(model()->rowCount(), 1);
    EXPECT_EQ(shown(Quelle, 1), "/srv/cam/b.jpg");
    // The current row went with the others: the grid's selection moved to the last row.
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{Msg, 1}));
    EXPECT_EQ(grid()->currentIndex(), model()->index(0, Msg));
}

TEST_F(FileTableMenuTest, SortingShowsTheBusyCursorAndReordersTheGrid) {
    grid()->setCursor(Qt::CrossCursor);
    QList<Qt::CursorShape> during;
    QObject::connect(model(), &QAbstractItemModel::dataChanged, grid(),
                     [&] { during << grid()->cursor().shape(); });
    click(Quelle, 2);
    QMenu* sort = page()->pm1()->findChild<QMenu*>("Sortiere1");
    ASSERT_NE(sort, nullptr);
    sort->findChild<QAction*>("SortiereZA1")->trigger();
    ASSERT_FALSE(during.isEmpty());
    EXPECT_TRUE(during.contains(Qt::WaitCursor));
    EXPECT_EQ(grid()->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(shown(Quelle, 1), "/srv/web/c.txt");
    EXPECT_EQ(shown(Quelle, 3), "/srv/cam/b.jpg");
    // The current cell keeps its place and now shows another row.
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{Quelle, 2}));

    sort->findChild<QAction*>("SortiereFTPNameAZ1")->trigger();
    EXPECT_EQ(shown(FtpName, 1), "a.html");
    EXPECT_EQ(shown(FtpName, 3), "c.txt");
}

}  // namespace
}  // namespace velora::gui::test
