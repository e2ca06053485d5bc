#pragma once
// The table of files to export: ten text columns, row 0 the header, rows 1..n data.
// Every pass reads and writes cells by row number at the moment it needs them, and
// rows may vanish while a pass lets window messages run: reading past the end gives
// an empty text, writing there does nothing.
#include <array>
#include <string>
#include <vector>

namespace velora {

enum FileColumn : int {
    Nr = 0,
    Aktiv = 1,
    Tag = 2,
    Quelle = 3,
    FtpPfad = 4,
    FtpName = 5,
    PsNeu = 6,
    PsAlt = 7,
    Msg = 8,
    TmpQuelle = 9,
};
inline constexpr int kFileColumns = 10;

// The grid's fixed geometry.
inline constexpr int kFileRowHeight = 18;
inline constexpr int kFileGridLine = 1;

// The words the cells hold; runs, display, commands and store compare with exactly these.
// Yes/no cells ("Aktiv", "TAG"):
inline constexpr const char* kJa = "Ja";
inline constexpr const char* kNo = "No";
// "TAG" of a row whose source a command just replaced, until the user chooses (red).
inline constexpr const char* kTagUnchosen = ">>>";
// A fingerprint cell of a row not sent since the start or the last reset.
inline constexpr const char* kNotSent = "0";

// Row states in "MSG" (and the two marks the fingerprint cells share with it).
namespace msg {
inline constexpr const char* kUnchecked = "?";   // not examined in this pass; "PS neu" too
inline constexpr const char* kCleared = "???";   // cleared by a double-click; both PS columns too
inline constexpr const char* kNotFound = "NF";
inline constexpr const char* kIoError = "IOERROR";
inline constexpr const char* kNeu = "NEU";       // changed: the only state that makes a row due
inline constexpr const char* kOk = "OK";
inline constexpr const char* kSend = "Send";
inline constexpr const char* kError = "Error";
inline constexpr const char* kReset = "Reset";
inline constexpr const char* kBusy = "BUSY";       // still being written: left for the next run
}  // namespace msg

// The runs' reading of a yes/no cell: "Ja" in any letter case (only a..z are folded).
// The display and the double-click toggle compare with exactly "Ja" instead.
bool runsAsJa(const std::string& text);

struct CurrentCell {
    int column = 0;
    int row = 0;  // 0: no data row is current
    bool operator==(const CurrentCell&) const = default;
};

class FileTable {
public:
    using Row = std::array<std::string, kFileColumns>;
    // Told after any change; `row` is the changed row or -1 for a structural change.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void fileTableChanged(int row) = 0;
    };

    FileTable();

    static const std::array<const char*, kFileColumns>& captions();
    static const std::array<int, kFileColumns>& startWidths();

    int rowCount() const { return static_cast<int>(rows_.size()); }  // data rows n
    void setRowCount(int n);  // new rows are empty; n below 0 counts as 0

    // Row 0 answers the captions. Out of range: "".
    std::string cell(int column, int row) const;
    // Out of range (row 0 included): no effect. A change of "Quelle" or "TAG" empties a
    // "tmp-Quelle" that was derived from the row (the old source itself, or a copy in
    // the scratch folder): kept, it would go on sending the old file or the old page.
    // A target the user chose elsewhere by hand stays.
    void setCell(int column, int row, std::string text);
    // Where the program's own copies live (see setCell).
    void setScratchFolder(std::string folder) { scratchFolder_ = std::move(folder); }

    Row row(int r) const;             // empty row when out of range
    void setRow(int r, const Row& values);
    void exchangeRows(int a, int b);
    // Row r (1..n+1) becomes `values`; the rows from r on move down by one. Other r:
    // no effect. Rows are not renumbered.
    void insertRow(int r, const Row& values);
    // Row r goes; the rows below it move up by one. Out of range: no effect.
    void removeRow(int r);
    // All data rows at once, as one change of the structure (sorting, removing many).
    const std::vector<Row>& rows() const { return rows_; }
    void setRows(std::vector<Row> rows);
    // The grid's drag: the row at `from` goes to `to`, the rows between shift by one,
    // then the rows are renumbered.
    void moveRow(int from, int to);
    void renumberRows();              // RenumberRows

    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);

    // The five rows a first start stores (Nr., TAG, Quelle, FTP Name as given; PS neu
    // and PS alt "0", MSG "No", the rest empty).
    void fillSampleRows();

    // One listener (the grid's model); nullptr for none.
    void setListener(Listener* l) { listener_ = l; }

private:
    void changed(int row) {
        if (listener_) listener_->fileTableChanged(row);
    }
    std::vector<Row> rows_;  // rows_[0] is data row 1
    std::array<int, kFileColumns> widths_;
    std::string scratchFolder_;
    Listener* listener_ = nullptr;
};

}  // namespace velora
