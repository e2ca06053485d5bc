// The file table in the grid: texts, colours, editing, the double-click actions, the
// editors over the current cell, dragging rows and column widths.
#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <set>

#include "GuiTestSupport.h"
#include "gui/FileGrid.h"
#include "gui/FileTableModel.h"
#include "gui/FilesPage.h"

namespace velora::gui::test {
namespace {

class FileGridTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        makeWindow();
        FileTable& t = program->files();
        t.setRowCount(4);
        const FileTable::Row rows[4] = {
            {"", "Ja", "No", "/srv/a.html", "/web", "a.html", "0", "0", "OK", ""},
            {"", "No", ">>>", "/srv/b.jpg", "", "b.jpg", "0", "0", "?", ""},
            {"", "JA", "Ja", "[TAG]", "/x", "c.txt", "1", "2", "NEU", "/tmp/c"},
            {"", "", "No", "/srv/d.txt", "", "d.txt", "0", "0", "", ""},
        };
        for (int r = 1; r <= 4; ++r) t.setRow(r, rows[r - 1]);
        t.renumberRows();
        window->resize(1000, 600);
        window->show();
        window->pages()->setCurrentIndex(2);
        // Editors take the keyboard focus only in the active window.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    FileGrid* grid() { return window->filesPage()->grid(); }
    FileTableModel* model() { return window->filesPage()->model(); }
    QModelIndex at(int column, int coreRow) { return model()->index(coreRow - 1, column); }
    QPoint centre(int column, int coreRow) { return grid()->visualRect(at(column, coreRow)).center(); }
    void click(int column, int coreRow) { QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, centre(column, coreRow)); }
    void doubleClick(int column, int coreRow) {
        click(column, coreRow);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, centre(column, coreRow));
    }
    QVariant background(int column, int coreRow) { return model()->data(at(column, coreRow), Qt::BackgroundRole); }
    // Every pixel on the top, left and bottom edge of a cell as painted (the grid line
    // excluded), where the text never reaches (a cut text reaches the right edge); one
    // colour means a flat cell with no frame.
    std::set<QRgb> edgeColours(int column, int coreRow) {
        const QImage image = grid()->viewport()->grab().toImage();
        const QRect r = grid()->visualRect(at(column, coreRow)).adjusted(0, 0, -kFileGridLine, -kFileGridLine);
        std::set<QRgb> out;
        for (int x = r.left(); x <= r.right(); ++x) {
            out.insert(image.pixel(x, r.top()));
            out.insert(image.pixel(x, r.bottom()));
        }
        for (int y = r.top(); y <= r.bottom(); ++y) out.insert(image.pixel(r.left(), y));
        return out;
    }
    // Waits until the keyboard focus is in `widget` or one of its children.
    bool focusReaches(QWidget* widget) {
        return QTest::qWaitFor([widget] {
            QWidget* focus = QApplication::focusWidget();
            return focus && (focus == widget || widget->isAncestorOf(focus));
        });
    }
};

TEST_F(FileGridTest, ModelAnswersTextsAndCaptions) {
    EXPECT_EQ(model()->rowCount(), 4);
    EXPECT_EQ(model()->columnCount(), 10);
    EXPECT_EQ(model()->data(at(Quelle, 3), Qt::DisplayRole).toString(), "[TAG]");
    EXPECT_EQ(model()->data(at(TmpQuelle, 3), Qt::DisplayRole).toString(), "/tmp/c");
    const QStringList captions{"Nr.", "Aktiv", "TAG", "Quelle", "FTP Pfad", "FTP Name", "PS neu", "PS alt", "MSG", "tmp-Quelle"};
    for (int c = 0; c < 10; ++c) EXPECT_EQ(model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), captions[c]);
    // The fixed "Nr." column is the row header.
    EXPECT_EQ(model()->headerData(2, Qt::Vertical, Qt::DisplayRole).toString(), "3");
    EXPECT_EQ(model()->flags(at(Nr, 1)), Qt::NoItemFlags);
}

