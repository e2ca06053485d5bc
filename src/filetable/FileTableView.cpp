#include "filetable/FileTableView.h"

#include <algorithm>

namespace velora {

namespace {

constexpr const char* kPm1Captions[] = {
    "Zeile Einfügen",
    "Zeile Löschen",
    "Ändern Dateiname",
    "Ändern Tag",
    "Ändern Neuste Datei",
    "Dateien Einfügen",
    "Alle Zeilen mit Diesen Verzeichnis Entfernen",
    "Pfad nach unten auffüllen ( Nur Leere Zellen )",
    "Alle Aktiv",
    "Alle Inaktiv",
    "Ändere Temp Ziel",
    "Sortieren",
};
static_assert(std::size(kPm1Captions) == static_cast<std::size_t>(Pm1Item::Count));

// The items a selection hides before it shows those that fit the selected column.
constexpr Pm1Item kHiddenOnSelect[] = {
    Pm1Item::Dateiname1, Pm1Item::EinfgenTag1, Pm1Item::Ordner1,    Pm1Item::fill_ftp_pfad,
    Pm1Item::AlleAktiv,  Pm1Item::alleInaktiv, Pm1Item::temp_ziel,
};

constexpr int index(Pm1Item item) { return static_cast<int>(item); }

// Left (or top) edge of the k-th visible cell of an axis: the k sizes before it
// plus one pixel of grid line after each, plus one.
int editorEdge(const std::vector<int>& sizes, int k, int fallbackSize) {
    int sum = 0;
    for (int i = 0; i < k; ++i) {
        sum += i < static_cast<int>(sizes.size()) ? sizes[static_cast<std::size_t>(i)] : fallbackSize;
    }
    return sum + k + 1;
}

// Position in view of a cell on one axis; a cell scrolled out of view before the
// first visible one is treated as that first one, so the editor stays on screen.
int visibleIndex(int cell, int firstInView) { return cell >= firstInView ? cell - firstInView + 1 : 1; }

}  // namespace

const char* pm1Caption(Pm1Item item) {
    const int i = index(item);
    if (i < 0 || i >= index(Pm1Item::Count)) return "";
    return kPm1Captions[i];
}

FileTableView::FileTableView(FileTable& table) : table_(table) {
    std::fill(std::begin(visible_), std::end(visible_), true);
}

void FileTableView::sg_filesSelectCell(int column, int row) {
    current_ = {column, row};
    for (Pm1Item item : kHiddenOnSelect) setItemVisible(item, false);
    hideCbTag();
    hideCbFtpPfad();
    editing_ = false;
    if (row <= 0) return;
    switch (column) {
    case Aktiv:
        setItemVisible(Pm1Item::AlleAktiv, true);
        setItemVisible(Pm1Item::alleInaktiv, true);
        break;
    case Quelle:
        setItemVisible(Pm1Item::Dateiname1, true);
        setItemVisible(Pm1Item::Ordner1, true);
        setItemVisible(Pm1Item::EinfgenTag1, true);
        break;
    case FtpPfad:
        setItemVisible(Pm1Item::fill_ftp_pfad, true);
        break;
    case FtpName:
        editing_ = true;
        break;
    case TmpQuelle:
        setItemVisible(Pm1Item::temp_ziel, true);
        break;
    default:
        break;
    }
}

DoubleClickAction FileTableView::sg_filesDblClick() {
    const int row = current_.row;
    // A row that has gone since it was selected counts as no current row.
    if (row < 1 || row > table_.rowCount()) return DoubleClickAction::None;
    switch (current_.column) {
    case Aktiv:
    case Tag: {
        const bool on = table_.cell(current_.column, row) == kJa;
        table_.setCell(current_.column, row, on ? kNo : kJa);
        return DoubleClickAction::None;
    }
    case Quelle:
        setItemVisible(Pm1Item::Dateiname1, true);
        setItemVisible(Pm1Item::EinfgenTag1, true);
        return DoubleClickAction::OpenContextMenu;
    case FtpPfad:
        showCbFtpPfad();
        return DoubleClickAction::OpenFtpPathEditor;
    case PsNeu:
    case PsAlt:
    case Msg:
        for (int c : {PsNeu, PsAlt, Msg}) table_.setCell(c, row, msg::kCleared);
        return DoubleClickAction::None;
    default:
        return DoubleClickAction::None;
    }
}

void FileTableView::sg_filesRowMoved(int, int) { table_.renumberRows(); }

std::optional<Rgb> FileTableView::cellColour(int column, int row) const {
    if (row < 1 || row > table_.rowCount() || column < 0 || column >= kFileColumns) return std::nullopt;
    std::optional<Rgb> colour;
    if (current_ == CurrentCell{column, row}) colour = kLime;
    if (column == Tag && table_.cell(column, row) == kTagUnchosen) colour = kRed;
    if (column == Aktiv && table_.cell(column, row) != kJa) colour = kYellow;
    return colour;
}

bool FileTableView::itemVisible(Pm1Item item) const {
    const int i = index(item);
    return i >= 0 && i < index(Pm1Item::Count) && visible_[i];
}

void FileTableView::setItemVisible(Pm1Item item, bool visible) {
    const int i = index(item);
    if (i >= 0 && i < index(Pm1Item::Count)) visible_[i] = visible;
}

void FileTableView::comboTextChanged(bool ftpPathEditor, const std::string& text) {
    table_.setCell(current_.column, current_.row, text);
    if (ftpPathEditor) {
        hideCbFtpPfad();
    } else {
        hideCbTag();
    }
}

void FileTableView::showENeusteDatei() {
    eNeusteVisible_ = true;
    newestRow_ = current_.row;
    newestText_ = table_.cell(Quelle, newestRow_);
}

void FileTableView::newestFileEditorEnter(const std::string& text) {
    const bool sameRow = newestRow_ >= 1 && newestRow_ <= table_.rowCount() &&
                         table_.cell(Quelle, newestRow_) == newestText_;
    if (sameRow) table_.setCell(Quelle, newestRow_, text);
    eNeusteVisible_ = false;
}

std::vector<std::string> FileTableView::BuildFtpPathList(const std::vector<std::string>& presetLines) {
    std::vector<std::string> list;
    list.reserve(presetLines.size());
    for (const std::string& line : presetLines) {
        if (line.empty()) {
            list.emplace_back("/");
        } else if (line.front() != '/') {
            list.push_back("/" + line);
        } else {
            list.push_back(line);
        }
    }
    // std::string compares like memcmp: byte by byte, unsigned.
    std::sort(list.begin(), list.end());
    return list;
}

EditorPlacement FileTableView::PlaceEditorOverCell(const GridGeometry& grid, int width) const {
    const int k = visibleIndex(current_.column, grid.leftCol);
    const int m = visibleIndex(current_.row, grid.topRow);
    EditorPlacement placement;
    placement.width = width;
    // Columns the caller left out keep the widths the table holds for them.
    std::vector<int> widths = grid.columnWidths;
    for (int c = static_cast<int>(widths.size()); c < kFileColumns; ++c) widths.push_back(table_.columnWidth(c));
    placement.left = editorEdge(widths, k, 0);
    placement.top = editorEdge(grid.rowHeights, m, kFileRowHeight);
    return placement;
}

void FileTableView::tableShrank() {
    const int n = table_.rowCount();
    if (current_.row <= n) return;
    if (n == 0) {
        current_.row = 0;
        return;
    }
    sg_filesSelectCell(current_.column, n);
}

}  // namespace velora
