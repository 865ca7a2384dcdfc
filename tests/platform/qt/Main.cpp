// The tests of this program read and write real settings files.
#include <gtest/gtest.h>

#include "platform/qt/QSettingsStore.h"

int main(int argc, char** argv)
{
    nerolin::InstallQSettingsStore();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
