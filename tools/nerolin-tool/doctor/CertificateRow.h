#pragma once

// One certificate of the user's store in the tokens check, as both systems
// list it: its name, and with --filters whether the filter lets it through.

#include <string>

#include "common/Text.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {

// Adds the "certificate" detail; counts it in passing when the filter lets it
// through.
void AddCertificateRow(CheckResult& check, const std::string& value, const Bytes& der, const DoctorOptions& options,
                       bool checkValidity, int& passing);

}  // namespace nerolin::tool::doctor
