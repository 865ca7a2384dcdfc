#include "providers/linux/NssErrors.h"

#include <prerror.h>
#include <secerr.h>
#include <secport.h>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "eventlog/EventLog.h"

namespace nerolin {

std::string NssErrorText(int error)
{
    // NSS has its texts in English only; those of the PIN errors, which
    // every card user meets, come in the user's language.
    switch (error) {
    case SEC_ERROR_BAD_PASSWORD: return LoadString(strings::kTokenRefusedPin);
    case SEC_ERROR_LOCKED_PASSWORD: return LoadString(strings::kTokenPinLocked);
    case SEC_ERROR_TOKEN_NOT_LOGGED_IN: return LoadString(strings::kTokenNotLoggedIn);
    default: break;
    }
    const char* text = PR_ErrorToString(error, PR_LANGUAGE_I_DEFAULT);
    return text ? text : std::string();
}

void ReportNssError(const std::string& call, int error, bool quiet)
{
    ReportSystemError(call, static_cast<std::uint32_t>(error), quiet, NssErrorText(error));
}

void ReportNssError(const std::string& call, bool quiet) { ReportNssError(call, PORT_GetError(), quiet); }

}  // namespace nerolin
