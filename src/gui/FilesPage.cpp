#include "gui/FilesPage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/FileGrid.h"
#include "gui/FileTableMenu.h"
#include "gui/FileTableModel.h"
#include "gui/Guarded.h"
#include "filetable/FileTableCommands.h"
#include "settings/Settings.h"
#include "transfer/TagTable.h"

namespace velora::gui {

FilesPage::FilesPage(FileTable& files, FileTableView& view, FileTableCommands& commands, const TagTable& tags,
                     const Settings& settings, QWidget* parent)
    : QWidget(parent), files_(files), view_(view), tags_(tags), settings_(settings) {
    grid_ = new FileGrid(this);
    model_ = new FileTableModel(files_, view_, this);
    grid_->setModel(model_);
    applyColumnWidths();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid_);

    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this, &FilesPage::sg_filesSelectCell);
    connect(grid_, &QTableView::doubleClicked, this, &FilesPage::sg_filesDblClick);
    connect(grid_, &FileGrid::rowDragged, this, &FilesPage::sg_filesRowMoved);
    connect(grid_, &FileGrid::menuRequested, this, &FilesPage::showPm1);
    connect(grid_, &FileGrid::columnResized, this,
            [this](int column, int width) { files_.setColumnWidth(column, width); });
    connect(model_, &FileTableModel::structureReset, this, &FilesPage::restoreCurrentCell);
    connect(model_, &FileTableModel::structureReset, this, &FilesPage::applyColumnWidths);

    pm1_ = new FileTableMenu(files_, view_, commands, grid_, this);
    // A command may have changed the table or opened an editor.
    connect(pm1_, &FileTableMenu::commandDone, this, &FilesPage::syncEditors);
    buildEditors();
}

void FilesPage::applyColumnWidths() {
    FileTable& table = files_;
    table.setColumnWidth(Nr, std::max(table.columnWidth(Nr), grid_->fittingWidth(Nr, table.rowCount())));
    grid_->applyColumnWidths(table);
}

void FilesPage::fitColumnWidths(const std::array<bool, kFileColumns>& columns) {
    FileTable& table = files_;
    for (int c = 0; c < kFileColumns; ++c) {
        if (columns[static_cast<std::size_t>(c)]) table.setColumnWidth(c, grid_->fittingWidth(c, table.rowCount()));
    }
}

// ---- context menu PM1 -------------------------------------------------------

QMenu* FilesPage::pm1() const { return pm1_; }

QAction* FilesPage::pm1Action(Pm1Item item) const { return pm1_->item(item); }

void FilesPage::showPm1(const QPoint& globalPos) { pm1_->popup(globalPos); }

// ---- grid events ------------------------------------------------------------

void FilesPage::sg_filesSelectCell(const QModelIndex& current) {
    if (restoring_ || !current.isValid()) return;
    guarded([&] { view_.sg_filesSelectCell(current.column(), FileTableModel::coreRow(current.row())); });
    syncEditors();
    grid_->viewport()->update();  // the lime cell moved
}

void FilesPage::sg_filesDblClick(const QModelIndex& index) {
    const CurrentCell cell = view_.currentCell();
    // Only a double-click on the current cell acts; the fixed cells never become current.
    if (!index.isValid() || index.column() != cell.column || FileTableModel::coreRow(index.row()) != cell.row)
        return;
    DoubleClickAction action = DoubleClickAction::None;
    guarded([&] { action = view_.sg_filesDblClick(); });
    if (action == DoubleClickAction::OpenContextMenu) {
        pm1_->popup(QCursor::pos());
    } else if (action == DoubleClickAction::OpenFtpPathEditor) {
        view_.showCbFtpPfad();
    }
    syncEditors();
    grid_->viewport()->update();
}

void FilesPage::sg_filesRowMoved(int from, int to) {
    guarded([&] {
        files_.moveRow(from, to);
        view_.sg_filesRowMoved(from, to);
    });
}

void FilesPage::restoreCurrentCell() {
    guarded([this] {
        if (view_.currentCell().row > files_.rowCount()) view_.tableShrank();
    });
    const CurrentCell cell = view_.currentCell();
    restoring_ = true;
    if (cell.row >= 1 && cell.column >= 1) {
        grid_->setCurrentIndex(model_->index(FileTableModel::qtRow(cell.row), cell.column));
    } else {
        grid_->selectionModel()->clearCurrentIndex();
    }
    restoring_ = false;
    syncEditors();
}

// ---- editors over the current cell --------------------------------------------

QComboBox* FilesPage::makeCombo(const char* name, bool ftpPath) {
    auto* combo = new QComboBox(grid_);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setFont(grid_->font());
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->hide();
    if (ftpPath) {
        // A typed folder stays as typed: no entry is completed into it, and it reaches
        // the cell only with Enter (filterFtpPathKeys).
        combo->setCompleter(nullptr);
    } else {
        connect(combo, &QComboBox::editTextChanged, this, [this](const QString& text) { comboEdited(false, text); });
    }
    // Choosing the entry the cell holds already changes no text, and still is a choice.
    connect(combo, &QComboBox::textActivated, this, [this, combo, ftpPath](const QString& text) {
        if (!combo->isHidden()) comboEdited(ftpPath, text);
    });
    combo->installEventFilter(this);
    combo->lineEdit()->installEventFilter(this);
    return combo;
}

