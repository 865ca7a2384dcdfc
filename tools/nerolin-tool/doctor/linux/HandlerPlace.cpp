#include "tools/nerolin-tool/doctor/HandlerPlace.h"

#include <unistd.h>

#include "platform/DesktopFile.h"

namespace nerolin::tool::doctor {

std::string NerolinPath()
{
    const std::string self = ProgramPath();
    const std::size_t slash = self.rfind('/');
    if (slash == std::string::npos) return {};
    const std::string path = self.substr(0, slash + 1) + "nerolin";
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

void AddRegistrationDetails(CheckResult& check, const RegistrationCheck& registration)
{
    check.Add("desktopEntry", registration.entryPath);
    if (const auto entry = DesktopFile::Read(registration.entryPath))
        if (const auto exec = entry->Value("Desktop Entry", "Exec")) check.Add("exec", *exec);
}

}  // namespace nerolin::tool::doctor
