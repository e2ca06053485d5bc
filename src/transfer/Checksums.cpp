#include "transfer/Checksums.h"

#include "platform/DirListing.h"
#include "platform/FileIo.h"

namespace velora {

std::int32_t QueryFileSize(const std::string& path) { return fileio::querySize(path); }

std::int32_t FileChecksumOf(std::int32_t size, const DateTime& lastWriteLocal, const std::string& path) {
    const DateTime t = toDosResolution(lastWriteLocal);
    // Each part counts as an unsigned 16-bit number, as the DOS-era time record held it.
    auto part = [](int v) { return static_cast<std::uint32_t>(static_cast<std::uint16_t>(v)); };
    std::uint32_t result = static_cast<std::uint32_t>(size);
    result ^= part(t.year) ^ part(t.month) ^ part(t.day) ^ part(t.hour) ^ part(t.minute) ^
              part(t.second) ^ part(t.millisecond);
    for (const char c : path) result ^= static_cast<unsigned char>(c);
    return static_cast<std::int32_t>(result);
}

std::int32_t FileChecksum(const std::string& path) {
    if (path.empty()) return -1;
    const std::int32_t size = QueryFileSize(path);
    if (size < 0) return -1;
    const auto written = lastWriteLocal(path);
    // Gone between the two queries: as unmeasurable as a file that never opened.
    if (!written) return -1;
    return FileChecksumOf(size, *written, path);
}

int ContentChecksum(std::string_view text) {
    unsigned char sum = 0;
    for (const char c : text) sum ^= static_cast<unsigned char>(c);
    return sum;
}

void ApplyChangeRule(FileTable& files, int row) {
    const bool changed = files.cell(PsAlt, row) != files.cell(PsNeu, row);
    files.setCell(Msg, row, changed ? "NEU" : "OK");
}

bool AnyRowChanged(const FileTable& files) {
    bool changed = false;
    for (int r = 1; r <= files.rowCount(); ++r)
        if (files.cell(Msg, r) == "NEU") changed = true;
    return changed;
}

void Reset_psClick(FileTable& files, EventLog& log) {
    for (int r = 1; r <= files.rowCount(); ++r) {
        files.setCell(PsNeu, r, "0");
        files.setCell(PsAlt, r, "0");
        files.setCell(Msg, r, "Reset");
    }
    log.write("Reset -> Prüfsummen");
}

}  // namespace velora
