#include "app/SigningThread.h"

#include "app/WindowMessages.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"
#include "session/SigningSession.h"

namespace nerolin {

void LaunchThreadProc(const LaunchThreadParam& param)
{
    SigningSession& session = *param.session;
    bool configured = false;

    PostWindowMessage(param.window, UM_LAUNCH_PROGRESS, kLaunchStepBegins);
    const SessionError whitelist = session.DownloadWhitelist();
    PostWindowMessage(param.window, UM_LAUNCH_PROGRESS, kLaunchStepEnded);

    if (whitelist != SessionError::Ok) {
        Prompts().ShowMessage(LoadString(strings::kWhitelistDownloadFailed), MessageIcon::Error);
    } else {
        PostWindowMessage(param.window, UM_LAUNCH_PROGRESS, kLaunchStepBegins);
        const SessionError config = session.FetchConfig();
        PostWindowMessage(param.window, UM_LAUNCH_PROGRESS, kLaunchStepEnded);
        if (config != SessionError::Ok) {
            ShowSessionResult(config, session.serverMessage);
        }
        configured = config == SessionError::Ok;
    }
    PostWindowMessage(param.window, UM_LAUNCH_PROGRESS, kLaunchDone, configured ? 1 : 0);
    param.loading->store(false);
}

}  // namespace nerolin
