#include <gtest/gtest.h>

#include "session/ServiceUrl.h"
#include "session/Whitelist.h"
#include "tests/support/Portable.h"

namespace nerolin::test {
namespace {

TEST(ServiceUrl, TakesTheUrlApartLikeTheWindowsParser)
{
    struct Case {
        const char* url;
        int type;
        const char* host;
        int port;
        const char* object;
    };
    const Case cases[] = {
        {"https://Svc.Example.COM/session/1?x=1#top", kServiceTypeHttps, "Svc.Example.COM", 443, "/session/1?x=1#top"},
        {"HTTPS://localhost:8443", kServiceTypeHttps, "localhost", 8443, "/"},
        {"http://localhost/a", kServiceTypeHttp, "localhost", 80, "/a"},
        {"ftp://files/a", kServiceTypeFtp, "files", 21, "/a"},
        {"yendo-x://host/a", kServiceTypeUnknown, "host", 0, "/a"},
    };
    for (const Case& c : cases) {
        ServiceUrl url;
        ASSERT_TRUE(ParseServiceUrl(c.url, url)) << c.url;
        EXPECT_EQ(url.serviceType, c.type) << c.url;
        EXPECT_EQ(url.host, c.host) << c.url;
        EXPECT_EQ(url.port, c.port) << c.url;
        EXPECT_EQ(url.object, c.object) << c.url;
    }
    for (const char* bad : {"", "localhost/session", "https://", "https://exa mple/", "://x"}) {
        ServiceUrl url;
        EXPECT_FALSE(ParseServiceUrl(bad, url)) << bad;
    }
}

TEST(Whitelist, RequestUrlEscapesTheHostAsOneSegment)
{
    EXPECT_EQ(WhitelistRequestUrl("https://wl/whitelist/whitelist.json", "svc.example.com", ""),
              "https://wl/whitelist/whitelist.json?server=svc.example.com");
    EXPECT_EQ(WhitelistRequestUrl("https://wl/w.json", "a%b/c?d#e", "20260102030405"),
              "https://wl/w.json?server=a%25b%2Fc%3Fd%23e&nocache=20260102030405");
    EXPECT_EQ(WhitelistRequestUrl("https://wl/w.json", "", ""), "https://wl/w.json?server=");
}

TEST(Whitelist, NoCacheValueIsFourteenDigitsOfLocalTime)
{
    test::SetEnvironment("TZ", "UTC");
    tzset();
    EXPECT_EQ(NoCacheValue(1767323045), "20260102030405");
}

TEST(Whitelist, DocumentIsAnArrayOfHostNames)
{
    std::set<std::string> hosts;
    EXPECT_TRUE(ReadWhitelist(R"(["a.example", "b.example", "a.example"])", hosts));
    EXPECT_EQ(hosts, (std::set<std::string>{"a.example", "b.example"}));

    std::set<std::string> partial;
    EXPECT_FALSE(ReadWhitelist(R"(["first.example", 5, "third.example"])", partial));
    EXPECT_EQ(partial, std::set<std::string>{"first.example"});

    for (const char* refused : {"", "{}", R"({"hosts":["a"]})", R"(["a"] ["b"])", "[\"a\",]"}) {
        std::set<std::string> none;
        EXPECT_FALSE(ReadWhitelist(refused, none)) << refused;
    }
    std::set<std::string> empty;
    EXPECT_TRUE(ReadWhitelist(" [ ] ", empty));
    EXPECT_TRUE(empty.empty());
}

}  // namespace
}  // namespace nerolin::test
