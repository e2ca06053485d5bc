#pragma once
// The commands of the file table's context menu PM1. Each acts on the current cell
// (never on the cell under the mouse) and reaches the person only through the UiHost:
// the shared file dialog OpenDialog1 and the removal's confirmation.
//
// A dialog lets pending window messages run, so the table may change while it is open.
// A command therefore looks at its row again when the dialog returns, and leaves a row
// alone that is gone or holds another source by then.
#include <string>
#include <vector>

#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "filetable/FileTableView.h"

namespace velora {

class FileTableCommands {
public:
    FileTableCommands(FileTable& table, FileTableView& view, UiHost& ui);

    // The cells of a row made by "Zeile Einfügen" ("Nr." is left to the renumbering).
    static FileTable::Row newRow();
    // The filter list of "Dateien Einfügen".
    static const char* listFilter();
    // The folder of a source: the text up to its last "/", without that "/" unless it
    // is the root ("/") or follows another "/"; a tag or a bare name has none.
    static std::string folderOfSource(const std::string& source);
    // Whether `source` lies in `folder` as the removal sees it: the folder's text
    // anywhere in the source, only a..z folded to capitals. An empty folder is in none.
    static bool sourceInFolder(const std::string& source, const std::string& folder);
    // The text of the removal's confirmation (lines separated by a carriage return).
    static std::string removalQuestion(int rows, const std::string& folder);
    static constexpr const char* kRemovalCaption = "Bestätigung";

    void zeile_insertClick();       // "Zeile Einfügen"
    void zeile_deleteClick();       // "Zeile Löschen"
    void Dateiname1Click();         // "Ändern Dateiname"
    void EinfgenTag1Click();        // "Ändern Tag"
    void nderNeusteDatei1Click();   // "Ändern Neuste Datei"
    void Ordner1Click();            // "Dateien Einfügen"
    void AlleDateienausDiesenVerzeichnisEntfernen1Click();  // "Alle Zeilen mit Diesen Verzeichnis Entfernen"
    void fill_ftp_pfadClick();      // "Pfad nach unten auffüllen ( Nur Leere Zellen )"
    void AlleAktivClick();          // "Alle Aktiv"
    void alleInaktivClick();        // "Alle Inaktiv"
    void temp_zielClick();          // "Ändere Temp Ziel"

private:
    // The current data row, or 0 when none is current or it is past the end.
    int currentRow() const;
    bool currentColumnIs(int column) const { return view_.currentCell().column == column; }
    // Opens the shared dialog; files are empty when cancelled or when row r no longer
    // holds `source` afterwards.
    std::vector<std::string> pickForRow(const FileDialogRequest& request, int r, const std::string& source);
    void insertNewRow(int r);
    // Column 3 := path and the row is reset and inactive until the user activates it.
    void replaceSource(int r, const std::string& path);
    void setAllAktiv(const char* value);
    void hideNameAndTagItems();

    FileTable& table_;
    FileTableView& view_;
    UiHost& ui_;
};

}  // namespace velora
