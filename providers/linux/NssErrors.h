#pragma once

// NSS failures as the event log and the user see them.

#include <string>

namespace nerolin {

// The error entry "<call> error: <code> (0x...)" with NSS's error number and,
// unless quiet, a message box with NSS's own text for it.
void ReportNssError(const std::string& call, int error, bool quiet = false);
// The same for the thread's current NSS error (PORT_GetError).
void ReportNssError(const std::string& call, bool quiet = false);

// NSS's own text for an error number; for the PIN errors a text of the
// string table.
std::string NssErrorText(int error);

}  // namespace nerolin
