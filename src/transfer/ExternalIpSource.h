#pragma once
// What the tag build needs for "[SYS_EXT_IP]": the address under which this computer
// is seen from outside, as a web page tells it.
#include <string>

namespace velora {

class ExternalIpSource {
public:
    virtual ~ExternalIpSource() = default;
    // The page's whole answer, or "ERROR" when the lookup failed (the cause is in the
    // event log). A setting that keeps the lookup from starting at all raises instead.
    virtual std::string LookupExternalIp() = 0;
};

}  // namespace velora
