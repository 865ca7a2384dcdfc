#include "app/updater/DownloadFolder.h"

#include "platform/XdgDirectories.h"

namespace nerolin {

bool MakeDownloadFolder(const std::string& path) { return MakeDirectories(path, 0700); }

}  // namespace nerolin
