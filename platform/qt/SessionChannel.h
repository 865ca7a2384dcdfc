#pragma once

// The one open window of a session. The first process that listens on the
// session's local socket owns the session; a later process with the same
// session identifier connects, asks the owner to show and raise its window,
// and ends. The socket is $XDG_RUNTIME_DIR/nerolin-<first half of the SHA-256 of
// the id, in hex>; a socket left behind by a dead process is reclaimed.

#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace nerolin {

class SessionChannel {
public:
    enum class Claim {
        Owner,        // this process listens now and owns the session
        RaisedOwner,  // another process owns it and was asked to raise its window
        Unavailable,  // no socket could be made; go on as if alone
    };

    // onRaise runs on the thread of the Qt event loop that serves the socket
    // (the user-interface thread) for every raise request.
    SessionChannel(std::string sessionId, std::function<void()> onRaise);
    ~SessionChannel();
    SessionChannel(const SessionChannel&) = delete;
    SessionChannel& operator=(const SessionChannel&) = delete;

    // Asks a running owner to raise its window, else becomes the owner.
    // Blocks for at most a few seconds.
    Claim ClaimSession();

    // Only asks: true when an owner acknowledged the raise request.
    static bool AskOwnerToRaise(const std::string& sessionId);

    // Empty when there is no folder to put it in: without $XDG_RUNTIME_DIR
    // the socket goes to /tmp/nerolin-<uid>, which is refused unless it is a
    // private folder of this user (platform/PrivateFolder.h); refusal then
    // says why.
    static std::string SocketPath(const std::string& sessionId, std::string* refusal = nullptr);

    // After a claim that found no folder for the socket: why, with the
    // folder's path ("/tmp/nerolin-1000 belongs to user 0"); empty otherwise.
    const std::string& FolderRefusal() const { return folderRefusal_; }

private:
    enum class Answer { NoOwner, Raised, Busy };
    static Answer Ask(const std::string& sessionId);

    std::string sessionId_;
    std::function<void()> onRaise_;
    std::unique_ptr<QLocalServer> server_;
    std::string folderRefusal_;
};

}  // namespace nerolin
