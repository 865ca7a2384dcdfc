// Check 2: the desktop entry that opens yendo: links, judged by the
// start-up's own registration check; --fix registers as "nerolin -Register"
// does and checks again.
#include <unistd.h>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/DesktopEntry.h"
#include "platform/DesktopFile.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {
namespace {

// The program the handler must run: nerolin, installed next to this tool.
std::string NerolinPath()
{
    const std::string self = ProgramPath();
    const std::size_t slash = self.rfind('/');
    if (slash == std::string::npos) return {};
    const std::string path = self.substr(0, slash + 1) + "nerolin";
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

}  // namespace

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
    if (registration.entryFound) {
        check.Add("desktopEntry", registration.entryPath);
        if (const auto entry = DesktopFile::Read(registration.entryPath))
            if (const auto exec = entry->Value("Desktop Entry", "Exec")) check.Add("exec", *exec);
    }
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
