#include "tools/nerolin-tool/doctor/DoctorReport.h"

#include <algorithm>

namespace nerolin::tool::doctor {

void CheckResult::Add(std::string item, std::string value, std::optional<Verdict> itemVerdict, std::string note)
{
    if (itemVerdict) Raise(*itemVerdict);
    details.push_back({std::move(item), std::move(value), itemVerdict, std::move(note)});
}

bool DoctorReport::Blocked() const
{
    return std::any_of(checks.begin(), checks.end(), [](const CheckResult& check) { return check.Blocks(); });
}

const char* VerdictKey(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Ok: return "ok";
    case Verdict::Warning: return "warning";
    case Verdict::Error: return "error";
    }
    return "error";
}

}  // namespace nerolin::tool::doctor
