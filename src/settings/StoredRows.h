#pragma once
// The file table in the store, as SaveConfig lays it out: for each row r from 1 the
// nine values "Liste_" + code + "_" + r (the code is fixed per column, column "Nr." is
// not stored), then "Liste_row_count" = rows + 1. Values of rows beyond the count are
// never deleted; the load ignores them.
#include <string>
#include <vector>

#include "filetable/FileTable.h"
#include "platform/Registry.h"

namespace velora {

// A stored row count above this is taken as this many rows, so a damaged value can
// neither exhaust memory nor stall the window.
inline constexpr int kMaxFileRows = 10000;

// The column of each stored value, in the order SaveConfig writes them per row.
struct RowValue {
    const char* code;
    FileColumn column;
};
inline constexpr RowValue kRowValues[] = {
    {"1", Tag},   {"8", Aktiv}, {"2", Quelle}, {"7", FtpPfad},  {"3", FtpName},
    {"4", PsNeu}, {"5", PsAlt}, {"6", Msg},    {"9", TmpQuelle},
};

std::string rowValueName(const char* code, int row);

// The number of data rows "Liste_row_count" gives (the value must exist), kept within
// what the table can hold.
int storedRowCount(Registry::Key& key);
// Every stored row as it is, all nine values ("Nr." set to the row number). Reads
// everything before returning, so a failing value leaves the caller's table alone.
std::vector<FileTable::Row> readStoredRows(Registry::Key& key, int dataRows);
// The rows as LoadConfig applies them: only the columns it takes are read; checksums
// start afresh ("0"), "MSG" is empty, and a "TAG" of ">>>" becomes "No".
std::vector<FileTable::Row> readRowsAsLoaded(Registry::Key& key, int dataRows);
// Writes the rows from `fromRow` on and the row count as SaveConfig does (SaveConfig
// writes them all; an edit of one row need not touch the rows before it).
void writeStoredRows(Registry::Key& key, const std::vector<FileTable::Row>& rows, int fromRow = 1);

}  // namespace velora
