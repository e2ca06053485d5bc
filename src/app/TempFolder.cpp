#include "app/TempFolder.h"

#include "platform/FileIo.h"
#include "platform/Paths.h"

namespace velora {

namespace {

// The variable followed by "/velora": without a "temp" variable that is a folder at
// the root, never one relative to whatever the working folder happens to be.
std::string scratchPath(const Environment& env) {
    const std::string temp = env.get("temp");
    return temp.empty() ? std::string("/velora") : paths::join(temp, "velora");
}

}  // namespace

std::string TempFolder::path() const {
    if (path_.empty()) path_ = scratchPath(env_);
    return path_;
}

void TempFolder::ensure() {
    path_ = scratchPath(env_);
    if (fileio::createFolder(path_)) log_.write("Nx_Temp -> " + path_ + " = neu Erstellt");
}

std::string TempFolder::transferCopyPath() const { return paths::join(path(), "VELORA.tmp"); }

}  // namespace velora
