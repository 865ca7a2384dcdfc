// The one window of a session across real processes of the program, shown
// on Qt's offscreen platform; where two sessions' windows open on a real X
// server; and the window under a headless Wayland compositor.

#include <signal.h>

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/main/EndedSessions.h"
#include "BuildConfig.h"
#include "platform/DesktopEntry.h"
#include "platform/qt/SessionChannel.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempHome.h"
#include "tests/support/Weston.h"
#include "tests/support/Xvfb.h"

namespace nerolin::test {
namespace {

const std::string kNerolin = NEROLIN_BINARY_DIR "/bin/nerolin";

std::string Link(const std::string& sessionId)
{
    return "yendo:%7B%22sessionUrl%22:%22https://service.example/s%22,%22sessionId%22:%22" + sessionId + "%22%7D";
}

class SessionWindowTest : public ::testing::Test {
protected:
    TempHome home;
    EnvironmentChanges offscreen{{"QT_QPA_PLATFORM", "offscreen"}};

    std::unique_ptr<ChildProcess> StartWindow(const std::string& sessionId)
    {
        auto child =
            std::make_unique<ChildProcess>(kNerolin, std::vector<std::string>{Link(sessionId)}, offscreen, home.root());
        // Its window is up once it answers on the session's socket.
        EXPECT_TRUE(Eventually([&] { return SessionChannel::AskOwnerToRaise(sessionId) || !child->Running(); }));
        EXPECT_TRUE(child->Running()) << child->Stderr();
        return child;
    }
};

TEST_F(SessionWindowTest, ASecondStartOfTheSameSessionRaisesTheFirstAndEndsSilently)
{
    auto first = StartWindow("session-1");

    ChildProcess second(kNerolin, {Link("session-1")}, offscreen, home.root());
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(second.Stderr(), "");
    EXPECT_TRUE(first->Running());

    // Another session opens a window of its own.
    auto other = StartWindow("session-2");
    EXPECT_TRUE(first->Running());
}

TEST_F(SessionWindowTest, OnlyTheOwnerOfASessionChecksTheRegistration)
{
    if (!build::kDevelopmentBuild) GTEST_SKIP() << "the scripted prompts exist in development builds only";
    auto first = StartWindow("session-5");
    // Now the registration is wrong: a start that hands over to the owner
    // says nothing about it (a link clicked fifty times, fifty boxes).
    TempHome::WriteFile(UserDesktopEntryPath(), "[Desktop Entry]\nType=Link\n");
    TempHome::WriteFile(home.root() / "home/.config/mimeapps.list",
                        "[Default Applications]\nx-scheme-handler/yendo=nerolin.desktop;\n");
    const std::string transcript = (home.root() / "transcript").string();
    TempHome::WriteFile(home.root() / "answers", "");
    EnvironmentChanges scripted = offscreen;
    scripted["NEROLIN_TEST_PROMPTS"] = (home.root() / "answers").string();
    scripted["NEROLIN_TEST_TRANSCRIPT"] = transcript;
    ChildProcess second(kNerolin, {Link("session-5")}, scripted, home.root());
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(TempHome::ReadFile(transcript), "");
    EXPECT_TRUE(first->Running());
}

TEST_F(SessionWindowTest, TheSocketOfADeadOwnerIsReclaimed)
{
    auto first = StartWindow("session-3");
    first->Kill(SIGKILL);  // leaves its socket file behind
    EXPECT_TRUE(std::filesystem::exists(SessionChannel::SocketPath("session-3")));
    EXPECT_FALSE(SessionChannel::AskOwnerToRaise("session-3"));

    auto next = StartWindow("session-3");
    ChildProcess third(kNerolin, {Link("session-3")}, offscreen, home.root());
    EXPECT_EQ(third.Wait(), 0);
    EXPECT_TRUE(next->Running());
}

TEST_F(SessionWindowTest, TwoStartsAtOnceMakeOneOwner)
{
    ChildProcess a(kNerolin, {Link("session-4")}, offscreen, home.root());
    ChildProcess b(kNerolin, {Link("session-4")}, offscreen, home.root());
    ASSERT_TRUE(Eventually([&] { return !a.Running() || !b.Running(); }));
    EXPECT_NE(a.Running(), b.Running());
    EXPECT_TRUE(SessionChannel::AskOwnerToRaise("session-4"));
}

// Where a real X server shows two sessions' windows: "x,y" of each window
// named Nerolin that is larger than Qt's 1x1 helper windows.
std::vector<std::string> WindowPositions(const std::string& display, const std::filesystem::path& folder)
{
    ChildProcess query("/usr/bin/xdotool", {"search", "--name", "^Nerolin$", "getwindowgeometry", "%@"},
                       {{"DISPLAY", display}}, folder);
    query.Wait();
    std::vector<std::string> positions;
    std::istringstream lines(query.Stdout());
    std::string position;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("Position: ") != std::string::npos) {
            position = line.substr(line.find("Position: ") + 10);
            position = position.substr(0, position.find(' '));
        } else if (line.find("Geometry: ") != std::string::npos && line.find("Geometry: 1x1") == std::string::npos) {
            positions.push_back(position);
        }
    }
    return positions;
}

