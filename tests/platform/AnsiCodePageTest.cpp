#include "platform/AnsiCodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace nerolin {
namespace {

TEST(AnsiCodePage, NullInGivesNullOut)
{
    std::string ansi = "untouched";
    std::u16string wide = u"untouched";
    EXPECT_FALSE(WideToAnsi(nullptr, ansi));
    EXPECT_FALSE(AnsiToWide(nullptr, wide));
    EXPECT_EQ(ansi, "untouched");
    EXPECT_EQ(wide, u"untouched");
}

}  // namespace
}  // namespace nerolin
