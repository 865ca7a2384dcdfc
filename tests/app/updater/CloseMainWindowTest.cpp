// The updater's CloseMainWindow arriving while background work still uses
// the session: the window closes once that work is done.

#include <thread>

#include <gtest/gtest.h>

#include "app/updater/UpdateCalls.h"
#include "platform/Settings.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/SessionWindow.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

TEST(CloseMainWindow, WaitsForTheRunningWorkerThenCloses)
{
    TempHome home;
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    // Nothing but CloseMainWindow may close the window in this test.
    WriteUserSetting(setting::kAutomaticallyClose, 0);
    WriteUserSetting(setting::kSkipUpdateCheckOnEnd, 1);

    SessionWindow run(service, R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","pendingPolls":-1})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    run.ClickStart();
    ASSERT_TRUE(run.Window().IsSigningRunning());

    std::thread updaterThread(CloseMainWindow);
    updaterThread.join();
    // The request has reached the window once it waits for the worker.
    ASSERT_TRUE(ProcessEventsUntil([&] { return run.Window().IsClosePending(); }));
    EXPECT_TRUE(run.Window().isVisible());
    EXPECT_TRUE(run.Window().IsSigningRunning());

    ASSERT_TRUE(service.ReleaseHashes(run.Session().sessionId));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !run.Window().isVisible(); }));
    EXPECT_FALSE(run.Window().IsSigningRunning());
    EXPECT_TRUE(AllSignaturesVerified(run.Report()));
}

TEST(CloseMainWindow, WaitsForTheLaunchStepThenCloses)
{
    TempHome home;
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    SessionWindow run(service, R"({"faults":{"exchange":"config","kind":"stall","seconds":1}})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(ProcessEventsUntil([&] { return run.Window().IsLoading(); }));
    bool loadingAtClose = true;
    QObject::connect(&run.Window(), &QDialog::finished, [&] { loadingAtClose = run.Window().IsLoading(); });

    std::thread updaterThread(CloseMainWindow);
    updaterThread.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !run.Window().isVisible(); }));
    EXPECT_FALSE(loadingAtClose);
}

}  // namespace
}  // namespace nerolin::test
