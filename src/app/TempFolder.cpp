#include "app/TempFolder.h"

#include "platform/FileIo.h"
#include "platform/Paths.h"

namespace velora {

std::string TempFolder::path() const {
    if (path_.empty()) path_ = paths::join(env_.get("temp"), "velora");
    return path_;
}

void TempFolder::ensure() {
    path_ = paths::join(env_.get("temp"), "velora");
    if (fileio::createFolder(path_)) log_.write("Nx_Temp -> " + path_ + " = neu Erstellt");
}

std::string TempFolder::transferCopyPath() const { return paths::join(path(), "VELORA.tmp"); }

}  // namespace velora
