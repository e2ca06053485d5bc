#pragma once
// The scratch folder: tag-replaced copies and the transfer copy "VELORA.tmp" live in
// it. It is private to the user, because /tmp is shared by every account and a fixed
// name there lets another account plant links the program would write through:
// <temp>/velora-<uid> when "temp" (TEMP, TMPDIR) is set, else $XDG_CACHE_HOME/velora
// (~/.cache/velora).
//
// Another account can take that name first in a shared temp folder (a folder of its
// own, a link, a file). Refusing it would stop every run for good, so the program then
// uses a private folder of its own beside it whose name nobody can take in advance
// (<usual>-XXXXXX, as mkdtemp makes them), keeps it for the life of the process, and
// logs once where it is.
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
    // The path as the environment gives it now, or the private folder used instead.
    std::string path() const;
    // <TempFolder>/VELORA.tmp
    std::string transferCopyPath() const;
    // The lock file that keeps two runs off the folder at once.
    std::string lockPath() const;
    // Whether `file` names something inside the folder (by its text), or a copy in
    // any scratch folder of this program in that place (see inOtherScratchFolder).
    bool contains(const std::string& file) const;
    // Whether `file` is a copy in a scratch folder of this program that is not the one
    // in use: the usual one now taken by another account, or the private one of an
    // earlier process. Such a name is to be replaced, never written to or sent.
    bool inOtherScratchFolder(const std::string& file) const;
    // Where earlier versions kept their copies, shared by every account: "temp" (or
    // /tmp) followed by "/velora". Stored names pointing there are not to be trusted.
    std::string formerSharedPath() const;

private:
    std::string usualPath() const;

    const Environment& env_;
    EventLog& log_;
    std::string chosen_;      // the private folder used instead of chosenFor_
    std::string chosenFor_;
};

}  // namespace velora
