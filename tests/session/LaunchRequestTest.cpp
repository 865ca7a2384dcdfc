#include "session/LaunchRequest.h"

#include <gtest/gtest.h>

#include "session/UrlEscape.h"

namespace nerolin::test {
namespace {

constexpr char kUrl[] = "https://service.example/session/1";

struct ParseCase {
    const char* json;
    bool accepted;
    SessionMode mode;  // after the call, from a fresh request
};

TEST(LaunchRequestTest, ParsesStrictJsonWithTheThreeMembers)
{
    using M = SessionMode;
    const ParseCase cases[] = {
        {R"({"sessionUrl":"u","sessionId":"i"})", true, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":"SELECT_CERTIFICATE"})", true, M::SelectCertificateMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":"SIGN"})", true, M::SignMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":"SELECT_CERTIFICATE_AND_SIGN"})", true,
         M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":"TEST"})", true, M::TestMode},
        {" \t\r\n{\"extra\":[1,{}],\"sessionId\":\"i\",\"sessionUrl\":\"u\",\"x\":null} \r\n", true,
         M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":"SIGN","mode":"TEST"})", true, M::SignMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":"sign"})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":1})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":"i","mode":"TEST "})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":""})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":7})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"","sessionId":"i"})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionId":"i"})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":"i",})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u","sessionId":"i"} {})", false, M::SelectCertificateAndSignMode},
        {R"({"sessionUrl":"u",/* c */"sessionId":"i"})", false, M::SelectCertificateAndSignMode},
        {"{\"sessionUrl\":\"u\",\"sessionId\":\"i\"}\f", false, M::SelectCertificateAndSignMode},
        {R"([{"sessionUrl":"u","sessionId":"i"}])", false, M::SelectCertificateAndSignMode},
        {"", false, M::SelectCertificateAndSignMode},
    };
    for (const ParseCase& c : cases) {
        LaunchRequest request;
        EXPECT_EQ(ParseLaunchRequest(c.json, request), c.accepted) << c.json;
        EXPECT_EQ(request.mode, c.mode) << c.json;
    }
}

TEST(LaunchRequestTest, ValuesStoredBeforeAFailingStepStay)
{
    LaunchRequest request;
    request.mode = SessionMode::SignMode;
    EXPECT_FALSE(ParseLaunchRequest(R"({"sessionUrl":"u1","sessionId":"i1","mode":"nope"})", request));
    EXPECT_EQ(request.sessionUrl, "u1");
    EXPECT_EQ(request.sessionId, "i1");
    EXPECT_EQ(request.mode, SessionMode::SignMode);

    EXPECT_FALSE(ParseLaunchRequest(R"({"sessionUrl":"u2","sessionId":""})", request));
    EXPECT_EQ(request.sessionUrl, "u2");
    EXPECT_EQ(request.sessionId, "i1");

    // Without "mode" the request keeps the one it had.
    EXPECT_TRUE(ParseLaunchRequest(R"({"sessionUrl":"u3","sessionId":"i3"})", request));
    EXPECT_EQ(request.mode, SessionMode::SignMode);
}

TEST(LaunchRequestTest, LinksNeedTheSchemeAtTheStartInLowerCase)
{
    EXPECT_EQ(LaunchJsonFromLink(u"yendo:"), "");
    EXPECT_EQ(LaunchJsonFromLink(u"yendo:%7B%22a%22:1%7D?%20"), "{\"a\":1}? ");
    EXPECT_EQ(LaunchJsonFromLink(u"yendo:%C3%A9"), "\u00C3\u00A9");  // each %XX one character
    EXPECT_EQ(LaunchJsonFromLink(u"YENDO:{}"), std::nullopt);
    EXPECT_EQ(LaunchJsonFromLink(u" yendo:{}"), std::nullopt);
    EXPECT_EQ(LaunchJsonFromLink(u"yendo"), std::nullopt);
    EXPECT_EQ(LaunchJsonFromLink(u""), std::nullopt);
}