// Another session's window opens a step away from the first, so that both
// can be seen, on a real X server without a window manager to place them.
TEST(SessionWindowPlacementTest, AnotherSessionsWindowDoesNotCoverTheFirst)
{
    TempHome home;
    Xvfb x(home.root());
    ASSERT_FALSE(x.Display().empty());
    const EnvironmentChanges onX{
        {"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", x.Display()}, {"WAYLAND_DISPLAY", std::nullopt}};
    // Started without a link, so that no message about the session comes up.
    ChildProcess first(kNerolin, {}, onX, home.root());
    ASSERT_TRUE(Eventually([&] { return WindowPositions(x.Display(), home.root()).size() == 1 || !first.Running(); }));
    ChildProcess second(kNerolin, {}, onX, home.root());
    std::vector<std::string> positions;
    ASSERT_TRUE(Eventually([&] {
        positions = WindowPositions(x.Display(), home.root());
        return positions.size() == 2;
    })) << first.Stderr()
        << second.Stderr();
    EXPECT_NE(positions[0], positions[1]);
}

// Under a Wayland compositor (with Qt's Wayland platform installed) the
// program runs as a Wayland client: the platform is forced here, so a window
// that could not reach the compositor would end the program at once. A
// second start of the same link raises it and ends silently.
TEST(WaylandSessionWindowTest, TheWindowIsAWaylandClientAndASecondStartRaisesIt)
{
    TempHome home;
    Weston weston(home.root() / "run", home.root());
    ASSERT_TRUE(weston.Ready()) << weston.Log();
    const EnvironmentChanges wayland{
        {"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", weston.Socket()}, {"DISPLAY", std::nullopt}};
    ChildProcess first(kNerolin, {Link("wayland-1")}, wayland, home.root());
    ASSERT_TRUE(Eventually([&] { return SessionChannel::AskOwnerToRaise("wayland-1") || !first.Running(); }));
    ASSERT_TRUE(first.Running()) << first.Stderr();

    ChildProcess second(kNerolin, {Link("wayland-1")}, wayland, home.root());
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(second.Stderr(), "");
    EXPECT_TRUE(first.Running()) << first.Stderr();
}

// Only a session whose end the service has learnt is marked: one that could
// not be opened is tried again by its link.
TEST(EndedSessionsTest, OnlyEndsTheServiceKnowsAreMarked)
{
    TempHome home;
    SessionOutcome openingFailed = SessionOutcome::Failure(1);
    openingFailed.whileOpening = true;
    SessionOutcome handedOver;
    handedOver.kind = SessionOutcome::Kind::HandedOver;
    const std::pair<SessionOutcome, bool> cases[] = {
        {SessionOutcome::Finish(2), true},
        {SessionOutcome::Cancellation(), true},
        {SessionOutcome::Failure(1), true},
        {openingFailed, false},
        {handedOver, false},
        {SessionOutcome(), false},
    };
    for (const auto& [outcome, marked] : cases) EXPECT_EQ(EndsSessionAtService(outcome), marked);

    EXPECT_EQ(EndedSessionStatus("mark-1"), std::nullopt);
    ASSERT_TRUE(MarkSessionEnded("mark-1", 3));
    EXPECT_EQ(EndedSessionStatus("mark-1"), 3);
    EXPECT_EQ(EndedSessionStatus("mark-2"), std::nullopt);
    // A mark that is no status of a run is none.
    TempHome::WriteFile(SessionChannel::SocketPath("mark-2") + ".ended", "garbage\n");
    EXPECT_EQ(EndedSessionStatus("mark-2"), std::nullopt);
}

TEST(SessionChannelTest, SocketNamesComeFromTheSessionIdsHash)
{
    TempHome home;
    std::string path = SessionChannel::SocketPath("abc");
    EXPECT_EQ(path, (home.root() / "run").string() + "/nerolin-BA7816BF8F01CFEA414140DE5DAE2223");
    EXPECT_NE(SessionChannel::SocketPath("abd"), path);
}

}  // namespace
}  // namespace nerolin::test
