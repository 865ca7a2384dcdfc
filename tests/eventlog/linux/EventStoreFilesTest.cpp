#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "eventlog/EventLogReporter.h"
#include "eventlog/EventStore.h"
#include "tests/eventlog/TempFolder.h"
#include "tests/support/Portable.h"

namespace nerolin {
namespace {

TEST(EventStorePath, FollowsXdgStateHome)
{
    const char* savedState = std::getenv("XDG_STATE_HOME");
    const std::string saved = savedState != nullptr ? savedState : "";
    const char* home = std::getenv("HOME");
    const std::string fallback =
        std::string(home != nullptr ? home : "") + "/.local/state/Tavorel/Nerolin/eventlog.sqlite";

    test::SetEnvironment("XDG_STATE_HOME", "/var/tmp/state");
    EXPECT_EQ(DefaultEventStorePath(), "/var/tmp/state/Tavorel/Nerolin/eventlog.sqlite");
    if (home != nullptr && home[0] != '\0') {
        test::SetEnvironment("XDG_STATE_HOME", "relative/state");  // not absolute: ignored
        EXPECT_EQ(DefaultEventStorePath(), fallback);
        test::SetEnvironment("XDG_STATE_HOME", "");
        EXPECT_EQ(DefaultEventStorePath(), fallback);
    }

    if (savedState != nullptr)
        test::SetEnvironment("XDG_STATE_HOME", saved.c_str());
    else
        test::SetEnvironment("XDG_STATE_HOME", nullptr);
}

TEST(EventStore, CreatesOnlyMissingFoldersPrivate)
{
    test::TempFolder folder;
    ASSERT_TRUE(EventStore::OpenForWriting(folder.Path("Tavorel/Nerolin/eventlog.sqlite")));
    for (const char* made : {"Tavorel", "Tavorel/Nerolin"}) {
        EXPECT_EQ(std::filesystem::status(folder.Path(made)).permissions(), std::filesystem::perms::owner_all) << made;
    }
}

}  // namespace
}  // namespace nerolin
