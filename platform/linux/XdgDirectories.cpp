#include "platform/XdgDirectories.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace nerolin {
namespace {

std::string AbsoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return {};
    return value;
}

std::string OrHome(const char* name, const char* relative)
{
    std::string value = AbsoluteVariable(name);
    if (!value.empty()) return value;
    return HomeDirectory() + "/" + relative;
}

}  // namespace

std::string HomeDirectory()
{
    std::string home = AbsoluteVariable("HOME");
    if (!home.empty()) return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return "/";
}

std::string ConfigHome() { return OrHome("XDG_CONFIG_HOME", ".config"); }
std::string DataHome() { return OrHome("XDG_DATA_HOME", ".local/share"); }
std::string StateHome() { return OrHome("XDG_STATE_HOME", ".local/state"); }

static std::vector<std::string> DirectoryList(const char* name, std::vector<std::string> fallback)
{
    const char* value = std::getenv(name);
    std::string_view rest = value != nullptr ? value : "";
    std::vector<std::string> directories;
    while (!rest.empty()) {
        std::size_t colon = rest.find(':');
        std::string_view entry = rest.substr(0, colon);
        while (entry.size() > 1 && entry.back() == '/') entry.remove_suffix(1);
        if (!entry.empty() && entry.front() == '/') directories.emplace_back(entry);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return directories.empty() ? fallback : directories;
}

std::vector<std::string> DataDirectories()
{
    return DirectoryList("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"});
}
std::vector<std::string> ConfigDirectories() { return DirectoryList("XDG_CONFIG_DIRS", {"/etc/xdg"}); }
std::string FirstConfigDirectory() { return ConfigDirectories().front(); }

std::string RuntimeDirectory() { return AbsoluteVariable("XDG_RUNTIME_DIR"); }

bool MakeDirectories(const std::string& path, unsigned mode)
{
    if (path.empty()) return false;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace nerolin
