#pragma once

namespace nerolin {

class SigningSession;

// The connection test of a "TEST" link, without any window: the whitelist,
// the configuration and its protocol version, with one message for the
// first step that fails. True when every step passed (the run then ends
// silently with status 0).
bool RunTestMode(SigningSession& session);

}  // namespace nerolin
