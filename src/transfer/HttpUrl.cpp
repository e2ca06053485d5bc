#include "transfer/HttpUrl.h"

#include <cctype>

namespace velora {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Bytes that would break the request line or smuggle a header into it.
bool hasControlOrBlank(const std::string& text) {
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7F) return true;
    }
    return false;
}

bool isHostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

std::optional<int> portOf(const std::string& digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

bool startsWithHttp(const std::string& text) {
    static const std::string scheme = "http://";
    if (text.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != scheme[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<HttpUrl> HttpUrl::parse(const std::string& text) {
    const std::string url = trimmed(text);
    if (!startsWithHttp(url) || hasControlOrBlank(url)) return std::nullopt;
    const std::string rest = url.substr(7);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    const std::string authority = rest.substr(0, authorityEnd);
    std::string path = authorityEnd == std::string::npos ? std::string() : rest.substr(authorityEnd);
    path = path.substr(0, path.find('#'));
    if (path.empty() || path.front() == '?') path.insert(0, "/");

    HttpUrl result;
    result.path = path;
    const std::size_t colon = authority.find(':');
    result.host = authority.substr(0, colon);
    if (colon != std::string::npos) {
        const auto port = portOf(authority.substr(colon + 1));
        if (!port) return std::nullopt;
        result.port = *port;
    }
    if (result.host.empty()) return std::nullopt;
    for (char c : result.host) {
        if (!isHostChar(c)) return std::nullopt;
    }
    return result;
}

std::string HttpUrl::hostHeader() const { return port == 80 ? host : host + ":" + std::to_string(port); }

}  // namespace velora
