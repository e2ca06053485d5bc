#pragma once
// Ordering the data rows of the file table by the text of one column ("Sortieren").
#include <string_view>

#include "filetable/FileTable.h"

namespace velora {

// Byte-wise, unsigned, case-sensitive and blind to the locale: capitals before "["
// before small letters, any byte of an accented letter after every ASCII character,
// a text before every longer text that begins with it, the empty text first.
bool sortKeyLess(std::string_view a, std::string_view b);

// Sorts rows 1..n by `column` with the program's exchange pass (n x n comparisons,
// whole rows exchanged), then renumbers "Nr.". The pass is not stable, and which of
// several rows with equal keys ends where is part of the program's behaviour: users
// who sort twice see equal rows swap back, so it is reproduced exactly.
// A column outside the table sorts nothing.
void SortFileTable(FileTable& table, int column, bool ascending);

}  // namespace velora
