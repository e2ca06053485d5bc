#pragma once
// Page "Dateien": the grid sg_files over the file table, its context menu PM1 and the
// three editors laid over the current cell (cb_tag, cb_ftp_pfad, e_neuste_datei).
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "filetable/FileTableView.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;

namespace velora {
class FileTableCommands;
class TagTable;
struct Settings;
}

namespace velora::gui {

class FileGrid;
class FileTableMenu;
class FileTableModel;

class FilesPage : public QWidget {
    Q_OBJECT
public:
    // The table it shows and edits, the view's rules, the commands of PM1, the tag names
    // cb_tag offers and the FTP folder presets cb_ftp_pfad offers.
    FilesPage(FileTable& files, FileTableView& view, FileTableCommands& commands, const TagTable& tags,
              const Settings& settings, QWidget* parent = nullptr);

    FileGrid* grid() const { return grid_; }
    FileTableModel* model() const { return model_; }
    QMenu* pm1() const;
    QAction* pm1Action(Pm1Item item) const;

    // Column widths from the table (after a load); the "Nr." column, which cannot be
    // sized by hand, is widened to hold its row numbers.
    void applyColumnWidths();
    // The marked columns (those no stored width is known for) take the width their
    // caption and widest expected text need in the grid's font.
    void fitColumnWidths(const std::array<bool, kFileColumns>& columns);
    // Shows or hides each editor as the table view says, opening it over the current
    // cell when it has just become visible.
    void syncEditors();

private slots:
    void sg_filesSelectCell(const QModelIndex& current);
    void sg_filesDblClick(const QModelIndex& index);
    void sg_filesRowMoved(int from, int to);
    void showPm1(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildEditors();
    QComboBox* makeCombo(const char* name, bool ftpPath);
    void openCombo(QComboBox* combo, int column, const std::vector<std::string>& items, bool focus);
    void openNewestEditor();
    void placeEditor(QWidget* editor, int column);
    void restoreCurrentCell();
    void hideEditor(QWidget* editor);
    static bool keepsFocus(QComboBox* combo);
    void comboEdited(bool ftpPath, const QString& text);
    // Enter writes the typed folder, Escape leaves the cell as it was; true when taken.
    bool filterFtpPathKeys(QEvent* event);

    FileTable& files_;
    FileTableView& view_;
    const TagTable& tags_;
    const Settings& settings_;
    FileGrid* grid_ = nullptr;
    FileTableModel* model_ = nullptr;
    FileTableMenu* pm1_ = nullptr;
    QComboBox* cb_tag_ = nullptr;
    QComboBox* cb_ftp_pfad_ = nullptr;
    QLineEdit* e_neuste_datei_ = nullptr;
    bool restoring_ = false;
    bool filling_ = false;
};

}  // namespace velora::gui
