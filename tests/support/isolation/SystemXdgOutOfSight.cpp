// Linked into every test and benchmark program: before main, the system-wide
// XDG folders are pointed at an empty folder of the build, so that what an
// installed package put into /usr/share or /etc/xdg (a desktop entry naming
// /usr/bin/nerolin, machine-wide settings) never reaches a test or a program
// it starts. A test that needs system-wide files points the variables at its
// own folders, as TempHome does.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

const bool kPointed = [] {
    const std::string root = std::string(NEROLIN_BINARY_DIR) + "/tests/no-system-xdg";
    std::error_code ignored;
    std::filesystem::create_directories(root + "/share", ignored);
    std::filesystem::create_directories(root + "/etc", ignored);
    setenv("XDG_DATA_DIRS", (root + "/share").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root + "/etc").c_str(), 1);
    return true;
}();

}  // namespace
