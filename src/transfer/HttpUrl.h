#pragma once
// The address of the external-IP page: http://host[:port][/path[?query]]. Anything else
// (another scheme, credentials, an empty host, a bad port, blanks or control bytes) is
// refused before a connection is made.
#include <optional>
#include <string>

namespace velora {

struct HttpUrl {
    std::string host;
    int port = 80;
    std::string path = "/";   // path and query; a fragment is dropped

    // Blanks around the text are ignored; nullopt for anything that is not such a URL.
    static std::optional<HttpUrl> parse(const std::string& text);

    // The "Host" header: the host, with ":" and the port when the port is not 80.
    std::string hostHeader() const;
    // The complete URL as a proxy wants it in the request line.
    std::string absolute() const { return "http://" + hostHeader() + path; }

    bool operator==(const HttpUrl&) const = default;
};

}  // namespace velora
