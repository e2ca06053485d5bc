#pragma once
// The file table as the user sees it: the current cell, which context-menu items and
// in-place editors are shown, the colours of the cells and the double-click actions.
// The Qt grid is a thin adapter over this; everything here is testable without pixels.
#include <optional>
#include <string>
#include <vector>

#include "filetable/FileTable.h"

namespace velora {

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kLime{0, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kYellow{255, 255, 0};

// The items of the context menu PM1, in menu order (separators and the "Sortieren"
// submenu are the front end's business).
enum class Pm1Item : int {
    zeile_insert,                                // "Zeile Einfügen"
    zeile_delete,                                // "Zeile Löschen"
    Dateiname1,                                  // "Ändern Dateiname"
    EinfgenTag1,                                 // "Ändern Tag"
    nderNeusteDatei1,                            // "Ändern Neuste Datei"
    Ordner1,                                     // "Dateien Einfügen"
    AlleDateienausDiesenVerzeichnisEntfernen1,   // "Alle Zeilen mit Diesen Verzeichnis Entfernen"
    fill_ftp_pfad,                               // "Pfad nach unten auffüllen ( Nur Leere Zellen )"
    AlleAktiv,                                   // "Alle Aktiv"
    alleInaktiv,                                 // "Alle Inaktiv"
    temp_ziel,                                   // "Ändere Temp Ziel"
    Sortiere1,                                   // "Sortieren" (submenu)
    Count
};
const char* pm1Caption(Pm1Item item);

// What a double-click asks the front end to do after the model has done its part.
enum class DoubleClickAction { None, OpenContextMenu, OpenFtpPathEditor };

// Geometry of the grid needed to lay an editor over the current cell.
struct GridGeometry {
    std::vector<int> columnWidths;  // all columns, 0 first
    std::vector<int> rowHeights;    // all rows, 0 (header) first
    int leftCol = 1;                // first scrollable column in view (L)
    int topRow = 1;                 // first scrollable row in view (T)
};
struct EditorPlacement {
    int left = 0, top = 0, width = 0;
};

class FileTableView {
public:
    explicit FileTableView(FileTable& table);

    FileTable& table() { return table_; }
    const CurrentCell& currentCell() const { return current_; }

    // sg_filesSelectCell: records the current cell, hides and shows the menu items,
    // hides cb_tag and cb_ftp_pfad, switches in-place editing (column 5 only).
    void sg_filesSelectCell(int column, int row);
    // sg_filesDblClick on the current cell.
    DoubleClickAction sg_filesDblClick();
    // sg_filesRowMoved: the grid moved the row; renumber.
    void sg_filesRowMoved(int from, int to);

    // Background of a data cell after the draw rules (lime, red, yellow in this
    // order); nullopt for the ordinary colour. The header row is never recoloured.
    std::optional<Rgb> cellColour(int column, int row) const;

    bool itemVisible(Pm1Item item) const;
    void setItemVisible(Pm1Item item, bool visible);
    bool inPlaceEditing() const { return editing_; }

    // Editors laid over the table.
    bool cbTagVisible() const { return cbTagVisible_; }
    bool cbFtpPfadVisible() const { return cbFtpPfadVisible_; }
    bool eNeusteDateiVisible() const { return eNeusteVisible_; }
    void hideCbTag() { cbTagVisible_ = false; }
    void hideCbFtpPfad() { cbFtpPfadVisible_ = false; }
    void showCbTag() { cbTagVisible_ = true; }
    void showCbFtpPfad() { cbFtpPfadVisible_ = true; }
    // Opens e_neuste_datei for the current row, which holds the text it starts from.
    void showENeusteDatei();

    // cb_tag / cb_ftp_pfad: any change of the text writes the whole text into the
    // current cell and hides the editor.
    void comboTextChanged(bool ftpPathEditor, const std::string& text);
    // e_neuste_datei: Enter writes column 3 of the row the edit was opened for and
    // hides it. The current cell may have moved on since (the edit stays open over its
    // row); a row that has gone, or whose source changed meanwhile (sorted, deleted,
    // replaced), is not the one the user edited, and nothing is written.
    void newestFileEditorEnter(const std::string& text);
    int newestFileRow() const { return newestRow_; }

    // The sorted folder list of cb_ftp_pfad from the preset lines: an empty line
    // becomes "/", a line not starting with "/" gets one, duplicates stay.
    static std::vector<std::string> BuildFtpPathList(const std::vector<std::string>& presetLines);
    // Where an editor of the given width goes over the current cell. A cell scrolled out
    // of view on an axis is placed at the first visible cell of that axis.
    EditorPlacement PlaceEditorOverCell(const GridGeometry& grid, int width) const;

    // Moves the current cell into the table when the table shrank below it (counts as
    // a selection), or to row 0 when no data row is left.
    void tableShrank();

private:
    FileTable& table_;
    CurrentCell current_;
    bool visible_[static_cast<int>(Pm1Item::Count)];
    bool editing_ = false;
    bool cbTagVisible_ = false;
    bool cbFtpPfadVisible_ = false;
    bool eNeusteVisible_ = false;
    int newestRow_ = 0;
    std::string newestText_;
};

}  // namespace velora
