// The desktop's own opener hands a registered "yendo:" link to the program
// unchanged.

#include <gtest/gtest.h>

#include "platform/DesktopEntry.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

TEST(UrlSchemeTest, XdgOpenHandsTheLinkToTheRegisteredProgramUnchanged)
{
    if (std::system("command -v xdg-open >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdg-utils is not installed";
    TempHome home;
    const std::string recorder = NEROLIN_BINARY_DIR "/bin/link-recorder";
    const std::string record = (home.root() / "record").string();

    ChildProcess registration(recorder, {"--register"}, {}, home.root());
    ASSERT_EQ(registration.Wait(), 0);
    RegistrationCheck check = CheckRegistration(recorder);
    EXPECT_TRUE(check.problems.empty()) << check.problems.front();

    const std::string links[] = {
        "yendo:%7B%22sessionUrl%22:%22https://s.example/a?b=%2541%22,%22sessionId%22:%22x%22%7D",
        R"(yendo:{"sessionUrl":"https://s.example/a b","sessionId":"$x;`y`|&*"})",
    };
    // The generic opener (no desktop session) needs only a display to name.
    EnvironmentChanges environment{{"DISPLAY", ":4711"},
                                   {"WAYLAND_DISPLAY", std::nullopt},
                                   {"XDG_CURRENT_DESKTOP", std::nullopt},
                                   {"DESKTOP_SESSION", std::nullopt},
                                   {"XDG_SESSION_DESKTOP", std::nullopt},
                                   {"KDE_FULL_SESSION", std::nullopt},
                                   {"GNOME_DESKTOP_SESSION_ID", std::nullopt},
                                   {"BROWSER", std::nullopt},
                                   {"NEROLIN_TEST_RECORD", record}};
    std::string expected;
    for (const std::string& link : links) {
        ChildProcess open("/usr/bin/env", {"xdg-open", link}, environment, home.root());
        EXPECT_EQ(open.Wait(), 0) << open.Stderr();
        expected += link + "\n";
        EXPECT_TRUE(Eventually([&] { return TempHome::ReadFile(record) == expected; })) << TempHome::ReadFile(record);
    }
}

}  // namespace
}  // namespace nerolin::test
