#include "app/main/ProgramInfo.h"

#include <cstdio>
#include <string_view>

#include "BuildConfig.h"

namespace nerolin {
namespace {

constexpr char kUsage[] =
    "usage: nerolin [LINK]\n"
    "       nerolin -Register | -Unregister | -SetProxyLocalMachine\n"
    "       nerolin --help | --version\n"
    "\n"
    "Runs the signing session of a yendo: link, as the desktop does when a web\n"
    "application opens one. Without a link it opens the main window, whose menu\n"
    "saves the event log and edits the proxy settings.\n"
    "\n"
    "  -Register              make this program the handler of yendo: links for this user\n"
    "  -Unregister            remove this user's handler entry\n"
    "  -SetProxyLocalMachine  edit the machine-wide proxy settings\n"
    "\n"
    "Only the first parameter counts; flags are case-sensitive. nerolin(1) has the details.\n";

}  // namespace

std::optional<int> AnswerInfoRequest(int argc, char** argv)
{
    if (argc < 2) return std::nullopt;
    const std::string_view first = argv[1];
    if (first == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first == "--version") {
        std::printf("nerolin %s\n", build::kVersion);
        std::printf("whitelist: %s%s\n", build::kWhitelistUrl, build::kDevelopmentBuild ? " (development build)" : "");
        std::printf("self-updater: %s\n", build::kUpdater ? "included" : "left out");
        return 0;
    }
    return std::nullopt;
}

}  // namespace nerolin