TEST_F(FileGridTest, BackgroundsFollowTheDrawRules) {
    const QColor lime(0, 255, 0), red(255, 0, 0), yellow(255, 255, 0);
    program->filesView().sg_filesSelectCell(FtpName, 1);
    struct Case {
        int column, row;
        std::optional<QColor> colour;
    };
    const Case cases[] = {
        {FtpName, 1, lime},      // the current cell
        {FtpName, 2, {}},        // an ordinary cell
        {Tag, 2, red},           // ">>>"
        {Tag, 3, {}},            // "Ja" in TAG is not coloured
        {Aktiv, 1, {}},          // "Ja"
        {Aktiv, 2, yellow},      // "No"
        {Aktiv, 3, yellow},      // "JA" is not exactly "Ja"
        {Aktiv, 4, yellow},      // empty
    };
    for (const Case& c : cases) {
        const QVariant v = background(c.column, c.row);
        if (c.colour) {
            EXPECT_EQ(v.value<QBrush>().color(), *c.colour) << c.column << "/" << c.row;
        } else {
            EXPECT_FALSE(v.isValid()) << c.column << "/" << c.row;
        }
    }
    // A current "Aktiv" cell holding "No" stays yellow.
    program->filesView().sg_filesSelectCell(Aktiv, 2);
    EXPECT_EQ(background(Aktiv, 2).value<QBrush>().color(), yellow);
}

TEST_F(FileGridTest, CellsArePaintedFlatWithoutAFocusFrame) {
    const QRgb base = grid()->palette().color(QPalette::Base).rgb();
    const QRgb lime = qRgb(0, 255, 0), red = qRgb(255, 0, 0), yellow = qRgb(255, 255, 0);
    struct Case {
        int column, row;
        QRgb colour;
    };
    // The grid gaining the focus makes no cell current and draws no frame.
    grid()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(focusReaches(grid()));
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{}));
    for (const Case& c : {Case{Aktiv, 1, base}, Case{Tag, 1, base}, Case{FtpName, 1, base}, Case{Tag, 2, red},
                          Case{Aktiv, 2, yellow}})
        EXPECT_EQ(edgeColours(c.column, c.row), std::set<QRgb>{c.colour}) << c.column << "/" << c.row;

    click(FtpName, 1);
    click(Aktiv, 2);  // a current "No" stays yellow
    click(FtpName, 3);
    for (const Case& c : {Case{FtpName, 3, lime}, Case{FtpName, 1, base}, Case{Aktiv, 2, yellow}, Case{Tag, 2, red}})
        EXPECT_EQ(edgeColours(c.column, c.row), std::set<QRgb>{c.colour}) << c.column << "/" << c.row;
}

TEST_F(FileGridTest, ACutTextShowsWholeAsToolTip) {
    struct Case {
        int column, row, width;
        bool tip;
    };
    const Case cases[] = {
        {Msg, 1, 8, true},          // "OK" cut
        {Msg, 1, 60, false},        // "OK" whole
        {Quelle, 1, 40, true},      // "/srv/a.html" cut
        {Quelle, 1, 250, false},
        {TmpQuelle, 1, 8, false},   // an empty cell has nothing to show
    };
    for (const Case& c : cases) {
        program->files().setColumnWidth(c.column, c.width);
        window->filesPage()->applyColumnWidths();
        const QString text = QString::fromStdString(program->files().cell(c.column, c.row));
        const QPoint p = grid()->visualRect(at(c.column, c.row)).topLeft() + QPoint(3, 3);
        const QPoint global = grid()->viewport()->mapToGlobal(p);
        QToolTip::showText(global, QStringLiteral("-"), grid()->viewport());
        QHelpEvent help(QEvent::ToolTip, p, global);
        QApplication::sendEvent(grid()->viewport(), &help);
        if (c.tip) {
            EXPECT_EQ(QToolTip::text(), text) << c.column << " " << c.width;
        } else {
            EXPECT_NE(QToolTip::text(), text) << c.column << " " << c.width;
        }
        QToolTip::hideText();
    }
    // The widths stay as set.
    EXPECT_EQ(grid()->columnWidth(Msg), 60 + kFileGridLine);
}

