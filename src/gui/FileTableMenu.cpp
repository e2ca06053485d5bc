#include "gui/FileTableMenu.h"

#include <QCursor>

#include "filetable/FileTable.h"
#include "filetable/FileTableCommands.h"
#include "filetable/SortFileTable.h"
#include "gui/Guarded.h"

namespace velora::gui {

namespace {

// Puts the busy cursor over a widget and gives it back its own cursor afterwards,
// also when the work leaves with an error.
class BusyCursor {
public:
    explicit BusyCursor(QWidget* widget)
        : widget_(widget), hadOwn_(widget->testAttribute(Qt::WA_SetCursor)), saved_(widget->cursor()) {
        widget_->setCursor(Qt::WaitCursor);
    }
    ~BusyCursor() {
        if (hadOwn_) {
            widget_->setCursor(saved_);
        } else {
            widget_->unsetCursor();
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    QWidget* widget_;
    bool hadOwn_;
    QCursor saved_;
};

}  // namespace

FileTableMenu::FileTableMenu(FileTable& table, FileTableView& view, FileTableCommands& commands, QWidget* grid,
                             QWidget* parent)
    : QMenu(parent), table_(table), view_(view), commands_(commands), grid_(grid) {
    setObjectName(QStringLiteral("PM1"));
    setToolTipsVisible(true);
    using C = FileTableCommands;
    addCommand(Pm1Item::zeile_insert, "zeile_insert", &C::zeile_insertClick);
    addCommand(Pm1Item::zeile_delete, "zeile_delete", &C::zeile_deleteClick);
    addSeparator();
    addCommand(Pm1Item::Dateiname1, "Dateiname1", &C::Dateiname1Click);
    addCommand(Pm1Item::EinfgenTag1, "EinfgenTag1", &C::EinfgenTag1Click);
    addCommand(Pm1Item::nderNeusteDatei1, "nderNeusteDatei1", &C::nderNeusteDatei1Click);
    addSeparator();
    addCommand(Pm1Item::Ordner1, "Ordner1", &C::Ordner1Click);
    addSeparator();
    addCommand(Pm1Item::AlleDateienausDiesenVerzeichnisEntfernen1, "AlleDateienausDiesenVerzeichnisEntfernen1",
               &C::AlleDateienausDiesenVerzeichnisEntfernen1Click);
    addSeparator();
    addCommand(Pm1Item::fill_ftp_pfad, "fill_ftp_pfad", &C::fill_ftp_pfadClick);
    QAction* fill = item(Pm1Item::fill_ftp_pfad);
    fill->setToolTip(QStringLiteral("!!! Nur Leere Zellen !!!"));
    fill->setStatusTip(fill->toolTip());
    addCommand(Pm1Item::AlleAktiv, "AlleAktiv", &C::AlleAktivClick);
    addCommand(Pm1Item::alleInaktiv, "alleInaktiv", &C::alleInaktivClick);
    addSeparator();
    addCommand(Pm1Item::temp_ziel, "temp_ziel", &C::temp_zielClick);
    addSeparator();
    buildSortMenu();
    connect(this, &QMenu::aboutToShow, this, &FileTableMenu::PM1Popup);
}

void FileTableMenu::addCommand(Pm1Item which, const char* name, void (FileTableCommands::*command)()) {
    QAction* a = addAction(QString::fromUtf8(pm1Caption(which)));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, command] {
        guarded([this, command] { (commands_.*command)(); });
        emit commandDone();
    });
    actions_[static_cast<std::size_t>(which)] = a;
}

void FileTableMenu::buildSortMenu() {
    sort_ = addMenu(QString::fromUtf8(pm1Caption(Pm1Item::Sortiere1)));
    sort_->setObjectName(QStringLiteral("Sortiere1"));
    sort_->menuAction()->setObjectName(QStringLiteral("Sortiere1"));
    actions_[static_cast<std::size_t>(Pm1Item::Sortiere1)] = sort_->menuAction();
    addSort("SortiereAZ", "Quelle  A-Z", Quelle, true);
    addSort("SortiereZA1", "Quelle Z-A", Quelle, false);
    sort_->addSeparator();
    addSort("SortiereFTPPfadAZ1", "FTP Pfad A-Z", FtpPfad, true);
    addSort("SortiereFTPPfadZA1", "FTP Pfad Z-A", FtpPfad, false);
    sort_->addSeparator();
    addSort("SortiereFTPNameAZ1", "FTP Name A-Z", FtpName, true);
    addSort("SortiereFTPNameZA1", "FTP Name Z-A", FtpName, false);
}

void FileTableMenu::addSort(const char* name, const char* caption, int column, bool ascending) {
    QAction* a = sort_->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, column, ascending] {
        sortRows(column, ascending);
        emit commandDone();
    });
}

void FileTableMenu::PM1Popup() {
    for (int i = 0; i < static_cast<int>(Pm1Item::Count); ++i) {
        const auto which = static_cast<Pm1Item>(i);
        if (QAction* a = item(which)) a->setVisible(view_.itemVisible(which));
    }
}

void FileTableMenu::sortRows(int column, bool ascending) {
    // A large table takes a while (the pass is quadratic) and lets nothing run meanwhile.
    BusyCursor busy(grid_);
    guarded([&] { SortFileTable(table_, column, ascending); });
}

}  // namespace velora::gui
