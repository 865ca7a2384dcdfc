#include "common/SecretString.h"

#include <gtest/gtest.h>

#include <string>

namespace nerolin {
namespace {

TEST(SecretString, KeepsItsBufferAcrossAssignmentsAndCutsOverlongValues)
{
    SecretString secret("1234");
    const char* before = secret.data();
    secret.Assign(std::string(300, 'x'));
    EXPECT_EQ(secret.data(), before);  // never reallocated, so no stray copy
    EXPECT_EQ(secret.size(), SecretString::kCapacity);
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