TEST_F(FileGridTest, OnlyTheFtpNameCellIsEditableInPlace) {
    program->filesView().sg_filesSelectCell(Quelle, 1);
    for (int c = 1; c < kFileColumns; ++c) EXPECT_FALSE(model()->flags(at(c, 1)) & Qt::ItemIsEditable) << c;
    program->filesView().sg_filesSelectCell(FtpName, 1);
    for (int c = 1; c < kFileColumns; ++c)
        EXPECT_EQ(bool(model()->flags(at(c, 1)) & Qt::ItemIsEditable), c == FtpName) << c;
    EXPECT_TRUE(model()->setData(at(FtpName, 1), QStringLiteral("bild.jpg"), Qt::EditRole));
    EXPECT_EQ(program->files().cell(FtpName, 1), "bild.jpg");  // no "/" added
    EXPECT_FALSE(model()->setData(at(Quelle, 1), QStringLiteral("x"), Qt::EditRole));
    EXPECT_EQ(program->files().cell(Quelle, 1), "/srv/a.html");
}

TEST_F(FileGridTest, ClickAndKeysSelectTheCurrentCell) {
    click(FtpPfad, 2);
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{FtpPfad, 2}));
    QTest::keyClick(grid(), Qt::Key_Down);
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{FtpPfad, 3}));
    // The fixed column cannot be reached: Home stops at column 1.
    QTest::keyClick(grid(), Qt::Key_Home);
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{Aktiv, 3}));
}

TEST_F(FileGridTest, RightClickOpensTheMenuAndKeepsTheCurrentCell) {
    click(Msg, 1);
    const QPoint p = centre(Quelle, 3);
    QTest::mousePress(grid()->viewport(), Qt::RightButton, {}, p);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, p, grid()->viewport()->mapToGlobal(p));
    QApplication::sendEvent(grid()->viewport(), &menuEvent);
    QTest::mouseRelease(grid()->viewport(), Qt::RightButton, {}, p);
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{Msg, 1}));
    QMenu* pm1 = window->filesPage()->pm1();
    EXPECT_TRUE(pm1->isVisible());
    pm1->hide();
}

TEST_F(FileGridTest, DoubleClickTogglesAktivAndTag) {
    doubleClick(Aktiv, 3);  // "JA" becomes "Ja"
    EXPECT_EQ(program->files().cell(Aktiv, 3), "Ja");
    doubleClick(Aktiv, 3);
    EXPECT_EQ(program->files().cell(Aktiv, 3), "No");
    doubleClick(Tag, 2);  // ">>>" becomes "Ja"
    EXPECT_EQ(program->files().cell(Tag, 2), "Ja");
    EXPECT_EQ(program->files().cell(Aktiv, 2), "No");
}

TEST_F(FileGridTest, DoubleClickOnQuelleOpensTheMenu) {
    doubleClick(Quelle, 2);
    QMenu* pm1 = window->filesPage()->pm1();
    EXPECT_TRUE(pm1->isVisible());
    EXPECT_TRUE(window->filesPage()->pm1Action(Pm1Item::EinfgenTag1)->isVisible());
    pm1->hide();
}

TEST_F(FileGridTest, FtpPathEditorOpensOverTheCellWithTheSortedPresets) {
    program->settings().m_ftp_pfad = {"wetter", "/images", "", "/a"};
    doubleClick(FtpPfad, 3);
    auto* combo = grid()->findChild<QComboBox*>("cb_ftp_pfad");
    ASSERT_NE(combo, nullptr);
    ASSERT_TRUE(combo->isVisible());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    EXPECT_EQ(items, (QStringList{"/", "/a", "/images", "/wetter"}));
    EXPECT_EQ(combo->currentText(), "/x");
    EXPECT_TRUE(focusReaches(combo));
    // Unscrolled the editor covers the cell exactly (its size: the yellow edit below).
    const QRect cell = grid()->visualRect(at(FtpPfad, 3));
    const QPoint cellInGrid = grid()->viewport()->mapTo(grid(), cell.topLeft());
    EXPECT_EQ(combo->pos(), cellInGrid);
}

// Opens the drop-down list of an editor and clicks one of its entries.
void clickInList(QComboBox* combo, const QString& entry) {
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }));
    // Opening the list takes the focus into it; the editor stays open.
    ASSERT_TRUE(combo->isVisible());
    const QRect item = list->visualRect(list->model()->index(combo->findText(entry), 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
}

// Types a folder over the editor's text as the keyboard does it (to the combo box, which
// holds the focus), then the key.
void typeInto(QComboBox* combo, Qt::Key key) {
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo, "/wett");
    QTest::keyClick(combo, key);
}

