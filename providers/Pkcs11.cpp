#include "providers/Pkcs11.h"

#include <cstdio>

namespace nerolin {

std::string ReturnValueText(std::string_view call, CK_RV value)
{
    char number[32];
    std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(value));
    return std::string(call) + " return value: " + number;
}

void WriteCallFailure(const CallCheck& check, CK_RV value)
{
    if (!check.name.empty()) WriteEventEntry(check.type, ReturnValueText(check.name, value));
}

bool CheckAnswer(const CallCheck& check, CK_RV value)
{
    if (value == CKR_OK || value == check.alsoSuccess) return true;
    WriteCallFailure(check, value);
    return false;
}

CK_RV RefuseLength(const TwoCallChecks& checks)
{
    if (checks.tooLong == TooLong::AsOutOfMemory) {
        if (!checks.first.name.empty()) ReportSystemError("malloc", 8, false, "Not enough memory");
        return CKR_HOST_MEMORY;
    }
    WriteCallFailure(checks.first, CKR_ATTRIBUTE_VALUE_INVALID);
    return CKR_ATTRIBUTE_VALUE_INVALID;
}

}  // namespace nerolin
