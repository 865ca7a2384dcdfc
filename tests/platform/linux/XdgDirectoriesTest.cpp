#include "platform/XdgDirectories.h"

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

std::string PasswdHome()
{
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr ? entry->pw_dir : "";
}

// Without a usable HOME the answer is still a real folder of this user,
// never a path that starts at the root by accident ("/.local/state").
TEST(XdgDirectoriesTest, TheHomeFolderFallsBackToThePasswordDatabase)
{
    TempHome home;
    unsetenv("XDG_STATE_HOME");
    struct Case {
        const char* home;  // nullptr: unset
        std::string expected;
    };
    const Case cases[] = {
        {"/srv/someone", "/srv/someone"},
        {nullptr, PasswdHome()},
        {"", PasswdHome()},
        {"relative/home", PasswdHome()},
    };
    for (const Case& c : cases) {
        if (c.home != nullptr)
            setenv("HOME", c.home, 1);
        else
            unsetenv("HOME");
        EXPECT_EQ(HomeDirectory(), c.expected) << (c.home ? c.home : "unset");
        EXPECT_EQ(StateHome(), c.expected + "/.local/state") << (c.home ? c.home : "unset");
    }
    ASSERT_FALSE(PasswdHome().empty());
    setenv("HOME", (home.root() / "home").c_str(), 1);
}

}  // namespace
}  // namespace nerolin::test
