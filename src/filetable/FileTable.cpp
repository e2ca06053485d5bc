#include "filetable/FileTable.h"

#include <algorithm>

namespace velora {

bool runsAsJa(const std::string& text) {
    if (text.size() != 2) return false;
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return up(text[0]) == 'J' && up(text[1]) == 'A';
}

namespace {

constexpr std::array<const char*, kFileColumns> kCaptions{
    "Nr.", "Aktiv", "TAG", "Quelle", "FTP Pfad", "FTP Name", "PS neu", "PS alt", "MSG", "tmp-Quelle"};

constexpr std::array<int, kFileColumns> kStartWidths{22, 28, 26, 250, 140, 140, 35, 35, 25, 250};

bool validColumn(int column) { return column >= 0 && column < kFileColumns; }

}  // namespace

FileTable::FileTable() : widths_(kStartWidths) {}

const std::array<const char*, kFileColumns>& FileTable::captions() { return kCaptions; }

const std::array<int, kFileColumns>& FileTable::startWidths() { return kStartWidths; }

void FileTable::setRowCount(int n) {
    rows_.resize(static_cast<std::size_t>(std::max(n, 0)));
    changed(-1);
}

std::string FileTable::cell(int column, int row) const {
    if (!validColumn(column) || row < 0 || row > rowCount()) return {};
    if (row == 0) return kCaptions[static_cast<std::size_t>(column)];
    return rows_[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column)];
}

void FileTable::setCell(int column, int row, std::string text) {
    if (!validColumn(column) || row < 1 || row > rowCount()) return;
    Row& values = rows_[static_cast<std::size_t>(row - 1)];
    std::string& tmp = values[TmpQuelle];
    if ((column == Quelle || column == Tag) && values[static_cast<std::size_t>(column)] != text && !tmp.empty()) {
        const bool inScratch = !scratchFolder_.empty() && tmp.size() > scratchFolder_.size() &&
                               tmp.compare(0, scratchFolder_.size(), scratchFolder_) == 0 &&
                               tmp[scratchFolder_.size()] == '/';
        if (inScratch || tmp == values[Quelle]) tmp.clear();
    }
    values[static_cast<std::size_t>(column)] = std::move(text);
    changed(row);
}

FileTable::Row FileTable::row(int r) const {
    if (r < 1 || r > rowCount()) return {};
    return rows_[static_cast<std::size_t>(r - 1)];
}

void FileTable::setRow(int r, const Row& values) {
    if (r < 1 || r > rowCount()) return;
    rows_[static_cast<std::size_t>(r - 1)] = values;
    changed(r);
}

void FileTable::exchangeRows(int a, int b) {
    if (a < 1 || a > rowCount() || b < 1 || b > rowCount() || a == b) return;
    std::swap(rows_[static_cast<std::size_t>(a - 1)], rows_[static_cast<std::size_t>(b - 1)]);
    changed(-1);
}

void FileTable::insertRow(int r, const Row& values) {
    if (r < 1 || r > rowCount() + 1) return;
    rows_.insert(rows_.begin() + (r - 1), values);
    changed(-1);
}

void FileTable::removeRow(int r) {
    if (r < 1 || r > rowCount()) return;
    rows_.erase(rows_.begin() + (r - 1));
    changed(-1);
}

void FileTable::setRows(std::vector<Row> rows) {
    rows_ = std::move(rows);
    changed(-1);
}

void FileTable::moveRow(int from, int to) {
    if (from < 1 || from > rowCount() || to < 1 || to > rowCount()) return;
    const auto first = rows_.begin();
    if (from > to) {
        // The dragged row goes up; the rows from `to` on slide down by one.
        std::rotate(first + (to - 1), first + (from - 1), first + from);
    } else if (from < to) {
        std::rotate(first + (from - 1), first + from, first + to);
    }
    renumberRows();
}

void FileTable::renumberRows() {
    for (int r = 1; r <= rowCount(); ++r) rows_[static_cast<std::size_t>(r - 1)][Nr] = std::to_string(r);
    changed(-1);
}

int FileTable::columnWidth(int column) const {
    return validColumn(column) ? widths_[static_cast<std::size_t>(column)] : 0;
}

void FileTable::setColumnWidth(int column, int width) {
    if (!validColumn(column)) return;
    widths_[static_cast<std::size_t>(column)] = std::max(width, 0);
    changed(-1);
}

void FileTable::fillSampleRows() {
    struct Sample {
        const char* tag;
        const char* source;
        const char* ftpName;
    };
    // Linux stand-ins for a page on a second drive, a camera picture, the same page
    // on another computer's share, and two camera tags.
    static constexpr Sample kSamples[] = {
        {kJa, "/mnt/d/Wetter/2010_01_31/Wetterstation.html", "/wetter/Wetterstation.html"},
        {kNo, "/mnt/c/Kamera/2010_01_31/bild.jpg", "test55/bild.jpg"},
        {kJa, "//WETTER-PC/d$/Wetter/2010_01_31/Wetterstation.html", "/wetter/Wetterstation.html"},
        {kNo, "[_CAM_1_LAST_FOTO_NAME]", "bild.jpg"},
        {kNo, "[_CAM_2_LAST_FOTO_NAME]", "bild_2.jpg"},
    };
    rows_.assign(std::size(kSamples), Row{});
    for (std::size_t i = 0; i < std::size(kSamples); ++i) {
        Row& r = rows_[i];
        r[Nr] = std::to_string(i + 1);
        r[Tag] = kSamples[i].tag;
        r[Quelle] = kSamples[i].source;
        r[FtpName] = kSamples[i].ftpName;
        r[PsNeu] = kNotSent;
        r[PsAlt] = kNotSent;
        r[Msg] = kNo;
    }
    changed(-1);
}

}  // namespace velora
