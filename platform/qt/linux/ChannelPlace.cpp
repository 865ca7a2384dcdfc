#include "platform/qt/ChannelPlace.h"

#include <unistd.h>

#include "platform/PrivateFolder.h"
#include "platform/XdgDirectories.h"

namespace nerolin {
namespace {

// Empty, with the reason in refusal, when there is no folder to use.
std::string ChannelDirectory(std::string& refusal)
{
    std::string runtime = RuntimeDirectory();
    if (!runtime.empty()) return runtime;
    // Without a runtime folder: a private folder of this user in /tmp.
    std::string fallback = "/tmp/nerolin-" + std::to_string(geteuid());
    if (MakePrivateFolder(fallback, refusal)) return fallback;
    refusal = fallback + " " + refusal;
    return {};
}

}  // namespace

ChannelPlace ChannelPlaceOf(const std::string& digestHex)
{
    ChannelPlace place;
    const std::string directory = ChannelDirectory(place.refusal);
    if (directory.empty()) return place;
    place.listenName = directory + "/nerolin-" + digestHex;
    place.lockPath = place.listenName + ".lock";
    return place;
}

}  // namespace nerolin
