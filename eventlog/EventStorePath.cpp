#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "eventlog/EventLogReporter.h"

namespace nerolin {

namespace {

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->pw_dir;
    }
    return "/tmp";
}

}  // namespace

std::string DefaultEventStorePath()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string folder = state != nullptr && state[0] == '/' ? state : HomeFolder() + "/.local/state";
    return folder + "/Tavorel/Nerolin/eventlog.sqlite";
}

}  // namespace nerolin
