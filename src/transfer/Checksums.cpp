#include "transfer/Checksums.h"

#include <xxhash.h>

namespace velora {

namespace {

// The top and bottom halves folded together, cut to the 31 bits the column's range
// allows; 0 would read as "not sent since the start", so it becomes 1.
std::int32_t foldTo31Bits(std::uint64_t hash) {
    const auto folded = static_cast<std::uint32_t>(hash ^ (hash >> 32)) & 0x7FFFFFFFu;
    return static_cast<std::int32_t>(folded == 0 ? 1 : folded);
}

void appendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::int64_t QueryFileSize(const std::string& path) { return fileio::querySize(path); }

std::int32_t fileChecksumOf(const fileio::FileStatus& status, const std::string& path) {
    // Fixed-width fields first, so no two different inputs can run together.
    std::string input;
    input.reserve(36 + path.size());
    appendLittleEndian(input, static_cast<std::uint64_t>(status.size), 8);
    appendLittleEndian(input, static_cast<std::uint64_t>(status.writeSeconds), 8);
    appendLittleEndian(input, static_cast<std::uint32_t>(status.writeNanoseconds), 4);
    appendLittleEndian(input, status.device, 8);
    appendLittleEndian(input, status.inode, 8);
    input += path;
    return foldTo31Bits(XXH3_64bits(input.data(), input.size()));
}

std::int32_t FileChecksum(const std::string& path) {
    if (path.empty()) return -1;
    const auto status = fileio::statusOf(path);
    if (!status) return -1;
    return fileChecksumOf(*status, path);
}

std::int32_t ContentChecksum(std::string_view text) { return foldTo31Bits(XXH3_64bits(text.data(), text.size())); }

void applyChangeRule(FileTable& files, int row) {
    const bool changed = files.cell(PsAlt, row) != files.cell(PsNeu, row);
    files.setCell(Msg, row, changed ? msg::kNeu : msg::kOk);
}

bool AnyRowChanged(const FileTable& files) {
    bool changed = false;
    for (int r = 1; r <= files.rowCount(); ++r)
        if (files.cell(Msg, r) == msg::kNeu) changed = true;
    return changed;
}

void Reset_psClick(FileTable& files, EventLog& log) {
    for (int r = 1; r <= files.rowCount(); ++r) {
        files.setCell(PsNeu, r, kNotSent);
        files.setCell(PsAlt, r, kNotSent);
        files.setCell(Msg, r, msg::kReset);
    }
    log.write("Reset -> Prüfsummen");
}

}  // namespace velora
