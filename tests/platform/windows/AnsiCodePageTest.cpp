#include "platform/AnsiCodePage.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace nerolin {
namespace {

// ctest runs this program with a Hungarian locale (CMakeLists.txt), whose
// ANSI code page is 1250; the texts below are written in its bytes.
TEST(AnsiCodePage, ConvertsWithTheThreadsCodePage)
{
    ASSERT_EQ(GetACP(), 1250u);
    std::string ansi;
    ASSERT_TRUE(WideToAnsi(u"\u00C1rv\u00EDzt\u0171r\u0151", ansi));
    EXPECT_EQ(ansi, "\xC1rv\xEDzt\xFBr\xF5");
    std::u16string wide;
    ASSERT_TRUE(AnsiToWide(ansi.c_str(), wide));
    EXPECT_EQ(wide, u"\u00C1rv\u00EDzt\u0171r\u0151");
    ASSERT_TRUE(AnsiToWide("", wide));
    EXPECT_EQ(wide, u"");
}

TEST(AnsiCodePage, MissingCharactersBecomeTheDefaultCharacter)
{
    std::string ansi;
    ASSERT_TRUE(WideToAnsi(u"P\u00E9ter \u20AC \U0001F600 \u65E5!", ansi));
    // The euro sign is in 1250; an emoji (a surrogate pair) and a CJK
    // character are not.
    EXPECT_EQ(ansi.substr(0, 8), "P\xE9ter \x80 ");
    EXPECT_EQ(ansi.back(), '!');
    EXPECT_EQ(ansi.find_first_not_of("P\xE9ter \x80?!"), std::string::npos) << ansi;
}

}  // namespace
}  // namespace nerolin
