#pragma once
// The file table's context menu PM1 with its "Sortieren" submenu. The items call the
// table commands; which items show follows the table view, read each time the menu
// opens. Sorting shows the busy cursor over the grid while it runs.
#include <QMenu>
#include <array>

#include "filetable/FileTableView.h"

namespace velora {
class FileTable;
class FileTableCommands;
}  // namespace velora

namespace velora::gui {

class FileTableMenu : public QMenu {
    Q_OBJECT
public:
    // `grid` is the widget that shows the busy cursor.
    FileTableMenu(FileTable& table, FileTableView& view, FileTableCommands& commands, QWidget* grid,
                  QWidget* parent = nullptr);

    QAction* item(Pm1Item item) const { return actions_[static_cast<std::size_t>(item)]; }
    QMenu* sortMenu() const { return sort_; }

    // Every item shown or hidden as the table view says (the menu's OnPopup).
    void PM1Popup();
    // SortFileTable with the busy cursor over the grid.
    void sortRows(int column, bool ascending);

signals:
    // A command ran: the table may have changed or an editor may have to open.
    void commandDone();

private:
    void addCommand(Pm1Item item, const char* name, void (FileTableCommands::*command)());
    void addSort(const char* name, const char* caption, int column, bool ascending);
    void buildSortMenu();

    FileTable& table_;
    FileTableView& view_;
    FileTableCommands& commands_;
    QWidget* grid_;
    QMenu* sort_ = nullptr;
    std::array<QAction*, static_cast<std::size_t>(Pm1Item::Count)> actions_{};
};

}  // namespace velora::gui
