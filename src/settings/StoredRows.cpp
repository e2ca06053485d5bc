#include "settings/StoredRows.h"

#include <algorithm>

namespace velora {

std::string rowValueName(const char* code, int row) {
    return std::string("Liste_") + code + "_" + std::to_string(row);
}

int storedRowCount(Registry::Key& key) {
    // The count includes the header row.
    return std::clamp(key.readInteger("Liste_row_count"), 1, kMaxFileRows + 1) - 1;
}

namespace {

template <std::size_t N>
std::vector<FileTable::Row> readColumns(Registry::Key& key, int dataRows, const RowValue (&columns)[N]) {
    std::vector<FileTable::Row> rows(static_cast<std::size_t>(std::max(dataRows, 0)));
    for (int r = 1; r <= dataRows; ++r) {
        FileTable::Row& row = rows[static_cast<std::size_t>(r - 1)];
        row[Nr] = std::to_string(r);
        for (const RowValue& v : columns) row[v.column] = key.readString(rowValueName(v.code, r));
    }
    return rows;
}

}  // namespace

std::vector<FileTable::Row> readStoredRows(Registry::Key& key, int dataRows) {
    return readColumns(key, dataRows, kRowValues);
}

std::vector<FileTable::Row> readRowsAsLoaded(Registry::Key& key, int dataRows) {
    static constexpr RowValue kLoadedColumns[] = {
        {"8", Aktiv}, {"1", Tag}, {"2", Quelle}, {"7", FtpPfad}, {"3", FtpName}, {"9", TmpQuelle},
    };
    std::vector<FileTable::Row> rows = readColumns(key, dataRows, kLoadedColumns);
    for (FileTable::Row& row : rows) {
        // Checksums start afresh so the next pass sends every active row.
        row[PsNeu] = kNotSent;
        row[PsAlt] = kNotSent;
        row[Msg] = "";
        if (row[Tag] == kTagUnchosen) row[Tag] = kNo;
    }
    return rows;
}

void writeStoredRows(Registry::Key& key, const std::vector<FileTable::Row>& rows, int fromRow) {
    const int count = static_cast<int>(rows.size());
    for (int r = std::max(fromRow, 1); r <= count; ++r) {
        const FileTable::Row& row = rows[static_cast<std::size_t>(r - 1)];
        for (const RowValue& v : kRowValues) key.writeString(rowValueName(v.code, r), row[v.column]);
    }
    key.writeInteger("Liste_row_count", count + 1);
}

}  // namespace velora
