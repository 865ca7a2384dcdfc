// The report for people: one line per check with its verdict, then its
// details indented, in the user's language.
#include <map>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "tools/nerolin-tool/doctor/DoctorReport.h"

namespace nerolin::tool::doctor {
namespace {

std::string VerdictWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Ok: return LoadString(strings::kDoctorVerdictOk);
    case Verdict::Warning: return LoadString(strings::kDoctorVerdictWarning);
    case Verdict::Error: return LoadString(strings::kDoctorVerdictError);
    }
    return {};
}

// The detail keys of the JSON shape, and their labels for people.
std::string ItemLabel(const std::string& item)
{
    static const std::map<std::string, int> kLabels = {
        {"version", strings::kDoctorItemVersion},
        {"build", strings::kDoctorItemBuild},
        {"whitelistUrl", strings::kDoctorItemWhitelistUrl},
        {"root", strings::kDoctorItemRoot},
        {"program", strings::kDoctorItemProgram},
        {"desktopEntry", strings::kDoctorItemDesktopEntry},
        {"exec", strings::kDoctorItemExec},
        {"problem", strings::kDoctorItemProblem},
        {"fix", strings::kDoctorItemFix},
        {"userFile", strings::kDoctorItemUserFile},
        {"machineFile", strings::kDoctorItemMachineFile},
        {"setting", strings::kDoctorItemSetting},
        {"unknownSetting", strings::kDoctorItemUnknownSetting},
        {"proxy", strings::kDoctorItemProxy},
        {"time", strings::kDoctorItemTime},
        {"hosts", strings::kDoctorItemHosts},
        {"logEntry", strings::kDoctorItemLogEntry},
        {"message", strings::kDoctorItemMessage},
        {"serviceHost", strings::kDoctorItemServiceHost},
        {"serviceTls", strings::kDoctorItemServiceTls},
        {"database", strings::kDoctorItemDatabase},
        {"module", strings::kDoctorItemModule},
        {"token", strings::kDoctorItemToken},
        {"certificate", strings::kDoctorItemCertificate},
        {"reader", strings::kDoctorItemReader},
        {"alternative", strings::kDoctorItemAlternative},
        {"path", strings::kDoctorItemPath},
        {"size", strings::kDoctorItemSize},
        {"entries", strings::kDoctorItemEntries},
        {"errorEntry", strings::kDoctorItemErrorEntry},
    };
    const auto found = kLabels.find(item);
    return found == kLabels.end() ? item : LoadString(found->second);
}

}  // namespace

std::string WriteText(const DoctorReport& report)
{
    std::string text = LoadString(strings::kDoctorHeading) + "\n";
    int number = 0;
    for (const CheckResult& check : report.checks) {
        text += "\n[" + VerdictWord(check.verdict) + "] " + std::to_string(++number) + ". " +
                LoadString(check.titleId) + ": " + check.summary + "\n";
        for (const Detail& detail : check.details) {
            text += "    " + ItemLabel(detail.item) + ": " + detail.value;
            if (detail.verdict && *detail.verdict != Verdict::Ok)
                text += " [" + VerdictWord(*detail.verdict) + (detail.note.empty() ? "" : ": " + detail.note) + "]";
            else if (!detail.note.empty())
                text += " (" + detail.note + ")";
            text += "\n";
        }
    }
    text +=
        "\n" + LoadString(report.Blocked() ? strings::kDoctorSomethingBlocks : strings::kDoctorNothingBlocks) + "\n";
    return text;
}

}  // namespace nerolin::tool::doctor
