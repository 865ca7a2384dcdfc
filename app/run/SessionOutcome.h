#pragma once

// How the session of a window ended, as the window's status line tells the
// user and the process's exit status tells scripts: finished, failed (and
// why), canceled, or handed to the mobile application.

#include <string>

#include "session/LaunchRequest.h"
#include "session/SessionMessages.h"
#include "session/SessionResult.h"

namespace nerolin {

class SigningSession;

struct SessionOutcome {
    enum class Kind {
        Open,        // not ended: still running, or ready for the user
        Finished,    // the service accepted the signatures or the certificate
        Failed,      // why: reasonId
        Canceled,    // by the user, or by the service's CANCEL verdict
        HandedOver,  // the mobile application runs the session on
    };
    Kind kind = Kind::Open;
    int signedDocuments = 0;    // Finished: the documents signed here (0: the certificate only)
    bool onMobile = false;      // Finished on the mobile device
    bool warning = false;       // Finished with the service's WARNING verdict
    int reasonId = 0;           // Failed: string id of the reason, a phrase that ends a sentence
    bool whileOpening = false;  // Failed before the session could be shown

    static SessionOutcome Finish(int signedDocuments)
    {
        SessionOutcome outcome;
        outcome.kind = Kind::Finished;
        outcome.signedDocuments = signedDocuments;
        return outcome;
    }
    static SessionOutcome Failure(int reasonId)
    {
        SessionOutcome outcome;
        outcome.kind = Kind::Failed;
        outcome.reasonId = reasonId;
        return outcome;
    }
    static SessionOutcome Cancellation()
    {
        SessionOutcome outcome;
        outcome.kind = Kind::Canceled;
        return outcome;
    }
};

// The outcome of an exchange that failed with error and the service's
// result message: a CANCEL verdict is a cancellation, anything else a
// failure with the reason that fits the error.
SessionOutcome OutcomeOfSessionError(SessionError error, const ServerMessage& message);

// The outcome the service's verdict at the end of a run gives: "OK" and
// "WARNING" finish the session (the signatures are with the service).
SessionOutcome OutcomeOfVerdict(const ServerMessage& message, int signedDocuments);

// After the mobile-signing dialog: Open when the mobile application never
// took the session up (the service still waits for it to begin), else what
// the session's state says.
SessionOutcome OutcomeOfMobileSigning(const SigningSession& session, bool cancelled);

// The status line in the user's language; empty while Open. A failure is
// worded for the step it ended: opening the session, choosing the
// certificate (SELECT_CERTIFICATE) or signing.
std::string StatusText(const SessionOutcome& outcome, SessionMode mode);

}  // namespace nerolin
