// Tests of app/ need one QApplication for the whole binary.
#include <cstdlib>
#include <string>

#include <QApplication>
#include <gtest/gtest.h>

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
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (base + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home, 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
