#pragma once

// The system's own text for a Windows error code (GetLastError, an HRESULT,
// a SECURITY_STATUS), as the message boxes of failed calls show it.

#include <cstdint>
#include <string>

namespace nerolin {

// UTF-8, without the line break the system ends it with; "error <code>" when
// the system has no text for the code.
std::string SystemErrorText(std::uint32_t code);

}  // namespace nerolin
