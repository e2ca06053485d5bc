#pragma once
// The scratch folder: tag-replaced copies and the transfer copy "VELORA.tmp" live in
// it. It is private to the user, because /tmp is shared by every account and a fixed
// name there lets another account plant links the program would write through:
// <temp>/velora-<uid> when "temp" (TEMP, TMPDIR) is set, else $XDG_CACHE_HOME/velora
// (~/.cache/velora).
#include <string>

#include "app/EventLog.h"
#include "platform/Environment.h"

namespace velora {

class TempFolder {
public:
    TempFolder(const Environment& env, EventLog& log) : env_(env), log_(log) {}

    // Makes sure the folder exists and is private; logs "Nx_Temp -> <path> = neu
    // Erstellt" when this call created it. A folder that cannot be used (a link, a file,
    // another account's folder, no permission) gets a log line and false: nothing may
    // be written there then. Called before every copy, so a folder removed while the
    // program runs comes back.
    bool ensure();
    // The path as the environment gives it now.
    std::string path() const;
    // <TempFolder>/VELORA.tmp
    std::string transferCopyPath() const;
    // The lock file that keeps two runs off the folder at once.
    std::string lockPath() const;
    // Whether `file` names something inside the folder (by its text).
    bool contains(const std::string& file) const;
    // Where earlier versions kept their copies, shared by every account: "temp" (or
    // /tmp) followed by "/velora". Stored names pointing there are not to be trusted.
    std::string formerSharedPath() const;

private:
    const Environment& env_;
    EventLog& log_;
};

}  // namespace velora
