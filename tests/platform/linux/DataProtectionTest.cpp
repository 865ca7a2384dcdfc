#include "platform/DataProtection.h"

#include <sys/stat.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

TEST(DataProtectionTest, UserKeyIsCreatedOncePrivateAndOpensOnlyItsOwnBlobs)
{
    TempHome home;
    const Bytes clear{'s', 0, 'e', 'c'};
    auto blob = Protect(Scope::User, clear);
    ASSERT_TRUE(blob);
    struct stat status {};
    ASSERT_EQ(stat(UserKeyPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(Unprotect(Scope::User, *blob), clear);
    EXPECT_EQ(Unprotect(Scope::Machine, *blob), std::nullopt);

    // Every byte of the blob counts: a single flipped bit anywhere fails.
    for (std::size_t i = 0; i < blob->size(); ++i) {
        Bytes damaged = *blob;
        damaged[i] ^= 0x01;
        EXPECT_EQ(Unprotect(Scope::User, damaged), std::nullopt) << "byte " << i;
    }
    Bytes cut(blob->begin(), blob->end() - 1);
    EXPECT_EQ(Unprotect(Scope::User, cut), std::nullopt);
    EXPECT_EQ(Unprotect(Scope::User, Bytes{}), std::nullopt);

    // A key file that others can read is not trusted, and not replaced.
    chmod(UserKeyPath().c_str(), 0644);
    EXPECT_EQ(Unprotect(Scope::User, *blob), std::nullopt);
    EXPECT_EQ(Protect(Scope::User, clear), std::nullopt);
}

TEST(DataProtectionTest, FirstUsesAtOnceAgreeOnOneKey)
{
    TempHome home;
    std::vector<std::optional<Bytes>> blobs(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < blobs.size(); ++i)
        threads.emplace_back([&blobs, i] { blobs[i] = Protect(Scope::User, Bytes{static_cast<std::uint8_t>(i)}); });
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < blobs.size(); ++i) {
        ASSERT_TRUE(blobs[i]) << i;
        EXPECT_EQ(Unprotect(Scope::User, *blobs[i]), Bytes{static_cast<std::uint8_t>(i)}) << i;
    }
    // No temporary key file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(UserKeyPath()).parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(DataProtectionTest, MachineScopeOpensForEveryUserOfTheMachine)
{
    TempHome home;
    auto blob = Protect(Scope::Machine, Bytes{'x'});
    ASSERT_TRUE(blob);
    EXPECT_FALSE(std::filesystem::exists(UserKeyPath()));
    home.Point("XDG_DATA_HOME", home.root() / "other-user");
    EXPECT_EQ(Unprotect(Scope::Machine, *blob), Bytes{'x'});
    EXPECT_EQ(Unprotect(Scope::User, *blob), std::nullopt);
    EXPECT_EQ(Unprotect(Scope::Machine, *Protect(Scope::Machine, Bytes{})), Bytes{});
}

}  // namespace
}  // namespace nerolin::test
