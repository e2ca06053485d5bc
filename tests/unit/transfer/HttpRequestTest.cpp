// Which page addresses are taken, and the Basic credentials for a proxy. The request
// bytes on the wire are checked against a server in ExternalIpLookupTest.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "transfer/HttpClient.h"
#include "transfer/HttpUrl.h"

namespace velora {
namespace {

TEST(HttpUrl, OnlyHttpHostPortPathIsTaken) {
    struct Case {
        const char* text;
        std::optional<HttpUrl> url;
    };
    const Case cases[] = {
        {"http://ip.norvex.example/Scripts/IP.php", HttpUrl{"ip.norvex.example", 80, "/Scripts/IP.php"}},
        {"HTTP://Host-1.example:8080/a/b?c=d&e", HttpUrl{"Host-1.example", 8080, "/a/b?c=d&e"}},
        {"  http://127.0.0.1:81/ip.php#oben \t", HttpUrl{"127.0.0.1", 81, "/ip.php"}},
        {"http://h", HttpUrl{"h", 80, "/"}},
        {"http://h?q", HttpUrl{"h", 80, "/?q"}},
        {"http://h:65535/", HttpUrl{"h", 65535, "/"}},
        {"", std::nullopt},
        {"ip.norvex.example/Scripts/IP.php", std::nullopt},
        {"https://h/", std::nullopt},
        {"ftp://h/", std::nullopt},
        {"http://", std::nullopt},
        {"http:///p", std::nullopt},
        {"http://:80/p", std::nullopt},
        {"http://user:pw@h/", std::nullopt},
        {"http://h:/p", std::nullopt},
        {"http://h:0/p", std::nullopt},
        {"http://h:65536/p", std::nullopt},
        {"http://h:80x/p", std::nullopt},
        {"http://h:-1/p", std::nullopt},
        {"http://[::1]/p", std::nullopt},
        {"http://h/a b", std::nullopt},
        {"http://h/p\r\nX-Evil: 1", std::nullopt},
        {"http://h/p\x7f", std::nullopt},
        {"http://h\xc3\xa4/p", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(HttpUrl::parse(c.text), c.url) << c.text;
}

TEST(HttpRequest, BasicCredentialsOfUserAndPassword) {
    const std::pair<std::pair<const char*, const char*>, const char*> cases[] = {
        {{"ax", "qwpl482"}, "Basic YXg6cXdwbDQ4Mg=="},
        {{"", ""}, "Basic Og=="},
        {{"a", ""}, "Basic YTo="},
        {{"ab", ""}, "Basic YWI6"},
        {{"J\xc3\xbcrgen", "p\xc3\xa4:ss"}, "Basic SsO8cmdlbjpww6Q6c3M="},
    };
    for (const auto& [credentials, expected] : cases) {
        EXPECT_EQ(HttpClient::basicCredentials(credentials.first, credentials.second), expected) << credentials.first;
    }
}

}  // namespace
}  // namespace velora
