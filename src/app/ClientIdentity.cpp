#include "app/ClientIdentity.h"

namespace velora {

namespace {

// Trimmed, then cut at the first blank: the FTP client keeps one word.
std::string firstWord(const std::string& text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    std::string t = text.substr(b, e - b);
    const auto blank = t.find(' ');
    return blank == std::string::npos ? t : t.substr(0, blank);
}

}  // namespace

void ClientIdentity::setClientName(const std::string& name) { name_ = firstWord(name); }

void ClientIdentity::setClientVersion(const std::string& version) { version_ = firstWord(version); }

std::string ClientIdentity::identificationString() const {
    std::string s = name_;
    if (!version_.empty()) s += " " + version_;
    if (!platform_.empty()) s += " " + platform_;
    return s;
}

}  // namespace velora
