#pragma once

// What the handler check reads from the system: the program that must handle
// yendo: links, and the details of the registration found.

#include <string>

#include "platform/UrlScheme.h"
#include "tools/nerolin-tool/doctor/DoctorReport.h"

namespace nerolin::tool::doctor {

// nerolin, installed next to this tool; empty when it is not there.
std::string NerolinPath();

// Linux: the desktop entry and its Exec line; Windows: the key and its command.
void AddRegistrationDetails(CheckResult& check, const RegistrationCheck& registration);

}  // namespace nerolin::tool::doctor
