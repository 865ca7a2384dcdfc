#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/Portable.h"

namespace nerolin::test {

// A fresh folder under the temporary folder ($TMPDIR, else /tmp; %TEMP% on
// Windows), removed with everything in it.
class TempFolder {
public:
    TempFolder() : path_(MakeUniqueFolder(std::filesystem::temp_directory_path(), "nerolin-"))
    {
        if (path_.empty()) std::abort();
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace nerolin::test
