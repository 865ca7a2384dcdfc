// A second start of the same session: what it hands to the window's process
// over the session's socket, and which window comes forward there.

#include <atomic>
#include <optional>
#include <thread>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>

#include "app/ui/MainWindow.h"
#include "app/ui/WindowActivation.h"
#include "platform/qt/SessionChannel.h"
#include "session/SigningSession.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

TEST(SecondStart, TheRaiseRequestCarriesTheTokenAndTheUsersTimeToTheOwner)
{
    TempHome home;
    std::optional<RaiseRequest> received;
    SessionChannel owner("session-a", [&](const RaiseRequest& request) { received = request; });
    ASSERT_EQ(owner.ClaimSession(), SessionChannel::Claim::Owner);

    std::atomic<bool> answered{false};
    std::thread second([&] {
        answered = SessionChannel::AskOwnerToRaise("session-a", {"kwin-4242-1_TIME77", 123456});
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return received.has_value(); }));
    second.join();
    EXPECT_TRUE(answered);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->activationToken, "kwin-4242-1_TIME77");
    EXPECT_EQ(received->userTime, 123456u);
}

TEST(SecondStart, RequestLinesAreReadStrictly)
{
    struct Case {
        std::string line;
        bool valid;
        std::string token;
        std::uint32_t time;
    };
    const Case cases[] = {
        {"raise\n", true, "", 0},  // a start that hands over nothing
        {"raise 0 -\n", true, "", 0},
        {"raise 99 abc/DEF_1\n", true, "abc/DEF_1", 99},
        {"raise 4294967296 -\n", false, "", 0},  // beyond an X11 time
        {"raise -1 -\n", false, "", 0},
        {"raise 1 a b\n", false, "", 0},
        {"raise 1 a", false, "", 0},
        {"raised\n", false, "", 0},
        {"raise 1 " + std::string(401, 'x') + "\n", false, "", 0},
    };
    for (const Case& c : cases) {
        const auto request = SessionChannel::ParseRequestLine(c.line);
        EXPECT_EQ(request.has_value(), c.valid) << c.line;
        if (request && c.valid) {
            EXPECT_EQ(request->activationToken, c.token) << c.line;
            EXPECT_EQ(request->userTime, c.time) << c.line;
        }
    }
    // A token the line could not carry intact goes as none.
    EXPECT_EQ(SessionChannel::RequestLine({"two words", 5}), "raise 5 -\n");
    EXPECT_EQ(SessionChannel::RequestLine({"ok-token", 5}), "raise 5 ok-token\n");
}

TEST(SecondStart, TheTimeOfALaunchersStartupIdIsTheUsersTime)
{
    EXPECT_EQ(StartupIdTime("nautilus-123-host-xdg_open-0_TIME32514"), 32514u);
    EXPECT_EQ(StartupIdTime("_TIME1"), 1u);
    EXPECT_EQ(StartupIdTime("no-time-here"), std::nullopt);
    EXPECT_EQ(StartupIdTime("x_TIME"), std::nullopt);
    EXPECT_EQ(StartupIdTime("x_TIME12ab"), std::nullopt);
}

TEST(SecondStart, TheWindowTheUserMustAnswerComesForward)
{
    SigningSession session;
    MainWindow window(&session);
    ASSERT_TRUE(Activate(&window));

    // A dialog of the session open over the window: it comes forward, not
    // the main window under it.
    QDialog certificateChoice(&window);
    certificateChoice.setModal(true);
    certificateChoice.open();
    QWidget other;
    ASSERT_TRUE(Activate(&other));  // the user went to another window
    EXPECT_EQ(RaiseForUser(&window, {}), &certificateChoice);
    EXPECT_TRUE(ProcessEventsUntil([&] { return QApplication::activeWindow() == &certificateChoice; }));
    certificateChoice.reject();

    // Without one, the main window, restored when it was minimized.
    window.showMinimized();
    ASSERT_TRUE(Activate(&other));
    EXPECT_EQ(RaiseForUser(&window, {}), &window);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(ProcessEventsUntil([&] { return QApplication::activeWindow() == &window; }));
}

}  // namespace
}  // namespace nerolin::test
