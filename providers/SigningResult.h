#pragma once

// The result of a provider operation, with the event-log text and type that
// the composite provider writes after SignHash and SignHashes.

#include <cstdint>
#include <string>

#include "eventlog/EventLog.h"

namespace nerolin {

// A provider may hand back a value outside the list (a third-party library's
// code, say); it is passed on unchanged and logged as unknown. Only the low
// byte is significant.
enum class SigningResult : std::uint32_t {
    Success = 0,
    Canceled = 1,  // the user closed a dialog or canceled the signing
    Failed = 2,
    PinIncorrect = 3,
    PinLocked = 4,
    Unsupported = 5,  // the operation is not implemented; the caller uses another (SignHashes only)
};

// "finished successfully", "canceled", "failed", "failed (PIN incorrect)",
// "failed (PIN locked)", "unsupported", or "finished with unknown result".
const char* SigningResultText(SigningResult result);

// Information for Success, Canceled and Unsupported; Error otherwise.
EntryType SigningResultEntryType(SigningResult result);

// The one entry the composite writes for every result of SignHash or
// SignHashes: the operation's name, a space and the result's text, with the
// result's entry type.
void WriteSigningResultEntry(const std::string& operation, SigningResult result);

}  // namespace nerolin
