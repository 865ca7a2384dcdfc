#include "providers/NssErrors.h"

#include <prerror.h>
#include <secport.h>

#include "eventlog/EventLog.h"

namespace nerolin {

std::string NssErrorText(int error)
{
    const char* text = PR_ErrorToString(error, PR_LANGUAGE_I_DEFAULT);
    return text ? text : std::string();
}

void ReportNssError(const std::string& call, int error, bool quiet)
{
    ReportSystemError(call, static_cast<std::uint32_t>(error), quiet, NssErrorText(error));
}

void ReportNssError(const std::string& call, bool quiet) { ReportNssError(call, PORT_GetError(), quiet); }

}  // namespace nerolin
