// The window's frame: pages, menus, the button panel, the status bar, start-up and end.
#include <QCheckBox>
#include <QHeaderView>
#include <QScreen>
#include <QStyleOptionHeader>
#include <fstream>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <set>

#include "GuiTestSupport.h"
#include "gui/FileGrid.h"
#include "gui/FileGridDelegate.h"
#include "gui/FileTableModel.h"
#include "gui/FilesPage.h"
#include "gui/StatusBar.h"
#include "gui/TextViewMirror.h"

namespace velora::gui::test {
namespace {

using Items = std::vector<std::pair<QString, QString>>;  // objectName, text ("-" separator)

Items itemsOf(const QMenu* menu) {
    Items out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            out.emplace_back(QString(), QStringLiteral("-"));
        else
            out.emplace_back(a->objectName(), a->text());
    }
    return out;
}

class MainWindowTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        makeWindow();
    }
};

TEST_F(MainWindowTest, PagesInTheirOrderWithCaptions) {
    const QStringList expected{"Config", "Zeitsteuerung", "Dateien", "TAGs", "Tools", "LOG", "Temp"};
    QTabWidget* pages = find<QTabWidget>("PageControl1");
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), expected.size());
    for (int i = 0; i < pages->count(); ++i) EXPECT_EQ(pages->tabText(i), expected[i]) << i;
    // The run switches to index 5, which must be the log view.
    EXPECT_NE(pages->widget(5)->findChild<TextViewMirror*>("Memo1"), nullptr);
    EXPECT_NE(pages->widget(6)->findChild<TextViewMirror*>("M_temp"), nullptr);
    EXPECT_NE(pages->widget(2)->findChild<QWidget*>("sg_files"), nullptr);
    EXPECT_NE(pages->widget(3)->findChild<QWidget*>("SG_Tags"), nullptr);
    ui.showLogPage();
    EXPECT_EQ(pages->currentIndex(), 5);
}

TEST_F(MainWindowTest, MainMenuItemsInOrder) {
    QStringList titles;
    for (QAction* a : window->menuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"Datei", "Config", "Hilfe"}));
    EXPECT_EQ(itemsOf(find<QMenu>("Datei1")), (Items{{"Ende1", "Ende"}}));
    EXPECT_EQ(itemsOf(find<QMenu>("Config1")), (Items{{"LoadConfig1", "Load Config"},
                                                      {"SaveConfig1", "Save Config"},
                                                      {"Reset_ps", "alle Prüfsummen Reset"}}));
    EXPECT_EQ(itemsOf(find<QMenu>("Hilfe1")), (Items{{"TrevlodeWebseite1", "norvex.example  Webseite"},
                                                     {"VeloraWebHilfe1", "VELORA Web Hilfe"},
                                                     {"Feedback1", "Feedback"}}));
}

TEST_F(MainWindowTest, ContextMenuOfTheFileTable) {
    QMenu* pm1 = find<QMenu>("PM1");
    ASSERT_NE(pm1, nullptr);
    const QString sep;
    const Items expected{{"zeile_insert", "Zeile Einfügen"},
                         {"zeile_delete", "Zeile Löschen"},
                         {sep, "-"},
                         {"Dateiname1", "Ändern Dateiname"},
                         {"EinfgenTag1", "Ändern Tag"},
                         {"nderNeusteDatei1", "Ändern Neuste Datei"},
                         {sep, "-"},
                         {"Ordner1", "Dateien Einfügen"},
                         {sep, "-"},
                         {"AlleDateienausDiesenVerzeichnisEntfernen1", "Alle Zeilen mit Diesen Verzeichnis Entfernen"},
                         {sep, "-"},
                         {"fill_ftp_pfad", "Pfad nach unten auffüllen ( Nur Leere Zellen )"},
                         {"AlleAktiv", "Alle Aktiv"},
                         {"alleInaktiv", "Alle Inaktiv"},
                         {sep, "-"},
                         {"temp_ziel", "Ändere Temp Ziel"},
                         {sep, "-"},
                         {"Sortiere1", "Sortieren"}};
    EXPECT_EQ(itemsOf(pm1), expected);
    EXPECT_EQ(pm1->findChild<QAction*>("fill_ftp_pfad")->toolTip(), "!!! Nur Leere Zellen !!!");
    QMenu* sort = pm1->actions().back()->menu();
    ASSERT_NE(sort, nullptr);
    EXPECT_EQ(itemsOf(sort), (Items{{"SortiereAZ", "Quelle  A-Z"},
                                    {"SortiereZA1", "Quelle Z-A"},
                                    {sep, "-"},
                                    {"SortiereFTPPfadAZ1", "FTP Pfad A-Z"},
                                    {"SortiereFTPPfadZA1", "FTP Pfad Z-A"},
                                    {sep, "-"},
                                    {"SortiereFTPNameAZ1", "FTP Name A-Z"},
                                    {"SortiereFTPNameZA1", "FTP Name Z-A"}}));
}

