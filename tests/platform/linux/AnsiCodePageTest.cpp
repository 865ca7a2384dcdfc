#include "platform/AnsiCodePage.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace nerolin {
namespace {

// Each test runs in a process of its own (ctest), so changing the locale
// here touches no other test.
class LocaleText : public ::testing::Test {
protected:
    void UseLocale(const char* name) { ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << name; }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(LocaleText, Utf8LocaleConvertsEveryCharacter)
{
    UseLocale("C.UTF-8");
    std::string ansi;
    ASSERT_TRUE(WideToAnsi(u"\u00C1rv\u00EDzt\u0171r\u0151 \U0001F600", ansi));
    EXPECT_EQ(ansi, "\xC3\x81rv\xC3\xADzt\xC5\xB1r\xC5\x91 \xF0\x9F\x98\x80");
    std::u16string wide;
    ASSERT_TRUE(AnsiToWide(ansi.c_str(), wide));
    EXPECT_EQ(wide, u"\u00C1rv\u00EDzt\u0171r\u0151 \U0001F600");
    ASSERT_TRUE(AnsiToWide("", wide));
    EXPECT_EQ(wide, u"");
}

TEST_F(LocaleText, MissingCharactersBecomeTheDefaultCharacter)
{
    UseLocale("C");  // ASCII: no accented letters
    std::string ansi;
    ASSERT_TRUE(WideToAnsi(u"P\u00E9ter \U0001F600!", ansi));
    EXPECT_EQ(ansi, "P?ter ?!");  // a surrogate pair is one character
    const char16_t unpaired[] = {u'a', 0xD800, u'b', 0};
    ASSERT_TRUE(WideToAnsi(unpaired, ansi));
    EXPECT_EQ(ansi, "a?b");

    UseLocale("C.UTF-8");
    std::u16string wide;
    ASSERT_TRUE(
        AnsiToWide("a\xFF"
                   "b\xC3",
                   wide));
    EXPECT_EQ(wide, u"a\uFFFDb\uFFFD");
}

}  // namespace
}  // namespace nerolin
