#include <gtest/gtest.h>

#include "session/ProxyList.h"

namespace nerolin::test {
namespace {

TEST(ProxyList, StoredProxyIsReadInEveryFormAdministratorsWrite)
{
    struct Case {
        const char* setting;
        std::optional<std::string> proxy;  // nothing: the environment decides; "": direct
    };
    const Case cases[] = {
        {"", std::nullopt},
        {" ; ", std::nullopt},
        {"http://proxy.example:3128", "http://proxy.example:3128"},
        {"proxy.example:3128", "http://proxy.example:3128"},
        // Without a port an HTTP proxy is on 80, not on libcurl's 1080.
        {"proxy.example", "http://proxy.example:80"},
        {"http://proxy.example", "http://proxy.example:80"},
        {"http://user:pw@proxy.example:8080", "http://user:pw@proxy.example:8080"},
        {"[::1]:3128", "http://[::1]:3128"},
        {"http=proxy:3128;https=proxy:3129", "http://proxy:3129"},
        {"https=sec.example:3129 http=plain.example:3128", "http://sec.example:3129"},
        {"HTTPS=sec.example:3129", "http://sec.example:3129"},
        {"https=host:8443", "http://host:8443"},
        {"https=http://sec.example:3129", "http://sec.example:3129"},
        {"ftp=f:21;all.example:8080", "http://all.example:8080"},
        {"socks=socks.example", "socks4://socks.example:1080"},
        {"socks=socks.example:9050;https=sec.example:3129", "http://sec.example:3129"},
        {"socks5://socks.example:1080", "socks5://socks.example:1080"},
        // Proxies for other protocols only: HTTPS goes direct, whatever the environment says.
        {"http=proxy:3128", ""},
        {"ftp=proxy:21;http=proxy:3128", ""},
        {"https=", ""},
        // No host: handed on as written, so the transfer fails and names it.
        {"https=:3128", ":3128"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HttpsProxyFromSetting(c.setting), c.proxy) << c.setting;
    }
}

}  // namespace
}  // namespace nerolin::test
