#include "platform/FileLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "tests/support/Portable.h"

namespace nerolin {
namespace {

using namespace std::chrono_literals;

TEST(FileLock, ExcludesAnotherHolderUntilReleased)
{
    const std::string folder = test::MakeUniqueFolder(std::filesystem::temp_directory_path(), "nerolin-lock-");
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "/store.lock";
    {
        std::optional<FileLock> first(std::in_place, path, 0ms);
        ASSERT_TRUE(first->locked());
        EXPECT_FALSE(FileLock(path, 0ms).locked());
        // A waiter gets the lock once the holder lets go within its wait.
        std::thread release([&first] {
            std::this_thread::sleep_for(100ms);
            first.reset();
        });
        EXPECT_TRUE(FileLock(path, 10s).locked());
        release.join();
    }
    EXPECT_TRUE(FileLock(path, 0ms).locked());
    EXPECT_FALSE(FileLock(folder + "/missing/store.lock", 0ms).locked());
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace nerolin
