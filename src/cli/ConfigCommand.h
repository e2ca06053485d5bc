#pragma once
// velora-cli config [NAME [VALUE]]: the settings by their value names in the store.
#include <string>
#include <vector>

#include "cli/AdminStore.h"

namespace velora::cli {

std::string configHelp();
// `args` are the words after "config".
int runConfig(const std::vector<std::string>& args, const AdminContext& context);

// "unknown name" with the nearest known names, for every command that takes one.
std::string unknownNameMessage(const std::string& what, const std::string& name,
                               const std::vector<std::string>& nearest);

}  // namespace velora::cli
