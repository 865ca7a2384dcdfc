#include "providers/Pkcs11.h"

#include <cstdio>

namespace nerolin {

std::string ReturnValueText(const std::string& call, CK_RV value)
{
    char number[32];
    std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(value));
    return call + " return value: " + number;
}

void WriteReturnValueEntry(EntryType type, const std::string& call, CK_RV value)
{
    WriteEventEntry(type, ReturnValueText(call, value));
}

}  // namespace nerolin
