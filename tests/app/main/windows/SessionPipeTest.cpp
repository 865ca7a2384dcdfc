// One owner per session on Windows: the session channel is a named pipe of
// this user, and a second claim of the same session reaches its owner there.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <functional>
#include <future>
#include <optional>

#include "platform/qt/SessionChannel.h"

namespace nerolin::test {
namespace {

// The owner serves its pipe on this thread's event loop while the other
// side waits on another thread.
template <typename Result>
Result ServeUntilDone(std::future<Result>& other)
{
    QElapsedTimer timer;
    timer.start();
    while (other.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return other.get();
}

TEST(SessionPipe, ASecondClaimRaisesTheOwnerAndAnotherSessionOwnsItsOwn)
{
    int raised = 0;
    SessionChannel owner("session-w1", [&](const RaiseRequest&) { ++raised; });
    ASSERT_EQ(owner.ClaimSession(), SessionChannel::Claim::Owner);
    EXPECT_EQ(SessionChannel::SocketPath("session-w1").rfind("nerolin-", 0), 0u);

    auto second = std::async(std::launch::async, [] {
        SessionChannel again("session-w1", nullptr);
        return again.ClaimSession();
    });
    EXPECT_EQ(ServeUntilDone(second), SessionChannel::Claim::RaisedOwner);
    EXPECT_EQ(raised, 1);

    auto other = std::async(std::launch::async, [] {
        SessionChannel another("session-w2", nullptr);
        return another.ClaimSession();
    });
    EXPECT_EQ(ServeUntilDone(other), SessionChannel::Claim::Owner);
    EXPECT_EQ(raised, 1);
}

TEST(SessionPipe, AClosedOwnersSessionCanBeClaimedAgain)
{
    {
        SessionChannel first("session-w3", nullptr);
        ASSERT_EQ(first.ClaimSession(), SessionChannel::Claim::Owner);
    }
    SessionChannel next("session-w3", nullptr);
    EXPECT_EQ(next.ClaimSession(), SessionChannel::Claim::Owner);
}

}  // namespace
}  // namespace nerolin::test

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
