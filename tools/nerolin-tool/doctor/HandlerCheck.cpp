// Check 2: the handler of yendo: links (the desktop entry on Linux, the
// HKEY_CLASSES_ROOT\yendo tree on Windows), judged by the start-up's own
// registration check; --fix registers as "nerolin -Register" does and checks
// again.
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/UrlScheme.h"
#include "tools/nerolin-tool/doctor/Checks.h"
#include "tools/nerolin-tool/doctor/HandlerPlace.h"

namespace nerolin::tool::doctor {

CheckResult CheckHandler(bool fix)
{
    CheckResult check{"handler", strings::kDoctorCheckHandler};
    const std::string program = NerolinPath();
    if (program.empty()) {
        check.Add("program", "-", Verdict::Error);
        check.summary = LoadString(strings::kDoctorProgramMissing);
        return check;
    }
    check.Add("program", program);
    if (fix) {
        if (RegisterUrlScheme(program))
            check.Add("fix", "registered");
        else
            check.Add("fix", "failed", Verdict::Error, LoadString(strings::kDoctorNoteFixFailed));
    }

    const RegistrationCheck registration = CheckRegistration(program);
    if (registration.entryFound) AddRegistrationDetails(check, registration);
    for (const std::string& problem : registration.problems) check.Add("problem", problem, Verdict::Error);

    if (!registration.entryFound)
        check.summary = LoadString(strings::kDoctorHandlerMissing);
    else if (!registration.problems.empty())
        check.summary = LoadString(strings::kDoctorHandlerWrong);
    else if (check.verdict == Verdict::Error)
        check.summary = LoadString(strings::kDoctorNoteFixFailed);
    else
        check.summary = LoadString(strings::kDoctorHandlerOk);
    return check;
}

}  // namespace nerolin::tool::doctor
