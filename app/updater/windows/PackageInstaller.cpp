#include "app/updater/PackageInstaller.h"

namespace nerolin {

// The Windows build has no installer package yet: no download is taken for
// an installable update (the build leaves the updater out by default).
std::optional<std::string> DebianPackageVersion(const std::string&) { return std::nullopt; }

bool HandToInstaller(const std::string&, std::chrono::milliseconds) { return false; }

}  // namespace nerolin