void FilesPage::buildEditors() {
    cb_tag_ = makeCombo("cb_tag", false);
    cb_ftp_pfad_ = makeCombo("cb_ftp_pfad", true);
    e_neuste_datei_ = new QLineEdit(grid_);
    e_neuste_datei_->setObjectName(QStringLiteral("e_neuste_datei"));
    // No frame, the grid's font: the text stands where the cell's own text stood.
    e_neuste_datei_->setFont(grid_->font());
    e_neuste_datei_->setFrame(false);
    QPalette p = e_neuste_datei_->palette();
    p.setColor(QPalette::Base, QColor(kYellow.r, kYellow.g, kYellow.b));
    e_neuste_datei_->setPalette(p);
    e_neuste_datei_->hide();
    connect(e_neuste_datei_, &QLineEdit::returnPressed, this, [this] {
        guarded([this] { view_.newestFileEditorEnter(e_neuste_datei_->text().toStdString()); });
        syncEditors();
    });
}

void FilesPage::comboEdited(bool ftpPath, const QString& text) {
    if (filling_) return;
    guarded([&] { view_.comboTextChanged(ftpPath, text.toStdString()); });
    syncEditors();
}

bool FilesPage::keepsFocus(QComboBox* combo) {
    if (combo->hasFocus()) return true;
    // Opening the drop-down list moves the focus into the list: that is still editing.
    QWidget* list = combo->view() ? combo->view()->window() : nullptr;
    if (!list) return false;
    QWidget* focus = QApplication::focusWidget();
    return QApplication::activePopupWidget() == list || (focus && (focus == list || list->isAncestorOf(focus)));
}

bool FilesPage::filterFtpPathKeys(QEvent* event) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        comboEdited(true, cb_ftp_pfad_->lineEdit()->text());
        return true;
    }
    if (key == Qt::Key_Escape) {
        view_.hideCbFtpPfad();
        syncEditors();
        return true;
    }
    return false;
}

bool FilesPage::eventFilter(QObject* watched, QEvent* event) {
    // The combo box holds the focus and hands keys on to its line edit itself.
    if (event->type() == QEvent::KeyPress && (watched == cb_ftp_pfad_ || watched == cb_ftp_pfad_->lineEdit()) &&
        !cb_ftp_pfad_->isHidden() && filterFtpPathKeys(event))
        return true;
    if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        for (QComboBox* combo : {cb_ftp_pfad_, cb_tag_}) {
            if (watched != combo && watched != combo->lineEdit()) continue;
            if (combo->isHidden() || keepsFocus(combo)) continue;
            if (combo == cb_ftp_pfad_) {
                view_.hideCbFtpPfad();
            } else {
                view_.hideCbTag();
            }
            syncEditors();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FilesPage::placeEditor(QWidget* editor, int column) {
    // Exactly over the cell: its width and the row's height. The editor's own size hint
    // is taller than a row and covered the top of the next one, its text sitting low.
    const int width = files_.columnWidth(column);
    const EditorPlacement at = view_.PlaceEditorOverCell(grid_->gridGeometry(files_), width);
    editor->setGeometry(at.left, at.top, at.width, kFileRowHeight);
    editor->raise();
}

void FilesPage::openCombo(QComboBox* combo, int column, const std::vector<std::string>& items, bool focus) {
    const CurrentCell cell = view_.currentCell();
    filling_ = true;
    combo->clear();
    for (const auto& item : items) combo->addItem(QString::fromStdString(item));
    const QString text = QString::fromStdString(files_.cell(cell.column, cell.row));
    // The entry that equals the text is the current one (none: -1); otherwise Qt would
    // take the text for a new choice when the list opens, and the editor would close.
    combo->setCurrentIndex(combo->findText(text));
    combo->setEditText(text);
    filling_ = false;
    placeEditor(combo, column);
    combo->show();
    if (focus) combo->setFocus(Qt::OtherFocusReason);
}

void FilesPage::openNewestEditor() {
    const CurrentCell cell = view_.currentCell();
    e_neuste_datei_->setText(QString::fromStdString(files_.cell(cell.column, cell.row)));
    placeEditor(e_neuste_datei_, Quelle);
    e_neuste_datei_->show();
}

void FilesPage::hideEditor(QWidget* editor) {
    QWidget* focus = QApplication::focusWidget();
    // Hiding the widget that holds the focus makes Qt pass it on like a Tab key, and
    // the grid answers a Tab by moving the current cell one column on: the next key
    // would then write into the "FTP Name" cell. The grid takes the focus back first,
    // and the current cell stays where it was.
    if (focus && (focus == editor || editor->isAncestorOf(focus))) grid_->setFocus(Qt::OtherFocusReason);
    editor->hide();
}

void FilesPage::syncEditors() {
    if (view_.cbFtpPfadVisible() && cb_ftp_pfad_->isHidden()) {
        openCombo(cb_ftp_pfad_, FtpPfad, FileTableView::BuildFtpPathList(settings_.m_ftp_pfad), true);
    } else if (!view_.cbFtpPfadVisible() && !cb_ftp_pfad_->isHidden()) {
        hideEditor(cb_ftp_pfad_);
    }
    if (view_.cbTagVisible() && cb_tag_->isHidden()) {
        std::vector<std::string> names;
        for (const TagRow& row : tags_.rows()) names.push_back(row.name);
        openCombo(cb_tag_, Quelle, names, false);
    } else if (!view_.cbTagVisible() && !cb_tag_->isHidden()) {
        hideEditor(cb_tag_);
    }
    if (view_.eNeusteDateiVisible() && e_neuste_datei_->isHidden()) {
        openNewestEditor();
    } else if (!view_.eNeusteDateiVisible() && !e_neuste_datei_->isHidden()) {
        hideEditor(e_neuste_datei_);
    }
}

}  // namespace velora::gui
