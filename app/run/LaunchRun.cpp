#include "app/run/LaunchRun.h"

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"
#include "session/SigningSession.h"

namespace nerolin {

bool RunLaunch(SigningSession& session, LaunchReporter& reporter)
{
    reporter.StepBegins();
    const SessionError whitelist = session.DownloadWhitelist();
    reporter.StepEnded();
    if (whitelist != SessionError::Ok) {
        Prompts().ShowMessage(LoadString(strings::kWhitelistDownloadFailed), MessageIcon::Error);
        return false;
    }
    reporter.StepBegins();
    const SessionError config = session.FetchConfig();
    reporter.StepEnded();
    if (config != SessionError::Ok) {
        ShowSessionResult(config, session.serverMessage);
        return false;
    }
    return true;
}

}  // namespace nerolin
