#include "common/SecretString.h"

#include <gtest/gtest.h>

#include <string>

namespace nerolin {
namespace {

TEST(SecretString, HoldsASecretWholeOrNotAtAllWithoutReallocating)
{
    SecretString secret("1234");
    const char* before = secret.data();
    const std::string fourKilobytes(4096, 'x');
    EXPECT_TRUE(secret.Assign(fourKilobytes));
    EXPECT_EQ(secret.view(), fourKilobytes);
    EXPECT_EQ(secret.data(), before);  // never reallocated, so no stray copy

    // One byte more is refused, never cut.
    EXPECT_FALSE(secret.Assign(fourKilobytes + "y"));
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(secret.data(), before);
    EXPECT_TRUE(SecretString(fourKilobytes + "y").empty());
    EXPECT_TRUE(secret.Assign("5678"));
    EXPECT_EQ(secret.view(), "5678");
    secret.Clear();
    EXPECT_TRUE(secret.empty());
}

TEST(SecretString, MovedFromValueIsEmpty)
{
    SecretString a("0000");
    SecretString b(std::move(a));
    EXPECT_EQ(b.view(), "0000");
    EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): wiped on purpose
}

}  // namespace
}  // namespace nerolin
