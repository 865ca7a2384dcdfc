// The order in which the program drives the updater in each situation, as
// the recorded sequence of calls.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QObject>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/main/Application.h"
#include "app/ui/MainWindow.h"
#include "app/updater/UpdateCalls.h"
#include "app/updater/UpdateLibrary.h"
#include "platform/Settings.h"
#include "session/SigningSession.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

std::string Name(UpdateCallback callback) { return callback == &CloseMainWindow ? "CloseMainWindow" : "other"; }

// Records each call; a check also records the "LastCheckTime" it finds, to
// show what was written before it.
class RecordingLibrary : public UpdateLibrary {
public:
    std::vector<std::string> calls;

    void SetRegistryPath(const std::string& path) override { calls.push_back("registry path " + path); }
    void SetAppcastUrl(const std::string& url) override { calls.push_back("appcast url " + url); }
    void SetShutdownRequestCallback(UpdateCallback c) override { calls.push_back("shutdown callback " + Name(c)); }
    void SetDidNotFindUpdateCallback(UpdateCallback c) override { calls.push_back("did-not-find callback " + Name(c)); }
    void SetUpdateCancelledCallback(UpdateCallback c) override { calls.push_back("cancelled callback " + Name(c)); }
    void SetAutomaticCheckForUpdates(int state) override { calls.push_back("automatic " + std::to_string(state)); }
    void CheckUpdateWithUi() override { calls.push_back("check with ui"); }
    void CheckUpdateWithoutUi() override
    {
        auto last = SettingsKey::OpenUser().ReadText(setting::kLastCheckTime, setting::kUpdateGroup);
        calls.push_back("check without ui, LastCheckTime " + last.value_or("absent"));
    }
    void Cleanup() override { calls.push_back("cleanup"); }
};

class UpdateCallsTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpdateLibrary(library); }
    void TearDown() override { SetUpdateLibrary(nullptr); }

    TempHome home;
    std::shared_ptr<RecordingLibrary> library = std::make_shared<RecordingLibrary>();
};

TEST_F(UpdateCallsTest, StartUpPassesThePathAndTheUsersFeedBeforeTheMachines)
{
    struct Case {
        std::string user, machine, expected;
    };
    const std::vector<Case> cases = {
        {"", "", ""},
        {"", "https://machine.example/appcast.xml", "https://machine.example/appcast.xml"},
        {"https://user.example/appcast.xml", "https://machine.example/appcast.xml", "https://user.example/appcast.xml"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(home.UserSettings());
        std::filesystem::remove(home.MachineSettings());
        if (!c.user.empty()) TempHome::WriteFile(home.UserSettings(), "[General]\nAppcastURL=" + c.user + "\n");
        if (!c.machine.empty())
            TempHome::WriteFile(home.MachineSettings(), "[General]\nAppcastURL=" + c.machine + "\n");
        library->calls.clear();
        ConfigureUpdates();
        EXPECT_EQ(library->calls, (std::vector<std::string>{"registry path Software\\Tavorel\\Nerolin\\WinSparkle",
                                                            "appcast url " + c.expected}))
            << "user " << c.user << ", machine " << c.machine;
    }
}

TEST_F(UpdateCallsTest, EachSituationCallsInItsOrder)
{
    CheckForUpdatesWithUi();
    EXPECT_EQ(library->calls, (std::vector<std::string>{"shutdown callback CloseMainWindow", "check with ui"}));

    library->calls.clear();
    CheckForUpdatesOnEnd(true);
    EXPECT_EQ(library->calls, (std::vector<std::string>{
                                  "automatic 1",
                                  "did-not-find callback CloseMainWindow",
                                  "cancelled callback CloseMainWindow",
                                  "shutdown callback CloseMainWindow",
                                  "check without ui, LastCheckTime 1",
                              }));

    std::filesystem::remove(home.UserSettings());
    library->calls.clear();
    CheckForUpdatesOnEnd(false);
    EXPECT_EQ(library->calls, (std::vector<std::string>{
                                  "automatic 1",
                                  "shutdown callback CloseMainWindow",
                                  "check without ui, LastCheckTime 1",
                              }));

    library->calls.clear();
    CleanupUpdates();
    EXPECT_EQ(library->calls, (std::vector<std::string>{"cleanup"}));
}

TEST_F(UpdateCallsTest, TheMenusUpdateCommandChecksWithUserInterface)
{
    SigningSession session;
    MainWindow window(&session);
    for (QAction* action : window.findChild<QToolButton*>("menuButton")->menu()->actions()) {
        if (action->text() == "&Update...") action->trigger();
    }
    EXPECT_EQ(library->calls, (std::vector<std::string>{"shutdown callback CloseMainWindow", "check with ui"}));
}

TEST_F(UpdateCallsTest, RunsWithoutTheMainWindowOnlyReleaseTheUpdater)
{
    // A maintenance flag, and a start that cannot show its window.
    for (const std::u16string& parameter : {std::u16string(u"-NoSuchFlag"), std::u16string()}) {
        library->calls.clear();
        std::vector<std::u16string> arguments;
        if (!parameter.empty()) arguments.push_back(parameter);
        EXPECT_EQ(Application([] { return false; }, library).Run(arguments), 1);
        EXPECT_EQ(library->calls, (std::vector<std::string>{"cleanup"}));
    }
}

TEST_F(UpdateCallsTest, CloseMainWindowFromAnotherThreadClosesOnTheWindowsThread)
{
    QObject window;
    std::atomic<int> closes{0};
    QThread* closedOn = nullptr;
    SetMainWindowCloser(&window, [&] {
        closedOn = QThread::currentThread();
        ++closes;
    });
    std::thread updaterThread(CloseMainWindow);
    updaterThread.join();
    QElapsedTimer timer;
    timer.start();
    while (closes == 0 && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(closedOn, window.thread());

    // A window that has gone is not called any more.
    ClearMainWindowCloser(&window);
    CloseMainWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace nerolin::test
