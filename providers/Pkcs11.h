#pragma once

// The PKCS#11 interface as p11-kit publishes it, with the platform's native
// CK_ULONG, and the one way a failed module call is written to the event log.

#include <string>

#include <p11-kit-1/p11-kit/pkcs11.h>

#include "eventlog/EventLog.h"

namespace nerolin {

// "<call> return value: 0x%08X" with the value as eight upper-case
// hexadecimal digits (more when a module answers beyond 32 bits).
std::string ReturnValueText(const std::string& call, CK_RV value);
void WriteReturnValueEntry(EntryType type, const std::string& call, CK_RV value);

}  // namespace nerolin