TEST_F(MainWindowTest, ContextMenuShowsOnlyTheItemsOfTheCurrentColumn) {
    FilesPage* page = window->filesPage();
    program->filesView().sg_filesSelectCell(Aktiv, 1);
    emit page->pm1()->aboutToShow();
    EXPECT_TRUE(page->pm1Action(Pm1Item::AlleAktiv)->isVisible());
    EXPECT_FALSE(page->pm1Action(Pm1Item::Dateiname1)->isVisible());
    EXPECT_TRUE(page->pm1Action(Pm1Item::zeile_insert)->isVisible());
    program->filesView().sg_filesSelectCell(Quelle, 1);
    emit page->pm1()->aboutToShow();
    EXPECT_FALSE(page->pm1Action(Pm1Item::AlleAktiv)->isVisible());
    EXPECT_TRUE(page->pm1Action(Pm1Item::Dateiname1)->isVisible());
    EXPECT_TRUE(page->pm1Action(Pm1Item::Sortiere1)->isVisible());
}

TEST_F(MainWindowTest, ButtonPanelFromLeftToRight) {
    window->show();
    QApplication::processEvents();
    QWidget* panel = find<QWidget>("Panel1");
    ASSERT_NE(panel, nullptr);
    const std::vector<std::pair<const char*, const char*>> buttons{{"B_connect", "Connect"},
                                                                   {"B_Disconnect", "DisConnect"},
                                                                   {"B_einlesen", "Einlesen"},
                                                                   {"B_versenden", "Versenden"},
                                                                   {"B_Start", "Start"}};
    int lastRight = -1;
    for (const auto& [name, text] : buttons) {
        auto* b = panel->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), QString::fromUtf8(text));
        EXPECT_GE(b->x(), lastRight) << name;
        lastRight = b->geometry().right();
    }
    auto* label3 = panel->findChild<QLabel*>("Label3");
    auto* hide = panel->findChild<QPushButton*>("B_hide");
    ASSERT_NE(label3, nullptr);
    ASSERT_NE(hide, nullptr);
    EXPECT_GT(label3->x(), lastRight);
    EXPECT_EQ(hide->text(), "Hide");
    EXPECT_GT(hide->x(), label3->geometry().right());
    // "Hide" sits at the right edge: nothing but the panel's margin after it.
    EXPECT_LE(panel->width() - hide->geometry().right(), 12);
}

TEST_F(MainWindowTest, StatusBarPanelsAndProgressBarGeometry) {
    window->show();
    QApplication::processEvents();
    QWidget* bar = find<QWidget>("StatusBar1");
    ASSERT_NE(bar, nullptr);
    const int widths[9] = {50, 50, 50, 50, 50, 102, 100, 110, 50};
    int x = 0;
    for (int i = 0; i < 9; ++i) {
        auto* panel = bar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
        ASSERT_NE(panel, nullptr) << i;
        // The last panel also fills what is left of the bar.
        if (i < 8) {
            EXPECT_EQ(panel->width(), widths[i]) << i;
        } else {
            EXPECT_GE(panel->width(), widths[i]);
            EXPECT_EQ(panel->geometry().right(), bar->width() - 1);
        }
        EXPECT_EQ(panel->x(), x) << i;
        x += widths[i];
    }
    auto* progress = bar->findChild<QProgressBar*>("ProgressBar1");
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->parentWidget(), bar);
    EXPECT_EQ(progress->geometry().left(), 50 * 5 + 2);
    EXPECT_EQ(progress->geometry().top(), 3);
    EXPECT_EQ(progress->width(), 100);
    EXPECT_EQ(progress->minimum(), 0);
    EXPECT_EQ(progress->maximum(), 59);
    EXPECT_FALSE(progress->isTextVisible());
}

QRgb pixelAt(QWidget* w, QPoint p) { return w->grab().toImage().pixel(p); }

