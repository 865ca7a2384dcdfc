#include "platform/FileLock.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

using std::chrono::milliseconds;

TEST(FileLockTest, OneHolderAtATimeWithinAProcess)
{
    TempHome home;
    const std::string path = (home.root() / "run/claim.lock").string();
    {
        FileLock first(path, milliseconds(0));
        ASSERT_TRUE(first.locked());
        EXPECT_FALSE(FileLock(path, milliseconds(0)).locked());
        EXPECT_FALSE(FileLock(path, milliseconds(30)).locked());  // the wait ends, the holder stays
    }
    EXPECT_TRUE(FileLock(path, milliseconds(0)).locked());
    // No folder to make the lock file in.
    EXPECT_FALSE(FileLock((home.root() / "missing/claim.lock").string(), milliseconds(0)).locked());
}

TEST(FileLockTest, ALockDiesWithItsProcess)
{
    TempHome home;
    const std::string path = (home.root() / "run/claim.lock").string();
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toParent[0]);
        close(toChild[1]);
        FileLock lock(path, milliseconds(0));
        const char state = lock.locked() ? 'L' : 'F';
        if (write(toParent[1], &state, 1) != 1) _exit(2);
        char ignored;
        if (read(toChild[0], &ignored, 1) < 0) _exit(4);  // holds the lock until told
        _exit(3);                                         // ends without releasing it itself
    }
    close(toParent[1]);
    close(toChild[0]);
    char state = 0;
    const bool childLocked = read(toParent[0], &state, 1) == 1 && state == 'L';
    const bool refusedHere = childLocked && !FileLock(path, milliseconds(0)).locked();
    close(toChild[1]);  // the child ends now, whatever was seen
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(toParent[0]);
    EXPECT_TRUE(childLocked);
    EXPECT_TRUE(refusedHere);
    EXPECT_TRUE(FileLock(path, milliseconds(0)).locked());
}

}  // namespace
}  // namespace nerolin::test
