#include "app/TempFolder.h"

#include "platform/FileIo.h"
#include "platform/Paths.h"

namespace velora {

namespace {

bool isAbsolute(const std::string& p) { return !p.empty() && p.front() == '/'; }

bool startsWithFolder(const std::string& file, const std::string& folder) {
    return file.size() > folder.size() + 1 && file.compare(0, folder.size(), folder) == 0 &&
           file[folder.size()] == '/';
}

}  // namespace

std::string TempFolder::usualPath() const {
    const std::string temp = env_.get("temp");
    if (!temp.empty()) return paths::join(temp, "velora-" + std::to_string(env_.userId()));
    std::string cache = env_.get("XDG_CACHE_HOME");
    // A relative XDG_CACHE_HOME is to be ignored, as for the settings store.
    if (!isAbsolute(cache)) cache = paths::join(env_.homeFolder(), ".cache");
    return paths::join(cache, "velora");
}

std::string TempFolder::path() const {
    const std::string usual = usualPath();
    return !chosen_.empty() && chosenFor_ == usual ? chosen_ : usual;
}

bool TempFolder::ensure() {
    const std::string folder = path();
    const fileio::PrivateFolder result = fileio::ensurePrivateFolder(folder, env_.userId());
    if (result.outcome == fileio::PrivateFolder::Refused && fileio::ownedByOther(folder, env_.userId())) {
        const std::string usual = usualPath();
        const fileio::FolderBeside beside = fileio::privateFolderBeside(usual, env_.userId());
        if (beside.path.empty()) {
            log_.write("Nx_Temp -> " + folder + " nicht nutzbar: " + result.why + "; " + beside.why);
            return false;
        }
        chosen_ = beside.path;
        chosenFor_ = usual;
        log_.write("Nx_Temp -> " + folder + " belegt (" + result.why + "), Temp-Ordner ist " + chosen_);
        if (beside.created) log_.write("Nx_Temp -> " + chosen_ + " = neu Erstellt");
        return true;
    }
    if (result.outcome == fileio::PrivateFolder::Created) log_.write("Nx_Temp -> " + folder + " = neu Erstellt");
    if (result.outcome == fileio::PrivateFolder::Refused)
        log_.write("Nx_Temp -> " + folder + " nicht nutzbar: " + result.why);
    return result.outcome != fileio::PrivateFolder::Refused;
}

std::string TempFolder::transferCopyPath() const { return paths::join(path(), "VELORA.tmp"); }

std::string TempFolder::lockPath() const { return paths::join(path(), "velora.lock"); }

bool TempFolder::contains(const std::string& file) const {
    return startsWithFolder(file, path()) || inOtherScratchFolder(file);
}

bool TempFolder::inOtherScratchFolder(const std::string& file) const {
    const std::size_t slash = file.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == file.size()) return false;
    const std::string folder = file.substr(0, slash);
    const std::string usual = usualPath();
    if (folder == path()) return false;
    if (folder == usual) return true;
    // <usual>-XXXXXX: the private folder of another process.
    return folder.size() == usual.size() + 7 && folder.compare(0, usual.size(), usual) == 0 &&
           folder[usual.size()] == '-' && folder.find('/', usual.size()) == std::string::npos;
}

std::string TempFolder::formerSharedPath() const {
    const std::string temp = env_.get("temp");
    return paths::join(temp.empty() ? std::string("/tmp") : temp, "velora");
}

}  // namespace velora