TEST_F(MainWindowTest, StatusDisplayIsPaintedFromTheCore) {
    StatusDisplay& s = program->status();
    s.panels[0] = "Timer ON";
    s.panels[2] = "Online";
    s.panels[8] = "ges. =  1.234 KB";
    s.progressPosition = 59;
    s.l_zeit_start_alt = "Montag den 07.12.2026 um 9:5";
    s.l_dauer_max = "00:00:07";
    struct Case {
        ProgressColour colour;
        QRgb rgb;
    };
    for (const Case& c : {Case{ProgressColour::Yellow, qRgb(255, 255, 0)}, Case{ProgressColour::Lime, qRgb(0, 255, 0)},
                          Case{ProgressColour::Red, qRgb(255, 0, 0)}}) {
        s.progress = c.colour;
        s.buttonPanel = c.colour == ProgressColour::Lime ? PanelColour::Lime : PanelColour::ButtonFace;
        s.changed();
        auto* progress = find<QProgressBar>("ProgressBar1");
        EXPECT_EQ(progress->value(), 59);
        EXPECT_EQ(pixelAt(progress, {progress->width() / 2, progress->height() / 2}), c.rgb);
        QWidget* panel = find<QWidget>("Panel1");
        const bool lime = pixelAt(panel, {panel->width() / 2, 2}) == qRgb(0, 255, 0);
        EXPECT_EQ(lime, c.colour == ProgressColour::Lime);
    }
    EXPECT_EQ(find<QLabel>("StatusPanel0")->text(), "Timer ON");
    EXPECT_EQ(find<QLabel>("StatusPanel2")->text(), "Online");
    EXPECT_EQ(find<QLabel>("StatusPanel8")->text(), "ges. =  1.234 KB");
    EXPECT_EQ(find<QLabel>("l_zeit_start_alt")->text(), "Montag den 07.12.2026 um 9:5");
    EXPECT_EQ(find<QLabel>("l_dauer_max")->text(), "00:00:07");
}

TEST_F(MainWindowTest, StartUpSetsCaptionsLoadsAndStartsTheTimer) {
    window->startUp();
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(window->windowTitle(), "VELORA 1.3.7.34  by norvex.example");
    EXPECT_EQ(find<QLabel>("Label3")->text(), "www.norvex.example");
    EXPECT_EQ(program->timerEnabled(), window->timer1()->isActive());
    EXPECT_TRUE(window->timer1()->isActive());
    EXPECT_EQ(window->timer1()->interval(), 1000);
    EXPECT_EQ(find<QTabWidget>("PageControl1")->currentIndex(), 0);
    auto* memo = find<TextViewMirror>("Memo1");
    EXPECT_TRUE(memo->toPlainText().contains("Programm -> RUN"));
    EXPECT_EQ(window->filesPage()->model()->rowCount(), program->files().rowCount());
}

TEST_F(MainWindowTest, StartUpErrorIsShownAndTheRestIsSkipped) {
    {
        std::ofstream garbage(dir / "registry.sqlite3", std::ios::binary);
        garbage << "this is not a settings store";
    }
    makeWindow();
    window->startUp();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_FALSE(window->timer1()->isActive());
    EXPECT_EQ(window->windowTitle(), "VELORA");
    window->show();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, AktivSwitchRefreshesTheStatusAtOnce) {
    window->startUp();
    auto* aktiv = find<QCheckBox>("cb_activ");
    aktiv->setChecked(true);
    EXPECT_TRUE(program->settings().cb_activ);
    EXPECT_EQ(find<QLabel>("StatusPanel0")->text(), "Timer ON");
    aktiv->setChecked(false);
    EXPECT_EQ(find<QLabel>("StatusPanel0")->text(), "Timer OFF");
}

TEST_F(MainWindowTest, HideLeavesAWayBack) {
    window->show();
    QApplication::processEvents();
    find<QPushButton>("B_hide")->click();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(window->trayIcon()->isVisible());
    } else {
        // Without a tray the window only minimises, so it can still be found.
        EXPECT_TRUE(window->isMinimized());
    }
    window->FormView1Click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(window->trayIcon()->isVisible());
}

// What the screen shows of the bar grows with every second of the minute, not in
// steps of the style's chunks.
TEST_F(MainWindowTest, ProgressBarOnScreenMovesOnEverySecond) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* progress = find<QProgressBar>("ProgressBar1");
    const QRect bar(progress->mapTo(window.get(), QPoint(0, 0)), progress->size());
    const std::set<QRgb> chunk{qRgb(255, 0, 0), qRgb(255, 255, 0), qRgb(0, 255, 0)};
    int shown = -1;
    for (int second = 0; second < 60; ++second) {
        clock.set({2026, 12, 8, 14, 5, second, 0, 3});
        window->Timer1Timer();
        EXPECT_EQ(progress->value(), second);
        QApplication::processEvents();  // the repaint reaches the screen
        const QImage screen = window->screen()->grabWindow(window->winId()).toImage();
        int filled = 0;
        for (int x = bar.left(); x <= bar.right(); ++x)
            if (chunk.count(screen.pixel(x, bar.center().y()))) ++filled;
        if (second == 0) {
            EXPECT_EQ(filled, 0);
        } else {
            EXPECT_GT(filled, shown) << "second " << second;
        }
        shown = filled;
    }
    EXPECT_GE(shown, bar.width() - 4);
}

