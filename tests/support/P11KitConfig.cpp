#include "tests/support/P11KitConfig.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

// Where Debian's p11-kit looks for the machine's configuration.
constexpr const char* kMachineModules = "/usr/share/p11-kit/modules";
constexpr const char* kMachineConfig = "/etc/pkcs11";

bool WriteModules(const fs::path& folder, const std::vector<std::pair<std::string, std::string>>& modules)
{
    std::error_code error;
    fs::create_directories(folder, error);
    bool written = !error;
    for (const auto& [name, library] : modules) {
        std::ofstream file(folder / (name + ".module"));
        file << "module: " << library << "\n";
        written = written && file.good();
    }
    return written;
}

std::string Failed(const char* call) { return std::string(call) + ": " + std::strerror(errno); }

}  // namespace

std::string UsePrivateP11KitConfig(const std::string& folder,
                                   const std::vector<std::pair<std::string, std::string>>& modules)
{
    if (geteuid() != 0) {
        const char* home = std::getenv("XDG_CONFIG_HOME");
        if (!home || !*home) return "XDG_CONFIG_HOME is not set";
        const fs::path user = fs::path(home) / "pkcs11" / "modules";
        if (!WriteModules(user, modules)) return "cannot write " + user.string();
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(kMachineModules, error)) {
            if (entry.path().extension() != ".module" || fs::exists(user / entry.path().filename())) continue;
            std::ofstream(user / entry.path().filename()) << "disable-in: p11-kit-proxy\n";
        }
        return {};
    }
    const fs::path own = fs::path(folder) / "modules";
    const fs::path empty = fs::path(folder) / "empty";
    std::error_code error;
    fs::create_directories(empty, error);
    if (!WriteModules(own, modules)) return "cannot write " + own.string();
    if (unshare(CLONE_NEWNS) != 0) return Failed("unshare");
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return Failed("mount --make-rprivate /");
    if (fs::is_directory(kMachineModules, error) && mount(own.c_str(), kMachineModules, nullptr, MS_BIND, nullptr) != 0)
        return Failed("mount --bind");
    if (fs::is_directory(kMachineConfig, error) && mount(empty.c_str(), kMachineConfig, nullptr, MS_BIND, nullptr) != 0)
        return Failed("mount --bind");
    return {};
}

}  // namespace nerolin::test
