#include "platform/LocalTime.h"

#include <gtest/gtest.h>

#include "tests/support/Portable.h"

namespace nerolin {
namespace {

TEST(LocalTime, FollowsTheTimeZone)
{
    // 2024-07-01 12:00:00 UTC
    const std::time_t moment = 1719835200;
    std::tm fields{};
    ASSERT_TRUE(ToUtcTime(moment, fields));
    EXPECT_EQ(fields.tm_hour, 12);
    EXPECT_EQ(fields.tm_mday, 1);

    test::SetEnvironment("TZ", "XYZ-2");  // UTC+2, no daylight saving
    EXPECT_EQ(UtcOffsetAt(moment), 7200);
    ASSERT_TRUE(ToLocalTime(moment, fields));
    EXPECT_EQ(fields.tm_hour, 14);
    test::SetEnvironment("TZ", "ABC+5");  // UTC-5
    EXPECT_EQ(UtcOffsetAt(moment), -5 * 3600);
    ASSERT_TRUE(ToLocalTime(moment, fields));
    EXPECT_EQ(fields.tm_hour, 7);
    test::SetEnvironment("TZ", nullptr);
}

}  // namespace
}  // namespace nerolin
