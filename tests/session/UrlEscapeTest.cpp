#include "session/UrlEscape.h"

#include <gtest/gtest.h>

namespace nerolin::test {
namespace {

struct EscapeCase {
    std::u16string input;
    unsigned flags;
    std::u16string expected;
};

TEST(UrlEscapeTest, EscapesTheUnsafeUnitsAndStopsAtTheQueryOfATextWithoutScheme)
{
    const EscapeCase cases[] = {
        {u"", kUrlEscapeDefault, u""},
        {u"AZaz09!$%'()*+,-.:;=@_~/", kUrlEscapeDefault, u"AZaz09!$%'()*+,-.:;=@_~/"},
        {u" \"&<>[\\]^`{|}", kUrlEscapeDefault, u"%20%22%26%3C%3E%5B%5C%5D%5E%60%7B%7C%7D"},
        {std::u16string(u"\x00\x01\x1F\x7F", 4), kUrlEscapeDefault, u"%00%01%1F%7F"},
        {u"\u0080\u00E9\u00FF", kUrlEscapeDefault, u"%80%E9%FF"},  // one %XX per unit, no UTF-8
        {u"\u0100\u0151\u20AC\uFFFF\U0001F600", kUrlEscapeDefault, u"\u0100\u0151\u20AC\uFFFF\U0001F600"},
        {u"{\"a\":\"b c\"}?x y\"#z", kUrlEscapeDefault, u"%7B%22a%22:%22b%20c%22%7D?x y\"#z"},
        {u"a b#c d?e", kUrlEscapeDefault, u"a%20b#c d?e"},
        // A scheme (two or more of [A-Za-z0-9+-.] then ":") lifts the stop.
        {u"ab:c d?e f#g h", kUrlEscapeDefault, u"ab:c%20d?e%20f#g%20h"},
        {u"a+1.b-c:?x y", kUrlEscapeDefault, u"a+1.b-c:?x%20y"},
        {u"a:b c?d e", kUrlEscapeDefault, u"a:b%20c?d e"},
        {u"a_b:c d?e f", kUrlEscapeDefault, u"a_b:c%20d?e f"},
        {u":c d?e f", kUrlEscapeDefault, u":c%20d?e f"},
        // "%" on request, on both sides of the stop.
        {u"%41 ?%42 ", kUrlEscapePercent, u"%2541%20?%2542 "},
        // One segment: "/", "?", "#" and "%" as well, and no stop.
        {u"host/a?b#c%d e", kUrlEscapeSegmentOnly, u"host%2Fa%3Fb%23c%25d%20e"},
    };
    for (const EscapeCase& c : cases) {
        EXPECT_EQ(UrlEscape(c.input, c.flags), c.expected) << "case " << (&c - cases);
    }
}

TEST(UrlEscapeTest, UnescapesEveryPercentPairOnceAndKeepsAllElse)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"", u""},
        {u"%41%4a%4A%7e", u"AJJ~"},
        {u"%2541", u"%41"},  // a single pass
        {u"%%41", u"%A"},
        {u"%4", u"%4"},
        {u"%", u"%"},
        {u"%G1%1G%+1", u"%G1%1G%+1"},
        {u"a?b%20c#d%20", u"a?b c#d "},         // "?" and "#" do not stop it
        {u"%E9%C3%A9", u"\u00E9\u00C3\u00A9"},  // units, never combined as UTF-8
        {u"x%00y", std::u16string(u"x\0y", 3)},
        {u"\u0151%20\U0001F600", u"\u0151 \U0001F600"},
    };
    for (const auto& [input, expected] : cases) {
        std::u16string text = input;
        UrlUnescapeInPlace(text);
        EXPECT_EQ(text, expected) << "case " << (&input - &cases[0].first);
    }
}

TEST(UrlEscapeTest, EscapingWithPercentReadsBackToTheSameText)
{
    std::u16string every;
    for (char16_t c = 0; c < 0x200; ++c) every += c;
    const std::u16string texts[] = {
        every,
        u"{\"sessionUrl\":\"https://x/s?a=%41&b=%zz#f%2\",\"sessionId\":\"a b\",\"mode\":\"SIGN\"}",
        u"%%%?%25#%41",
    };
    for (const std::u16string& text : texts) {
        std::u16string escaped = UrlEscape(text, kUrlEscapePercent);
        UrlUnescapeInPlace(escaped);
        EXPECT_EQ(escaped, text);
    }
}

}  // namespace
}  // namespace nerolin::test