TEST_F(MainWindowTest, GeometryIsSavedAndLoadedWithTheSettings) {
    window->startUp();
    window->move(40, 50);
    window->resize(900, 700);
    window->SaveConfig1Click();
    window->move(10, 10);
    window->resize(800, 600);
    window->LoadConfig1Click();
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(window->pos(), QPoint(40, 50));
    EXPECT_EQ(window->size(), QSize(900, 700));
}

// A damaged stored place or size starts a window on the screen, no larger than it (or
// than its own minimum). A place and size the screen holds stay: GeometryIsSaved... above.
TEST_F(MainWindowTest, StoredGeometryIsKeptOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableVirtualGeometry();
    for (const WindowGeometry& damaged : {WindowGeometry{2147483647, -2147483647, 2147483647, 2147483647},
                                          WindowGeometry{0, 0, 100000, 100000}}) {
        window.reset();  // the store then saves the damaged values, not the window's
        program->settings().window = damaged;
        program->store().SaveConfig();
        makeWindow();
        window->startUp();
        window->show();
        EXPECT_TRUE(area.contains(window->pos()));
        EXPECT_LE(window->width(), std::max(area.width(), window->minimumWidth()));
        EXPECT_LE(window->height(), std::max(area.height(), window->minimumHeight()));
    }
}

// A first start sizes the columns to their captions and widest texts in the grid's real
// font (as the style measures a caption, as the grid cuts a cell's text) and stores
// that; stored widths stay.
TEST_F(MainWindowTest, FirstStartWidthsHoldTheWidestTextsAndStoredWidthsStay) {
    const std::pair<int, const char*> widest[] = {{Aktiv, "No"},         {Tag, ">>>"},     {PsNeu, "2147483647"},
                                                  {PsAlt, "1999999999"}, {Msg, "IOERROR"}, {Msg, "Reset"}};
    const auto holds = [&](int column, const char* text) {
        FileGrid* grid = window->filesPage()->grid();
        QStyleOptionHeader caption;
        caption.initFrom(grid->horizontalHeader());
        caption.text = grid->model()->headerData(column, Qt::Horizontal).toString();
        const QSize need = grid->style()->sizeFromContents(QStyle::CT_HeaderSection, &caption, {}, grid);
        return need.width() <= grid->columnWidth(column) &&
               FileGridDelegate::fits(grid->fontMetrics(), text, program->files().columnWidth(column));
    };
    window->startUp();
    for (const auto& [column, text] : widest) EXPECT_TRUE(holds(column, text)) << text;
    program->registry().openKey(kSettingsKey).writeInteger("Breite_8", 20);
    window->LoadConfig1Click();
    EXPECT_EQ(program->files().columnWidth(Msg), 20);
}

TEST_F(MainWindowTest, LoadStoppedByABadValueStillShowsWhatItApplied) {
    window->startUp();
    window->move(40, 50);
    window->resize(900, 700);
    program->files().setColumnWidth(Quelle, 300);
    window->SaveConfig1Click();
    // The row count comes after the window's place and the column widths.
    program->registry().openKey(kSettingsKey).writeString("Liste_row_count", "6");
    window->move(10, 10);
    window->resize(800, 600);
    program->files().setColumnWidth(Quelle, 250);
    window->filesPage()->applyColumnWidths();
    errors.clear();

    window->LoadConfig1Click();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front(), "Ungültiger Datentyp für 'Liste_row_count'");
    EXPECT_EQ(window->pos(), QPoint(40, 50));
    EXPECT_EQ(window->size(), QSize(900, 700));
    EXPECT_EQ(program->files().columnWidth(Quelle), 300);
    EXPECT_EQ(window->filesPage()->grid()->columnWidth(Quelle), 301);
}

TEST_F(MainWindowTest, EndeLogsAndEndsTheProcess) {
    window->startUp();
    find<QAction>("Ende1")->trigger();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(find<TextViewMirror>("Memo1")->toPlainText().endsWith("Programm -> END"));
}

TEST_F(MainWindowTest, CloseBoxEndsWithoutLogging) {
    window->startUp();
    const int lines = program->Memo1().lineCount();
    window->show();
    window->close();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(program->Memo1().lineCount(), static_cast<std::size_t>(lines));
}

}  // namespace
}  // namespace velora::gui::test
