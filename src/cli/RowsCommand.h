#pragma once
// velora-cli rows: the file table in the store ("Aktiv", "TAG", "Quelle", "FTP Pfad",
// "FTP Name" of each row), kept in the layout "Save Config" writes.
#include <string>
#include <vector>

#include "cli/AdminStore.h"

namespace velora::cli {

std::string rowsHelp();
// `args` are the words after "rows".
int runRows(const std::vector<std::string>& args, const AdminContext& context);

}  // namespace velora::cli
