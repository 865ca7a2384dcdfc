#pragma once

// Sessions whose window has closed after the service learnt their end. A
// start that arrives just after (a link clicked again, a browser that opens
// it twice) would otherwise open a second window, fetch a configuration the
// service now refuses, and stay with that error until the user closes it.
// The owner leaves a mark beside the session's socket before it lets the
// socket go; a later start that finds the mark ends quietly with the status
// of the run that ended the session.
//
// Only a session the service knows to be over is marked: finished, canceled
// (the cancel message was sent), or failed after it was shown (the worker
// sent the cancel message). A session that could not be opened (no
// whitelist, no network, a refused configuration) is left unmarked, so that
// starting its link again tries again.

#include <optional>
#include <string>

#include "app/run/SessionOutcome.h"

namespace nerolin {

// Whether the service has learnt the end of a session with this outcome.
bool EndsSessionAtService(const SessionOutcome& outcome);

// Leaves the mark with the exit status of the run; false when it could not
// be written (no folder for the session's socket, a full disk).
bool MarkSessionEnded(const std::string& sessionId, int exitStatus);

// The exit status the run that ended the session had, or nullopt when the
// session carries no mark.
std::optional<int> EndedSessionStatus(const std::string& sessionId);

}  // namespace nerolin
