// Check 1: this program's version and build, its whitelist URL and the
// built-in roots that the whitelist host must chain to.
#include <openssl/x509.h>

#include <ctime>

#include "BuildConfig.h"
#include "common/CertificateText.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "session/ServerTrust.h"
#include "session/Whitelist.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {
namespace {

// A root this close to its end is renewed by an update before users meet it.
constexpr int kWarningDays = 90;

std::string DayText(const ASN1_TIME* time)
{
    std::tm parts{};
    char text[16];
    if (!time || !ASN1_TIME_to_tm(time, &parts) || !std::strftime(text, sizeof text, "%Y-%m-%d", &parts)) return "?";
    return text;
}

}  // namespace

CheckResult CheckProgram()
{
    CheckResult check{"program", strings::kDoctorCheckProgram};
    check.Add("version", build::kVersion);
    check.Add("build", build::kDevelopmentBuild ? "development" : "release");
    check.Add("whitelistUrl", WhitelistBaseUrl());

    const std::time_t now = std::time(nullptr);
    const std::vector<X509Ptr>& roots = BuiltInRoots();
    if (roots.empty()) check.Add("root", "-", Verdict::Error, LoadString(strings::kDoctorRootsUnusable));
    for (const X509Ptr& root : roots) {
        const ASN1_TIME* end = X509_get0_notAfter(root.get());
        const std::string value = CertNameString(root.get(), CertNameType::Rdn, 0) + "; " + DayText(end);
        std::time_t soon = now + static_cast<std::time_t>(kWarningDays) * 24 * 60 * 60;
        if (X509_cmp_time(end, const_cast<std::time_t*>(&now)) <= 0)
            check.Add("root", value, Verdict::Error, LoadString(strings::kDoctorNoteExpired));
        else if (X509_cmp_time(end, &soon) <= 0)
            check.Add("root", value, Verdict::Warning, LoadString(strings::kDoctorNoteExpiresSoon));
        else
            check.Add("root", value, Verdict::Ok);
    }
    switch (check.verdict) {
    case Verdict::Ok:
        check.summary = FormatText(
            LoadString(build::kDevelopmentBuild ? strings::kDoctorProgramDevelopment : strings::kDoctorProgramRelease)
                .c_str(),
            build::kVersion);
        break;
    case Verdict::Warning: check.summary = LoadString(strings::kDoctorRootExpiresSoon); break;
    case Verdict::Error: check.summary = LoadString(strings::kDoctorRootsUnusable); break;
    }
    return check;
}

}  // namespace nerolin::tool::doctor
