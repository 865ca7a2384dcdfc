#include "app/updater/DownloadFolder.h"

#include <filesystem>
#include <system_error>

namespace nerolin {

bool MakeDownloadFolder(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::u8path(path);
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

}  // namespace nerolin
