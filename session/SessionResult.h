#pragma once

// The outcome of every session operation, and how an outcome reaches the
// user as one message box.

#include <string>

#include "common/UserPrompts.h"
#include "session/SessionMessages.h"

namespace nerolin {

// A plain integer on the wire between modules: callers may hold any value,
// and ShowSessionResult ignores values outside 0..9.
enum class SessionError : int {
    Ok = 0,
    BadUrl = 1,                    // the URL could not be parsed
    InvalidServiceType = 2,        // the URL is not HTTPS
    ServerNotAllowed = 3,          // the service host is not on the whitelist
    WhitelistConnectionError = 4,  // the whitelist download failed after the URL checks
    ConnectionError = 5,           // a service exchange failed after the whitelist check
    InvalidStatusCode = 6,         // the HTTP status is not one the operation accepts
    BadResponse = 7,               // the answer document was rejected
    ServiceError = 8,              // the service answered 420; its result message is in serverMessage
    QRCodeError = 9,               // the QR code could not be made
};

// One message box through Prompts(): a fixed text for 1..7 and 9; for 0 and
// 8 the text and icon follow msg.code, followed by the service's message
// text when there is one. Anything outside 0..9 shows nothing.
void ShowSessionResult(int error, const ServerMessage& msg);
void ShowSessionResult(SessionError error, const ServerMessage& msg);

// The text and icon ShowSessionResult would show; false when it shows nothing.
bool SessionResultText(int error, const ServerMessage& msg, std::string& text, MessageIcon& icon);

}  // namespace nerolin
