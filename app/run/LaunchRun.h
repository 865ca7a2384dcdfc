#pragma once

// The launch step of a window that opens with a launch request: the
// whitelist, then the session's configuration. It runs off the
// user-interface thread and says when a network step begins and ends, so
// the window can show that it is busy.

#include "app/run/SessionOutcome.h"

namespace nerolin {

class SigningSession;

class LaunchReporter {
public:
    virtual ~LaunchReporter() = default;
    virtual void StepBegins() = 0;  // an exchange starts
    virtual void StepEnded() = 0;   // it has ended
};

// Downloads the whitelist and fetches the configuration, with one message
// for the step that fails. Open when the configuration may be shown, else
// the failure (or the service's cancellation) that ended the session.
SessionOutcome RunLaunch(SigningSession& session, LaunchReporter& reporter);

}  // namespace nerolin
