#pragma once

// Where the session channel of SessionChannel.h lives on this system: the
// name its owner listens on and the lock file that serialises claims. On
// Linux a socket in $XDG_RUNTIME_DIR (or a private folder of this user in
// /tmp); on Windows a named pipe, which QLocalServer makes under
// \\.\pipe\NAME and restricts to this user, with the lock file in the
// user's temporary folder.

#include <string>

namespace nerolin {

struct ChannelPlace {
    std::string listenName;  // empty when there is no place; refusal says why
    std::string lockPath;
    std::string refusal;
};

// digestHex: the session identifier's digest, in hex.
ChannelPlace ChannelPlaceOf(const std::string& digestHex);

}  // namespace nerolin
