#include "filetable/FileTableCommands.h"

#include <vector>

#include "platform/Paths.h"

namespace velora {

namespace {

constexpr const char* kAllFiles = "*.*";

std::string upperAtoZ(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

FileDialogRequest dialogRequest(const char* title, const std::string& cell, bool presetName, const char* filter,
                                bool multiSelect) {
    FileDialogRequest request;
    request.title = title;
    // The program hands the dialog the cell's whole text as its folder.
    request.initialFolder = cell;
    request.fileName = presetName ? paths::fileNamePart(cell) : std::string();
    request.filter = filter;
    request.multiSelect = multiSelect;
    return request;
}

}  // namespace

FileTableCommands::FileTableCommands(FileTable& table, FileTableView& view, UiHost& ui)
    : table_(table), view_(view), ui_(ui) {}

FileTable::Row FileTableCommands::newRow() {
    FileTable::Row row{};
    row[Tag] = kTagUnchosen;
    row[PsNeu] = kNotSent;
    row[PsAlt] = kNotSent;
    row[Msg] = msg::kUnchecked;
    return row;
}

const char* FileTableCommands::listFilter() {
    return "Alle|*.*|JPG|*.jpg|GIF|*.gif|BMP|*.BMP|Text|*.TXT|GIF|*.gif|HTM / HTML|*.thml;*.htm|PHP|*.php";
}

std::string FileTableCommands::folderOfSource(const std::string& source) {
    std::string folder = paths::folderPartWithSlash(source);
    // The root keeps its "/" and so does "//" (the start of a share), like "C:\".
    if (folder.size() >= 2 && folder[folder.size() - 2] != '/') folder.pop_back();
    return folder;
}

bool FileTableCommands::sourceInFolder(const std::string& source, const std::string& folder) {
    if (folder.empty()) return false;
    return upperAtoZ(source).find(upperAtoZ(folder)) != std::string::npos;
}

std::string FileTableCommands::removalQuestion(int rows, const std::string& folder) {
    return "Alle " + std::to_string(rows) + " Zeilen mit\r\r\"" + folder + "\"\r\rEntfernen\r" +
           "Inclusive aller Unterverzeichnisse?";
}

int FileTableCommands::currentRow() const {
    const int r = view_.currentCell().row;
    return r >= 1 && r <= table_.rowCount() ? r : 0;
}

std::vector<std::string> FileTableCommands::pickForRow(const FileDialogRequest& request, int r,
                                                       const std::string& source) {
    std::vector<std::string> files = ui_.pickFiles(request);
    // The dialog let other events run: a row that vanished or moved is not touched.
    if (r > table_.rowCount() || table_.cell(Quelle, r) != source) files.clear();
    return files;
}

void FileTableCommands::insertNewRow(int r) {
    table_.insertRow(r, newRow());
    table_.renumberRows();
}

void FileTableCommands::replaceSource(int r, const std::string& path) {
    table_.setCell(Quelle, r, path);
    table_.setCell(FtpName, r, paths::fileNamePart(path));
    table_.setCell(Aktiv, r, kNo);
    table_.setCell(TmpQuelle, r, "");
    table_.setCell(PsNeu, r, kNotSent);
    table_.setCell(PsAlt, r, kNotSent);
    table_.setCell(Msg, r, msg::kReset);
}

void FileTableCommands::hideNameAndTagItems() {
    view_.setItemVisible(Pm1Item::Dateiname1, false);
    view_.setItemVisible(Pm1Item::EinfgenTag1, false);
}

void FileTableCommands::zeile_insertClick() {
    // With no data row left there is nothing to select; the command then starts the
    // table afresh with one new row instead of leaving the user without a way back.
    if (table_.rowCount() == 0) {
        insertNewRow(1);
        return;
    }
    const int r = currentRow();
    if (r == 0) return;
    insertNewRow(r);
}

void FileTableCommands::zeile_deleteClick() {
    const int r = currentRow();
    if (r == 0) return;
    if (table_.rowCount() == 1) {
        // The last row stays, emptied, and reads "1" again.
        table_.setRow(r, FileTable::Row{});
    } else {
        table_.removeRow(r);
    }
    table_.renumberRows();
    view_.tableShrank();
}

void FileTableCommands::Dateiname1Click() {
    const int r = currentRow();
    if (r != 0 && currentColumnIs(Quelle)) {
        const std::string source = table_.cell(Quelle, r);
        const auto files = pickForRow(dialogRequest("Neuste Datei", source, true, kAllFiles, false), r, source);
        if (!files.empty()) replaceSource(r, files.front());
    }
    hideNameAndTagItems();
}

void FileTableCommands::EinfgenTag1Click() {
    // The tag editor writes into the current cell; only a "Quelle" cell may take a tag.
    if (currentRow() == 0 || !currentColumnIs(Quelle)) return;
    view_.showCbTag();
}

void FileTableCommands::nderNeusteDatei1Click() {
    const int r = currentRow();
    if (r != 0 && currentColumnIs(Quelle)) {
        const std::string source = table_.cell(Quelle, r);
        const auto files =
            pickForRow(dialogRequest("Dateien - Verzeichnis", source, false, kAllFiles, false), r, source);
        if (!files.empty()) {
            replaceSource(r, files.front());
            // The user now turns the chosen path into a pattern and presses Enter.
            view_.showENeusteDatei();
        }
    }
    hideNameAndTagItems();
}

void FileTableCommands::Ordner1Click() {
    const int r = currentRow();
    if (r != 0 && currentColumnIs(Quelle)) {
        const std::string source = table_.cell(Quelle, r);
        const auto files =
            pickForRow(dialogRequest("alle Dateien - Verzeichnis", source, true, listFilter(), true), r, source);
        // Each file goes in at row r, so the last one of the list ends up on top.
        for (const std::string& file : files) {
            insertNewRow(r);
            table_.setCell(Quelle, r, file);
            table_.setCell(FtpName, r, paths::fileNamePart(file));
        }
    }
    hideNameAndTagItems();
}

void FileTableCommands::AlleDateienausDiesenVerzeichnisEntfernen1Click() {
    const int r = currentRow();
    if (r == 0) return;
    const std::string folder = folderOfSource(table_.cell(Quelle, r));
    int count = 0;
    for (int i = 1; i <= table_.rowCount(); ++i) count += sourceInFolder(table_.cell(Quelle, i), folder) ? 1 : 0;
    if (!ui_.confirm(kRemovalCaption, removalQuestion(count, folder))) return;

    // The question let other events run: the rows are tested again as they are now.
    std::vector<FileTable::Row> kept;
    for (const FileTable::Row& row : table_.rows()) {
        if (!sourceInFolder(row[Quelle], folder)) kept.push_back(row);
    }
    if (kept.size() == table_.rows().size()) return;
    // The remaining rows keep their order.
    table_.setRows(std::move(kept));
    table_.renumberRows();
    view_.tableShrank();
}

void FileTableCommands::fill_ftp_pfadClick() {
    const int r = currentRow();
    if (r == 0) return;
    const std::string value = table_.cell(FtpPfad, r);
    if (value.empty()) return;
    for (int i = r; i <= table_.rowCount(); ++i) {
        if (table_.cell(FtpPfad, i).empty()) table_.setCell(FtpPfad, i, value);
    }
}

void FileTableCommands::setAllAktiv(const char* value) {
    for (int i = 1; i <= table_.rowCount(); ++i) table_.setCell(Aktiv, i, value);
}

void FileTableCommands::AlleAktivClick() { setAllAktiv(kJa); }

void FileTableCommands::alleInaktivClick() { setAllAktiv(kNo); }

void FileTableCommands::temp_zielClick() {
    const int r = currentRow();
    if (r != 0 && currentColumnIs(TmpQuelle)) {
        const std::string source = table_.cell(Quelle, r);
        const std::string target = table_.cell(TmpQuelle, r);
        const auto files = pickForRow(dialogRequest("Temp Ziel ändern", target, true, kAllFiles, false), r, source);
        if (!files.empty()) table_.setCell(TmpQuelle, r, files.front());
    }
    view_.setItemVisible(Pm1Item::temp_ziel, false);
}

}  // namespace velora
