#include "providers/SigningResult.h"

namespace nerolin {
namespace {

std::uint8_t Code(SigningResult result)
{
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(result) & 0xFFu);
}

}  // namespace

const char* SigningResultText(SigningResult result)
{
    switch (Code(result)) {
    case 0: return "finished successfully";
    case 1: return "canceled";
    case 2: return "failed";
    case 3: return "failed (PIN incorrect)";
    case 4: return "failed (PIN locked)";
    case 5: return "unsupported";
    default: return "finished with unknown result";
    }
}

EntryType SigningResultEntryType(SigningResult result)
{
    switch (Code(result)) {
    case 0:
    case 1:
    case 5: return EntryType::Information;
    default: return EntryType::Error;
    }
}

void WriteSigningResultEntry(const std::string& operation, SigningResult result)
{
    WriteEventEntry(SigningResultEntryType(result), operation + " " + SigningResultText(result));
}

}  // namespace nerolin
