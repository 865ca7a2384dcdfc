#include "app/run/TestModeRun.h"

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"
#include "session/SigningSession.h"

namespace nerolin {

bool RunTestMode(SigningSession& session)
{
    const SessionError whitelist = session.DownloadWhitelist();
    if (whitelist == SessionError::BadUrl) {
        ShowSessionResult(whitelist, session.serverMessage);  // the link's session address, as in a window
        return false;
    }
    if (whitelist != SessionError::Ok) {
        Prompts().ShowMessage(LoadString(strings::kWhitelistDownloadFailed), MessageIcon::Error);
        return false;
    }
    if (session.FetchConfig() != SessionError::Ok) {
        // Only the service's own result message decides the text: a failed
        // exchange without one shows "Unknown error!".
        ShowSessionResult(SessionError::Ok, session.serverMessage);
        return false;
    }
    if (!IsSupportedProtocolVersion(session.version)) {
        Prompts().ShowMessage(LoadString(strings::kUnsupportedProtocolVersion), MessageIcon::Error);
        return false;
    }
    return true;
}

}  // namespace nerolin
