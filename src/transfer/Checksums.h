#pragma once
// Change fingerprints. A row is uploaded only when its fingerprint text differs from
// the one recorded at its last upload; nothing here reads file contents except
// ContentChecksum, which works on the already replaced text.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/EventLog.h"
#include "filetable/FileTable.h"
#include "platform/Clock.h"

namespace velora {

// Length in bytes (low 32 bits as signed), or -1 when the file cannot be opened.
// Read access is enough: a read-only source must be exported like any other.
std::int32_t QueryFileSize(const std::string& path);

// Fingerprint of a file from its size, its last-write time (local, DOS resolution) and
// the bytes of its path; never negative, -1 when the file cannot be measured.
std::int32_t FileChecksum(const std::string& path);

// The same fingerprint from values already known; `lastWriteLocal` is cut down to DOS
// resolution here, so callers may pass the exact time.
std::int32_t FileChecksumOf(std::int32_t size, const DateTime& lastWriteLocal, const std::string& path);

// XOR of all bytes, 0..255.
int ContentChecksum(std::string_view text);

// "NEU" into MSG when "PS alt" differs from "PS neu" (exact text), else "OK".
void ApplyChangeRule(FileTable& files, int row);

// True when any data row, active or not, holds exactly "NEU" in MSG.
bool AnyRowChanged(const FileTable& files);

// Menu "alle Prüfsummen Reset": every row back to "0" / "0" / "Reset", then the log line.
void Reset_psClick(FileTable& files, EventLog& log);

}  // namespace velora
