#include "tools/nerolin-tool/doctor/HandlerPlace.h"

#include <filesystem>
#include <system_error>

namespace nerolin::tool::doctor {

std::string NerolinPath()
{
    const std::string self = ProgramPath();
    const std::size_t separator = self.find_last_of("\\/");
    if (separator == std::string::npos) return {};
    const std::string path = self.substr(0, separator + 1) + "nerolin.exe";
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::u8path(path), error) ? path : std::string();
}

void AddRegistrationDetails(CheckResult& check, const RegistrationCheck& registration)
{
    check.Add("registryKey", registration.entryPath);
}

}  // namespace nerolin::tool::doctor
