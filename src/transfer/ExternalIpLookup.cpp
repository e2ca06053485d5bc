#include "transfer/ExternalIpLookup.h"

#include <algorithm>

#include "platform/Errors.h"
#include "platform/WholeNumber.h"

namespace velora {

ExternalIpLookup::ExternalIpLookup(const Settings& settings, EventLog& log, NameResolver& resolver,
                                   TcpConnector& connector, const Clock& clock, HttpLimits limits)
    : settings_(settings), log_(log), client_(*this, resolver, connector, clock, limits) {}

std::string ExternalIpLookup::LookupExternalIp() {
    HttpProxy proxy;
    if (settings_.cb_proxy) {
        log_.write("Get_Ext_IP -> Begin");
        timeoutMs_ = settings_.se_timeout_http.value();
        proxy = proxyFromSettings();
        log_.write("GET_EXT_IP_PROXY_USE: YES");
    } else {
        log_.write("GET_EXT_IP_PROXY_USE: NO");
    }
    // Before the first lookup through the proxy the client has no time-outs of its
    // own; it takes the configured one rather than wait without limit. A text that
    // bypassed the field's range may shorten the wait, never make it endless.
    const int configured = timeoutMs_.value_or(settings_.se_timeout_http.value());
    const int timeoutMs = std::clamp(configured, 1, settings_.se_timeout_http.maximum);

    const std::optional<HttpUrl> url = HttpUrl::parse(settings_.e_www_ext_ip);
    if (!url) {
        log_.write("GET_EXT_IP ERROR: Invalid URL: " + settings_.e_www_ext_ip);
        return "ERROR";
    }
    std::string body;
    try {
        body = client_.get(*url, proxy, {timeoutMs, timeoutMs});
    } catch (const HttpError& e) {
        log_.write(std::string("GET_EXT_IP ERROR: HTTP-Fehler: ") + e.what());
        return "ERROR";
    } catch (const SocketError& e) {
        log_.write(std::string("GET_EXT_IP ERROR: EIdSocketError: ") + e.what());
        return "ERROR";
    } catch (const Error& e) {
        log_.write(std::string("GET_EXT_IP ERROR: Exception: ") + e.what());
        log_.write("GET_EXT_IP ERROR: Server did not respond withing " +
                   std::to_string(settings_.se_timeout_http.value() / 1000) + " seconds");
        client_.disconnect();
        return "ERROR";
    }
    log_.write("GET_EXT_IP RESULT: " + body);
    return body;
}

HttpProxy ExternalIpLookup::proxyFromSettings() const {
    HttpProxy proxy;
    proxy.use = true;
    proxy.host = settings_.E_Host;
    proxy.user = settings_.E_User_name;
    proxy.password = settings_.ME_Pasword;
    proxy.port = parseWholeNumber(settings_.e_http_port);
    return proxy;
}

void ExternalIpLookup::IdHTTP1Status(const std::string& text) { log_.write("GET_EXT_IP STATUS : " + text); }

void ExternalIpLookup::IdHTTP1ProxyAuthorization(const std::string& prepared) {
    log_.write("GET_EXT_IP STATUS_Proxy : " + prepared);
}

}  // namespace velora
