#pragma once
// The tag file other programs write: one "name;value" per line. Kept apart from the
// table build so its byte-level rules can be read and tested on their own.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/TagTable.h"

namespace velora {

// Longer lines lose everything after this many bytes.
inline constexpr std::size_t kTagLineLimit = 4096;

// One row per line, in file order. A line break is CR LF, LF or CR; a break at the very
// end makes no row; each line is cut to kTagLineLimit bytes before it is split at its
// first ";" (no ";": empty name, the whole line as value). Bytes are kept as they are,
// except a UTF-8 byte-order mark at the very start, which editors add and which is no
// part of the first tag's name.
std::vector<TagRow> parseTagFile(std::string_view bytes);

struct TagFileContent {
    enum Outcome { Read, Missing, NotAFile, Refused, Unreadable } outcome;
    std::string bytes;   // Read: the whole file
    std::string why;     // NotAFile: what is there; Refused: the reason; Unreadable: the system's
};

// The whole file. Missing: nothing there (or gone by the time it is opened). NotAFile:
// a folder, fifo, device or socket, never opened. Refused: its lines can name files
// for us to read and send, so another account must not control it: a link of another
// account on the way, another account's file, or a file others may write (`uid` is the
// user; root counts as the user). Unreadable: there and cannot be read.
TagFileContent readTagFile(const std::string& path, unsigned uid);

}  // namespace velora
