#include "tools/nerolin-tool/doctor/CertificateRow.h"

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "filter/CertificateMatching.h"

namespace nerolin::tool::doctor {
namespace {

// The first reason the filter gives: the validity test, else the first
// criterion of the first criteria set.
std::string FirstFailure(const FilterVerdict& verdict)
{
    if (!verdict.validityFailure.empty()) return verdict.validityFailure;
    return verdict.failedCriteria.empty() ? std::string("?") : verdict.failedCriteria.front();
}

}  // namespace

void AddCertificateRow(CheckResult& check, const std::string& value, const Bytes& der, const DoctorOptions& options,
                       bool checkValidity, int& passing)
{
    if (!options.hasFilter) {
        check.Add("certificate", value);
        return;
    }
    const FilterVerdict verdict = ExplainFilter(checkValidity, options.filter, der.data(), der.size());
    if (verdict.passes) {
        ++passing;
        check.Add("certificate", value, Verdict::Ok, LoadString(strings::kDoctorNotePasses));
    } else {
        check.Add("certificate", value, std::nullopt,
                  FormatText(LoadString(strings::kDoctorNoteFails).c_str(), FirstFailure(verdict).c_str()));
    }
}

}  // namespace nerolin::tool::doctor
