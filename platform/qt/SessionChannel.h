#pragma once

// The one open window of a session. The first process that listens on the
// session's local socket owns the session; a later process with the same
// session identifier connects, asks the owner to show and raise its window,
// and ends. The request carries what the later start got from its launcher
// for the desktop to let a window come forward: a Wayland activation token
// and an X11 time of the user's action. The socket is
// $XDG_RUNTIME_DIR/nerolin-<first half of the SHA-256 of the id, in hex>, on
// Windows the named pipe nerolin-<the same> (ChannelPlace.h); a socket left
// behind by a dead process is reclaimed.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/qt/ChannelPlace.h"

class QLocalServer;

namespace nerolin {

// What a raise request carries; either may be empty (0).
struct RaiseRequest {
    std::string activationToken;  // xdg-activation token, printable ASCII without blanks
    std::uint32_t userTime = 0;   // X11 server time
};

class SessionChannel {
public:
    enum class Claim {
        Owner,        // this process listens now and owns the session
        RaisedOwner,  // another process owns it and was asked to raise its window
        Unavailable,  // no socket could be made; go on as if alone
    };

    // onRaise runs on the thread of the Qt event loop that serves the socket
    // (the user-interface thread) for every raise request.
    SessionChannel(std::string sessionId, std::function<void(const RaiseRequest&)> onRaise);
    ~SessionChannel();
    SessionChannel(const SessionChannel&) = delete;
    SessionChannel& operator=(const SessionChannel&) = delete;

    // Asks a running owner to raise its window, else becomes the owner.
    // Blocks for at most a few seconds.
    Claim ClaimSession(const RaiseRequest& request = {});

    // Only asks: true when an owner acknowledged the raise request.
    static bool AskOwnerToRaise(const std::string& sessionId, const RaiseRequest& request = {});

    // The request's line on the socket, and the line read back; nullopt for
    // a line that is no raise request.
    static std::string RequestLine(const RaiseRequest& request);
    static std::optional<RaiseRequest> ParseRequestLine(const std::string& line);

    // Empty when there is no folder to put it in: without $XDG_RUNTIME_DIR
    // the socket goes to /tmp/nerolin-<uid>, which is refused unless it is a
    // private folder of this user (platform/PrivateFolder.h); refusal then
    // says why.
    static std::string SocketPath(const std::string& sessionId, std::string* refusal = nullptr);

    // Where files about the session are kept beside its channel, as a path
    // without extension (the claim's lock adds ".lock"): beside the socket
    // on Linux, in the user's temporary folder on Windows, where the pipe
    // has no folder. Empty when there is no place.
    static std::string FileBase(const std::string& sessionId);

    // After a claim that found no folder for the socket: why, with the
    // folder's path ("/tmp/nerolin-1000 belongs to user 0"); empty otherwise.
    const std::string& FolderRefusal() const { return folderRefusal_; }

private:
    static ChannelPlace PlaceOf(const std::string& sessionId, std::string* refusal);
    enum class Answer { NoOwner, Raised, Busy };
    static Answer Ask(const std::string& sessionId, const RaiseRequest& request);

    std::string sessionId_;
    std::function<void(const RaiseRequest&)> onRaise_;
    std::unique_ptr<QLocalServer> server_;
    std::string folderRefusal_;
};

}  // namespace nerolin
