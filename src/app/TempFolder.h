#pragma once
// The scratch folder: <temp>/velora. Temporary tag-replaced copies and the transfer
// copy "VELORA.tmp" live in it.
#include <string>

#include "app/EventLog.h"
#include "platform/Environment.h"

namespace velora {

class TempFolder {
public:
    TempFolder(const Environment& env, EventLog& log) : env_(env), log_(log) {}

    // Rebuilds the path from the "temp" variable and creates the folder (one level);
    // logs "Nx_Temp -> <path> = neu Erstellt" when this call created it. A folder that
    // exists, and one that cannot be created, are silent.
    void ensure();
    // The path as of the last ensure() (rebuilt without creating when never ensured).
    std::string path() const;
    // <TempFolder>/VELORA.tmp
    std::string transferCopyPath() const;

private:
    const Environment& env_;
    EventLog& log_;
    mutable std::string path_;
};

}  // namespace velora
