#pragma once

// The folder a downloaded update waits in before it is handed over: private
// to the user (mode 0700 on Linux; on Windows the user's own cache folder,
// which only the user and the system may open).

#include <string>

namespace nerolin {

// Creates the folder and its missing parents; true when it exists afterwards.
bool MakeDownloadFolder(const std::string& path);

}  // namespace nerolin
