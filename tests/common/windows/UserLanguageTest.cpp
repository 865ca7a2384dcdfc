#include <gtest/gtest.h>

#include "common/StringIds.h"
#include "common/StringTable.h"

namespace nerolin {
namespace {

// Built twice: into test_common, which Wine runs as an English user, and
// into test_common_hungarian, which it runs as a Hungarian one.
#ifdef NEROLIN_TEST_HUNGARIAN_USER
constexpr Language kUserLanguage = Language::Hungarian;
constexpr const char* kCloseButton = "Be&z\u00E1r\u00E1s";
#else
constexpr Language kUserLanguage = Language::English;
constexpr const char* kCloseButton = "&Close";
#endif

TEST(UserInterfaceLanguage, IsTheUsersLanguage)
{
    EXPECT_EQ(UserInterfaceLanguage(), kUserLanguage);
    EXPECT_EQ(LoadString(strings::kCloseButton), kCloseButton);
}

}  // namespace
}  // namespace nerolin
