#pragma once
// velora-cli export FILE [--with-passwords] and velora-cli import FILE: the whole
// configuration as one JSON document (see ConfigDocument), for backups and moves.
#include <string>
#include <vector>

#include "cli/AdminStore.h"

namespace velora::cli {

// A larger file is refused unread: a configuration is a few hundred kilobytes at most.
inline constexpr long long kMaxDocumentBytes = 16LL * 1024 * 1024;

std::string exportHelp();
std::string importHelp();
int runExport(const std::vector<std::string>& args, const AdminContext& context);
int runImport(const std::vector<std::string>& args, const AdminContext& context);

}  // namespace velora::cli
