#pragma once
// The tag file other programs write: one "name;value" per line. Kept apart from the
// table build so its byte-level rules can be read and tested on their own.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/TagTable.h"

namespace velora {

// Longer lines lose everything after this many bytes.
inline constexpr std::size_t kTagLineLimit = 4096;

// One row per line, in file order. A line break is CR LF, LF or CR; a break at the very
// end makes no row; each line is cut to kTagLineLimit bytes before it is split at its
// first ";" (no ";": empty name, the whole line as value). Bytes are kept as they are.
std::vector<TagRow> ParseTagFile(std::string_view bytes);

// The whole file, or nullopt when there is no regular file to read: missing, a folder,
// a fifo, or gone by the time it is opened. Other read failures raise IoError.
std::optional<std::string> ReadTagFile(const std::string& path);

}  // namespace velora
