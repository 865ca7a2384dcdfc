// Reading the update feed and comparing versions.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/updater/Appcast.h"

namespace nerolin::test {
namespace {

std::optional<AppcastItem> NewestAppcastItem(const std::string& xml, std::string_view system = "linux")
{
    const auto appcast = ReadAppcast(xml, system);
    return appcast ? appcast->newest : std::nullopt;
}

std::string Feed(const std::string& items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Nerolin</title>" +
           items + "</channel></rss>";
}

TEST(VersionCompare, OrdersVersionsLikeTheFeedsExpect)
{
    struct Case {
        const char* older;
        const char* newer;
    };
    const std::vector<Case> newer = {
        {"1.0.21", "1.0.22"},   {"1.0.9", "1.0.21"},
        {"1.0.21", "1.1"},      {"1.0.21", "2"},
        {"1.0", "1.0.1"},       {"1.0b1", "1.0"},
        {"1.0b1", "1.0b2"},     {"1.0a", "1.0b"},
        {"1.0.21", "1.0.21.1"}, {"1.0.21", "99999999999999999999999"},
    };
    for (const Case& c : newer) {
        EXPECT_LT(CompareVersions(c.older, c.newer), 0) << c.older << " < " << c.newer;
        EXPECT_GT(CompareVersions(c.newer, c.older), 0) << c.newer << " > " << c.older;
    }
    for (const char* same : {"1.0.21", "1.0.21.0", "01.0.21"}) {
        EXPECT_EQ(CompareVersions("1.0.21", same), 0) << same;
    }
}

TEST(Appcast, TakesTheNewestItemForThisSystem)
{
    const std::string xml = Feed(
        "<item><title>Old</title><enclosure url=\"https://h/old.tar.gz\" sparkle:version=\"1.0.20\" "
        "length=\"5\"/></item>"
        "<item><title>Windows</title><enclosure url=\"https://h/w.exe\" sparkle:version=\"9.0\" "
        "sparkle:os=\"windows\"/></item>"
        "<item><title>New</title><sparkle:releaseNotesLink>https://h/notes.html</sparkle:releaseNotesLink>"
        "<description><![CDATA[<b>bold</b>]]></description>"
        "<enclosure url=\"https://h/nerolin-1.0.30.tar.gz\" sparkle:version=\"1.0.30\" "
        "sparkle:shortVersionString=\"1.0.30 beta\" length=\"1234\" sparkle:os=\"linux\" "
        "sparkle:edSignature=\"c2lnbmF0dXJl\"/></item>"
        "<item><title>Middle</title><link>https://h/m</link><enclosure url=\"https://h/m.tar.gz\" "
        "sparkle:version=\"1.0.25\"/></item>");
    auto item = NewestAppcastItem(xml);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->title, "New");
    EXPECT_EQ(item->version, "1.0.30");
    EXPECT_EQ(item->displayVersion, "1.0.30 beta");
    EXPECT_EQ(item->enclosureUrl, "https://h/nerolin-1.0.30.tar.gz");
    EXPECT_EQ(item->enclosureLength, 1234u);
    EXPECT_EQ(item->edSignature, "c2lnbmF0dXJl");
    EXPECT_EQ(item->releaseNotesUrl, "https://h/notes.html");

    // Read on Windows, the same feed offers the Windows item: the Linux one is
    // no update there, however new.
    item = NewestAppcastItem(xml, "windows");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->title, "Windows");
    EXPECT_EQ(item->enclosureUrl, "https://h/w.exe");
}

TEST(Appcast, VersionComesFromTheItemOrTheShortVersion)
{
    auto item =
        NewestAppcastItem(Feed("<item><sparkle:version>1.0.22</sparkle:version>"
                               "<enclosure url=\"https://h/a\" sparkle:version=\"7\"/></item>"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->version, "1.0.22");

    item =
        NewestAppcastItem(Feed("<item><enclosure url=\"https://h/a\" sparkle:shortVersionString=\"1.0.23\" "
                               "length=\"x\"/></item>"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->version, "1.0.23");
    EXPECT_EQ(item->enclosureLength, 0u);
}

TEST(Appcast, DamagedFeedsCannotBeRead)
{
    const std::vector<std::string> feeds = {
        "",
        "not xml at all",
        "<html><body>login page</body></html>",
        Feed("<item><enclosure url=\"https://h/a\" sparkle:version=\"2.0\"/></item>").substr(0, 150),  // cut short
        "<!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
        "<rss><channel><item><title>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</title></item></channel></rss>",
    };
    for (const std::string& feed : feeds) {
        EXPECT_FALSE(ReadAppcast(feed, "linux")) << feed;
    }
}

TEST(Appcast, AWellFormedFeedWithoutAnItemForThisSystemOffersNothing)
{
    const std::vector<std::string> feeds = {
        Feed(""),
        Feed("<item><title>no enclosure</title><sparkle:version>2.0</sparkle:version></item>"),
        Feed("<item><enclosure url=\"https://h/a\"/></item>"),  // no version
        Feed("<item><enclosure url=\"https://h/w.exe\" sparkle:version=\"9.0\" sparkle:os=\"windows\"/></item>"),
    };
    for (const std::string& feed : feeds) {
        const auto appcast = ReadAppcast(feed, "linux");
        ASSERT_TRUE(appcast) << feed;
        EXPECT_FALSE(appcast->newest) << feed;
    }
}

}  // namespace
}  // namespace nerolin::test
