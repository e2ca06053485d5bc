#pragma once
// BuildTagTable: the fourteen system tags, then the rows of the tag file.
#include <string>

#include "app/EventLog.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "settings/Settings.h"
#include "transfer/ExternalIpSource.h"
#include "transfer/TagTable.h"

namespace velora {

// Rows of the system tags.
inline constexpr int kSystemTagRows = 14;

class TagBuilder {
public:
    // `externalIp` answers "[SYS_EXT_IP]" when "Ext. IP abfragen" is on.
    TagBuilder(TagTable& tags, const Settings& settings, Registry& registry, const Environment& env,
               const Clock& clock, const Locale& locale, EventLog& log, ExternalIpSource& externalIp);

    // Rebuilds the table; true when the tag file was read. A registry read error leaves
    // as RegistryError and ends the build at the row it was reading.
    bool BuildTagTable();
    // The last build wanted the tag file ("Tag Datei" on, a name given) and could not
    // read it: rows whose text needs its values must not go out with placeholders.
    bool tagFileFailed() const { return tagFileFailed_; }

private:
    void buildDateAndComputer();
    void buildExternalIp();
    void buildOsRows();
    void buildHardwareRows();
    bool appendTagFileRows();

    TagTable& tags_;
    const Settings& settings_;
    Registry& registry_;
    const Environment& env_;
    const Clock& clock_;
    const Locale& locale_;
    EventLog& log_;
    bool tagFileFailed_ = false;
    ExternalIpSource& externalIp_;
};

}  // namespace velora