TEST(LaunchRequestTest, WrittenLinksReadBackToTheSameRequest)
{
    const LaunchRequest requests[] = {
        {kUrl, "abc-123", SessionMode::SignMode},
        {"https://x.example/s?a=%41&b=c d#\"frag\"", "id with \"quotes\", \\ and \x01",
         SessionMode::SelectCertificateMode},
        {"https://x.example/\u00E9\u0151\u20AC", "\u00FF\U0001F600", SessionMode::SelectCertificateAndSignMode},
    };
    for (const LaunchRequest& request : requests) {
        auto link = LaunchLink(request);
        ASSERT_TRUE(link);
        EXPECT_EQ(link->rfind("yendo:%7B%22sessionUrl%22:%22", 0), 0u) << *link;
        auto json = LaunchJsonFromLink(Utf8ToWide(*link));
        ASSERT_TRUE(json);
        EXPECT_EQ(*json, LaunchRequestJson(request));
        LaunchRequest read;
        ASSERT_TRUE(ParseLaunchRequest(*json, read)) << *json;
        EXPECT_EQ(read.sessionUrl, request.sessionUrl);
        EXPECT_EQ(read.sessionId, request.sessionId);
        EXPECT_EQ(read.mode, request.mode);
    }
}

TEST(LaunchRequestTest, WritesCompactJsonAndTestModeAsTheDefaultMode)
{
    LaunchRequest request{kUrl, "s1", SessionMode::TestMode};
    EXPECT_EQ(
        LaunchRequestJson(request),
        R"({"sessionUrl":"https://service.example/session/1","sessionId":"s1","mode":"SELECT_CERTIFICATE_AND_SIGN"})");
    EXPECT_EQ(LaunchLink(request),
              "yendo:%7B%22sessionUrl%22:%22https://service.example/session/1%22,%22sessionId%22:%22s1%22,"
              "%22mode%22:%22SELECT_CERTIFICATE_AND_SIGN%22%7D");
}

TEST(LaunchRequestTest, QrCodeIsOnePixelPerModuleWithoutBorder)
{
    RgbImage image;
    ASSERT_EQ(MakeQRCode(std::string("yendo:"), image), SessionError::Ok);
    EXPECT_EQ(image.width, 21);  // version 1
    EXPECT_EQ(image.height, 21);
    ASSERT_EQ(image.pixels.size(), 21u * 21u * 3u);
    // The finder pattern's dark corner sits right at the edge.
    auto pixel = [&](int x, int y) { return image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 3]; };
    EXPECT_EQ(pixel(0, 0), 0);
    EXPECT_EQ(pixel(20, 0), 0);
    EXPECT_EQ(pixel(0, 20), 0);
    EXPECT_EQ(pixel(7, 7), 255);  // the separator is light
    for (std::size_t i = 0; i < image.pixels.size(); i += 3) {
        ASSERT_TRUE(image.pixels[i] == 0 || image.pixels[i] == 255);
        ASSERT_EQ(image.pixels[i], image.pixels[i + 1]);
        ASSERT_EQ(image.pixels[i], image.pixels[i + 2]);
    }

    LaunchRequest request{kUrl, "s1", SessionMode::SignMode};
    ASSERT_EQ(MakeQRCode(request, image), SessionError::Ok);
    EXPECT_EQ((image.width - 17) % 4, 0);
}

TEST(LaunchRequestTest, TooLongForAQrCodeIsQrCodeError)
{
    RgbImage image;
    image.width = 5;
    // 1273 bytes is the byte-mode capacity at level HIGH; one more is refused.
    std::string fits = "x" + std::string(1272, '\x7F');
    EXPECT_EQ(MakeQRCode(fits, image), SessionError::Ok);
    EXPECT_EQ(image.width, 177);  // version 40
    EXPECT_EQ(MakeQRCode(fits + "x", image), SessionError::QRCodeError);
    EXPECT_EQ(image.width, 177);  // untouched on failure

    LaunchRequest request{kUrl, std::string(1300, 'a'), SessionMode::SignMode};
    EXPECT_EQ(MakeQRCode(request, image), SessionError::QRCodeError);
}

}  // namespace
}  // namespace nerolin::test
