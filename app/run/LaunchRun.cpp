#include "app/run/LaunchRun.h"

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"
#include "session/SigningSession.h"

namespace nerolin {
namespace {

SessionOutcome Opening(SessionOutcome outcome)
{
    outcome.whileOpening = true;
    return outcome;
}

}  // namespace

SessionOutcome RunLaunch(SigningSession& session, LaunchReporter& reporter)
{
    reporter.StepBegins();
    const SessionError whitelist = session.DownloadWhitelist();
    reporter.StepEnded();
    if (whitelist == SessionError::BadUrl) {
        // The link's own session address cannot be read: "Bad URL!", not the
        // whitelist's message, which would send the user after the network.
        ShowSessionResult(whitelist, session.serverMessage);
        return Opening(SessionOutcome::Failure(strings::kReasonBadSessionUrl));
    }
    if (whitelist != SessionError::Ok) {
        Prompts().ShowMessage(LoadString(strings::kWhitelistDownloadFailed), MessageIcon::Error);
        return Opening(SessionOutcome::Failure(strings::kReasonNoWhitelist));
    }
    reporter.StepBegins();
    const SessionError config = session.FetchConfig();
    reporter.StepEnded();
    if (config != SessionError::Ok) {
        ShowSessionResult(config, session.serverMessage);
        return Opening(OutcomeOfSessionError(config, session.serverMessage));
    }
    return {};
}

}  // namespace nerolin
