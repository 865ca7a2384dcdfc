#pragma once

// A throw-away home for one test: a mkdtemp folder with HOME and the XDG
// variables pointing into it, removed again at the end.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace nerolin::test {

class TempHome {
public:
    TempHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "nerolin-test-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        std::filesystem::create_directories(root_ / "etc");
        std::filesystem::create_directories(root_ / "run");
        std::filesystem::permissions(root_ / "run", std::filesystem::perms::owner_all);
        Point("HOME", root_ / "home");
        Point("XDG_CONFIG_HOME", root_ / "home/.config");
        Point("XDG_DATA_HOME", root_ / "home/.local/share");
        Point("XDG_STATE_HOME", root_ / "home/.local/state");
        Point("XDG_CONFIG_DIRS", root_ / "etc");
        Point("XDG_DATA_DIRS", root_ / "usr/share");
        Point("XDG_RUNTIME_DIR", root_ / "run");
    }
    ~TempHome()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path UserSettings() const { return root_ / "home/.config/Tavorel/Nerolin.conf"; }
    std::filesystem::path MachineSettings() const { return root_ / "etc/Tavorel/Nerolin.conf"; }

    static void WriteFile(const std::filesystem::path& path, const std::string& text)
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }
    static std::string ReadFile(const std::filesystem::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    // Points a variable at a path below the root, creating the folder.
    void Point(const char* name, const std::filesystem::path& path)
    {
        std::filesystem::create_directories(path);
        setenv(name, path.c_str(), 1);
    }

private:
    std::filesystem::path root_;
};

}  // namespace nerolin::test
