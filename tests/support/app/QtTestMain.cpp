// Tests of app/ need one QApplication for the whole binary.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>

#include "platform/qt/QSettingsStore.h"
#include "platform/qt/ThreadHandoff.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LANGUAGE", "en", 1);
    // Settings and the event store go to a home of this run only.
    char home[] = "/tmp/nerolin-test-app-XXXXXX";
    if (mkdtemp(home) == nullptr) {
        return 2;
    }
    const std::string base = home;
    // Removed after everything else, the event store and settings included,
    // has written its last byte at exit.
    static std::string removeAtExit;
    removeAtExit = base;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(removeAtExit, ignored);
    });
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (base + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home, 1);
    QApplication app(argc, argv);
    nerolin::TakeOverQueuedCalls(app);
    nerolin::InstallQSettingsStore();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
