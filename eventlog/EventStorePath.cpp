#include <filesystem>
#include <string>

#include "eventlog/EventLogReporter.h"
#include "platform/Files.h"
#include "platform/UserFolders.h"

namespace nerolin {

std::string DefaultEventStorePath() { return UserStateFolder() + "/Tavorel/Nerolin/eventlog.sqlite"; }

bool EventStoreCanBeKept(const std::string& path)
{
    // Tried, not judged from permission bits: a read-only file system
    // refuses root too.
    const std::filesystem::path store(path);
    std::error_code error;
    if (std::filesystem::exists(store, error) && !FileTakesWrites(path)) return false;
    // SQLite also makes its journal beside the store. A folder still to be
    // made is left to the store, which makes it private: the nearest one
    // there is must take files then.
    std::filesystem::path folder = store.parent_path();
    while (!folder.empty() && folder != folder.root_path() && !std::filesystem::exists(folder, error))
        folder = folder.parent_path();
    return FolderTakesNewFiles(folder.string());
}

}  // namespace nerolin
