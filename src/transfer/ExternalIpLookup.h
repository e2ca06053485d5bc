#pragma once
// LookupExternalIp: one GET of the page in "Ext. IP abfragen", directly or through the
// proxy of the "Proxy" group, every step in the event log. The time-outs are the
// client's: a lookup through the proxy sets them from "Timeout Millisek.", a direct
// lookup keeps whatever the last proxy lookup set.
#include <optional>
#include <string>

#include "app/EventLog.h"
#include "platform/Clock.h"
#include "platform/NameResolver.h"
#include "platform/TcpConnector.h"
#include "settings/Settings.h"
#include "transfer/ExternalIpSource.h"
#include "transfer/HttpClient.h"

namespace velora {

class ExternalIpLookup final : public ExternalIpSource, private HttpClientEvents {
public:
    ExternalIpLookup(const Settings& settings, EventLog& log, NameResolver& resolver, TcpConnector& connector,
                     const Clock& clock, HttpLimits limits = {});

    // A proxy HTTP port that is not a whole number raises GeneralError before the
    // request; every failure of the request itself gives "ERROR".
    std::string LookupExternalIp() override;

private:
    void IdHTTP1Status(const std::string& text) override;
    void IdHTTP1ProxyAuthorization(const std::string& prepared) override;
    HttpProxy proxyFromSettings() const;

    const Settings& settings_;
    EventLog& log_;
    HttpClient client_;
    // Set by the last lookup through the proxy; none before the first.
    std::optional<int> timeoutMs_;
};

}  // namespace velora