// The folder goes into the "FTP Pfad" cell and nowhere else: the editor closes, the
// current cell stays, and the next key reaches the grid, not the "FTP Name" cell.
TEST_F(FileGridTest, AChosenFolderLeavesTheCurrentCellAndTheNextKeyAlone) {
    program->settings().m_ftp_pfad = {"/", "/privat", "/web", "/wetter"};
    struct Case {
        const char* how;
        std::function<void(QComboBox*)> choose;
        const char* folder;
    };
    const Case cases[] = {
        {"next entry by the arrow key", [](QComboBox* c) { QTest::keyClick(c, Qt::Key_Down); }, "/wetter"},
        // Typed text stays as typed (no preset completes it) and reaches the cell only with Enter.
        {"typed folder and Enter", [](QComboBox* c) { typeInto(c, Qt::Key_Return); }, "/wett"},
        {"typed folder and Escape", [](QComboBox* c) { typeInto(c, Qt::Key_Escape); }, "/web"},
        {"entry clicked in the opened list", [](QComboBox* c) { clickInList(c, "/wetter"); }, "/wetter"},
        {"the cell's own folder clicked", [](QComboBox* c) { clickInList(c, "/web"); }, "/web"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        program->files().setCell(FtpPfad, 1, "/web");
        doubleClick(FtpPfad, 1);
        auto* combo = grid()->findChild<QComboBox*>("cb_ftp_pfad");
        ASSERT_TRUE(combo->isVisible());
        ASSERT_TRUE(focusReaches(combo));
        c.choose(combo);
        EXPECT_EQ(program->files().cell(FtpPfad, 1), c.folder);
        EXPECT_FALSE(combo->isVisible());
        EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{FtpPfad, 1}));
        EXPECT_EQ(grid()->currentIndex(), at(FtpPfad, 1));
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_X);
        EXPECT_EQ(program->files().cell(FtpName, 1), "a.html");
        EXPECT_EQ(program->files().cell(FtpPfad, 1), c.folder);
    }
}

TEST_F(FileGridTest, FtpPathEditorClosesOnAnotherSelection) {
    doubleClick(FtpPfad, 1);
    auto* combo = grid()->findChild<QComboBox*>("cb_ftp_pfad");
    ASSERT_TRUE(combo->isVisible());
    click(Msg, 2);
    EXPECT_FALSE(combo->isVisible());
    EXPECT_EQ(program->files().cell(FtpPfad, 1), "/web");
}

TEST_F(FileGridTest, FtpPathEditorClosesWhenItLosesTheFocus) {
    doubleClick(FtpPfad, 2);
    auto* combo = grid()->findChild<QComboBox*>("cb_ftp_pfad");
    ASSERT_TRUE(combo->isVisible());
    grid()->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(combo->isVisible());
    EXPECT_FALSE(program->filesView().cbFtpPfadVisible());
    EXPECT_EQ(program->files().cell(FtpPfad, 2), "");
}

TEST_F(FileGridTest, TypingIntoTheFtpNameCellStoresTheText) {
    click(FtpName, 2);
    QTest::keyClick(grid(), Qt::Key_N);  // the first key opens the editor with itself
    auto* editor = grid()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "eu.jpg");
    EXPECT_EQ(editor->text(), "neu.jpg");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the delegate commits through a queued call
    EXPECT_EQ(program->files().cell(FtpName, 2), "neu.jpg");
    // Any other column ignores typing.
    click(Quelle, 2);
    QTest::keyClicks(grid(), "[T");  // "[TAG]" below must not become current
    EXPECT_EQ(program->files().cell(Quelle, 2), "/srv/b.jpg");
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{Quelle, 2}));
}

TEST_F(FileGridTest, TagEditorListsTheTagsWithoutTakingFocus) {
    program->tags().cutTo(2);
    program->tags().set(0, "[SYS_TIME]", "12:00");
    program->tags().set(1, "[_CAM_1_LAST_FOTO_NAME]", "/cam/1.jpg");
    click(Quelle, 4);
    program->filesView().showCbTag();
    window->filesPage()->syncEditors();
    auto* combo = grid()->findChild<QComboBox*>("cb_tag");
    ASSERT_TRUE(combo->isVisible());
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), "[_CAM_1_LAST_FOTO_NAME]");
    EXPECT_EQ(combo->currentText(), "/srv/d.txt");
    EXPECT_FALSE(combo->hasFocus() || combo->lineEdit()->hasFocus());
    combo->setCurrentIndex(1);
    EXPECT_EQ(program->files().cell(Quelle, 4), "[_CAM_1_LAST_FOTO_NAME]");
    EXPECT_FALSE(combo->isVisible());
}

