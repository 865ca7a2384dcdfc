#include <gtest/gtest.h>

#include "session/SessionResult.h"
#include "SessionTestEnvironment.h"
#include "tests/support/Portable.h"

namespace nerolin::test {
namespace {

TEST(SessionResult, ShowsOneBoxByErrorOrServiceCode)
{
    test::SetEnvironment("LANGUAGE", "en");
    struct Case {
        int error;
        ServerMessage message;
        std::string text;
        MessageIcon icon;
    };
    const Case cases[] = {
        {8,
         {"ERROR", "Card blocked"},
         "Error occured during the opertation!\r\nMessage: Card blocked",
         MessageIcon::Error},
        {0, {"", ""}, "Unknown error!", MessageIcon::Error},
        {0, {"OK", ""}, "Operation accomplished!", MessageIcon::Information},
        {0, {"ok", ""}, "Unknown error!", MessageIcon::Error},
        {8, {"CANCEL", ""}, "Operation canceled!", MessageIcon::Exclamation},
        {0, {"WARNING", "Expires soon"}, "Warning!\r\nMessage: Expires soon", MessageIcon::Exclamation},
        {1, {"OK", "ignored"}, "Bad URL!", MessageIcon::Exclamation},
        {4, {}, "Connection error!", MessageIcon::Exclamation},
        {5, {}, "Connection error!", MessageIcon::Exclamation},
        {6, {}, "Invalid status code!", MessageIcon::Exclamation},
        {7, {}, "Bad response!", MessageIcon::Exclamation},
        {9, {}, "Error occurred during the QR code generation!", MessageIcon::Exclamation},
    };
    for (const Case& c : cases) {
        TestPrompts().Clear();
        ShowSessionResult(c.error, c.message);
        const auto shown = TestPrompts().Recorded();
        ASSERT_EQ(shown.size(), 1u) << c.error;
        EXPECT_EQ(shown[0].text, c.text) << c.error;
        EXPECT_EQ(shown[0].icon, c.icon) << c.error;
    }
    for (int outside : {-1, 10}) {
        TestPrompts().Clear();
        ShowSessionResult(outside, {"OK", ""});
        EXPECT_TRUE(TestPrompts().Recorded().empty()) << outside;
    }
}

}  // namespace
}  // namespace nerolin::test
