#pragma once

// The doctor's seven checks, one file each, in the order they run and print.

#include <string>

#include "filter/CertificateFilter.h"
#include "tools/nerolin-tool/doctor/DoctorReport.h"
#include "tools/nerolin-tool/doctor/QuietPrompts.h"

namespace nerolin::tool::doctor {

struct DoctorOptions {
    std::string serviceUrl;    // --service-url: the host to look up and connect to
    bool hasFilter = false;    // --filters given
    CertificateFilter filter;  // read from --filters
    bool fix = false;          // --fix: register the yendo: handler first
};

// The prompts installed for the whole run; the network check reports the
// messages a signing run would have shown.
QuietPrompts& DoctorPrompts();

CheckResult CheckProgram();
CheckResult CheckHandler(bool fix);
CheckResult CheckSettings();
CheckResult CheckNetwork(const DoctorOptions& options);
CheckResult CheckTokens(const DoctorOptions& options);
CheckResult CheckCards();
CheckResult CheckEventStore();

}  // namespace nerolin::tool::doctor
