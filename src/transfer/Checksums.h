#pragma once
// Change fingerprints. A row is uploaded only when its fingerprint text differs from
// the one recorded at its last upload, so a fingerprint must change whenever the file
// or the text does: both are 64-bit hashes (XXH3, no seed, so every run and every
// start gives the same number) folded to 31 bits. 0 is the mark of "not sent since the
// start" and is never a fingerprint. Nothing here reads file contents except
// ContentChecksum, which works on the already replaced text.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/EventLog.h"
#include "filetable/FileTable.h"
#include "platform/FileIo.h"

namespace velora {

// Length in bytes, the whole 64 bits, or -1 when the file cannot be opened. Read
// access is enough: a read-only source must be exported like any other.
std::int64_t QueryFileSize(const std::string& path);

// Fingerprint of a file from one status query: size, last write to the nanosecond,
// device and inode (a file replaced by another with the same size and time is a
// change) and the bytes of its path. 1..2147483647, or -1 when the file cannot be
// opened (empty path, missing, a folder, no read permission).
std::int32_t FileChecksum(const std::string& path);

// The same fingerprint from a status already taken.
std::int32_t fileChecksumOf(const fileio::FileStatus& status, const std::string& path);

// Fingerprint of a text, every byte counting in its place: 1..2147483647.
std::int32_t ContentChecksum(std::string_view text);

// "NEU" into MSG when "PS alt" differs from "PS neu" (exact text), else "OK".
void applyChangeRule(FileTable& files, int row);

// True when any data row, active or not, holds exactly "NEU" in MSG.
bool AnyRowChanged(const FileTable& files);

// Menu "alle Prüfsummen Reset": every row back to "0" / "0" / "Reset", then the log line.
void Reset_psClick(FileTable& files, EventLog& log);

}  // namespace velora
