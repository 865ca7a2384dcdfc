#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "eventlog/EventLogReporter.h"

namespace nerolin {
namespace {

// The store is the user's own and stays on this machine: the local
// application data folder, not the roaming one.
TEST(EventStorePath, LiesInTheLocalApplicationData)
{
    const char* local = std::getenv("LOCALAPPDATA");
    ASSERT_NE(local, nullptr);
    std::string expected = std::string(local) + "/Tavorel/Nerolin/eventlog.sqlite";
    for (char& c : expected)
        if (c == '\\') c = '/';
    EXPECT_EQ(DefaultEventStorePath(), expected);
}

}  // namespace
}  // namespace nerolin