TEST_F(FileGridTest, NewestFileEditorCoversItsCellAndWritesItsOwnRowOnEnter) {
    click(Quelle, 2);
    program->filesView().showENeusteDatei();
    window->filesPage()->syncEditors();
    auto* edit = grid()->findChild<QLineEdit*>("e_neuste_datei");
    ASSERT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(edit->text(), "/srv/b.jpg");
    const QRect cell = grid()->visualRect(at(Quelle, 2));
    EXPECT_EQ(edit->geometry(), cell.translated(grid()->viewport()->mapTo(grid(), QPoint())));
    click(Quelle, 4);  // a selection does not hide it
    EXPECT_TRUE(edit->isVisible());
    edit->setText("/srv/*.jpg");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(program->files().cell(Quelle, 2), "/srv/*.jpg");
    EXPECT_EQ(program->files().cell(Quelle, 4), "/srv/d.txt");
    EXPECT_FALSE(edit->isVisible());
}

TEST_F(FileGridTest, DraggingTheNrCellMovesTheRow) {
    QHeaderView* rows = grid()->verticalHeader();
    rows->moveSection(3, 0);  // row 4 dropped on row 1
    EXPECT_EQ(program->files().cell(Quelle, 1), "/srv/d.txt");
    EXPECT_EQ(program->files().cell(Quelle, 2), "/srv/a.html");
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(program->files().cell(Nr, r), std::to_string(r));
    for (int v = 0; v < 4; ++v) EXPECT_EQ(rows->logicalIndex(v), v);  // the header shows the table's order
    EXPECT_EQ(model()->data(at(Quelle, 1), Qt::DisplayRole).toString(), "/srv/d.txt");
}

TEST_F(FileGridTest, MouseDragOnTheNrCellMovesTheRow) {
    QHeaderView* rows = grid()->verticalHeader();
    const int x = rows->width() / 2;
    const auto middleOf = [rows](int qtRow) { return rows->sectionViewportPosition(qtRow) + rows->sectionSize(qtRow) / 2; };
    QTest::mousePress(rows->viewport(), Qt::LeftButton, {}, {x, middleOf(0)});
    for (int y = middleOf(0); y <= middleOf(2) + 4; y += 3) QTest::mouseMove(rows->viewport(), {x, y});
    QTest::mouseRelease(rows->viewport(), Qt::LeftButton, {}, {x, middleOf(2) + 4});
    // Row 1 dropped on row 3: rows 2 and 3 move up by one.
    EXPECT_EQ(program->files().cell(Quelle, 1), "/srv/b.jpg");
    EXPECT_EQ(program->files().cell(Quelle, 2), "[TAG]");
    EXPECT_EQ(program->files().cell(Quelle, 3), "/srv/a.html");
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{}));  // the header never selects
}

TEST_F(FileGridTest, ColumnWidthsGoBothWays) {
    grid()->horizontalHeader()->resizeSection(Quelle, 301);
    EXPECT_EQ(program->files().columnWidth(Quelle), 300);
    program->files().setColumnWidth(FtpPfad, 200);
    program->files().setColumnWidth(Nr, 30);
    window->filesPage()->applyColumnWidths();
    EXPECT_EQ(grid()->columnWidth(FtpPfad), 201);
    EXPECT_EQ(grid()->verticalHeader()->width(), 31);
    EXPECT_EQ(grid()->rowHeight(0), kFileRowHeight + kFileGridLine);
}

TEST_F(FileGridTest, ShrinkingTheTableKeepsACurrentCellInside) {
    click(Msg, 4);
    program->files().setRowCount(2);
    EXPECT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(program->filesView().currentCell(), (CurrentCell{Msg, 2}));
    EXPECT_EQ(grid()->currentIndex(), at(Msg, 2));
    program->files().setRowCount(0);
    EXPECT_EQ(program->filesView().currentCell().row, 0);
    EXPECT_FALSE(grid()->currentIndex().isValid());
}

}  // namespace
}  // namespace velora::gui::test
