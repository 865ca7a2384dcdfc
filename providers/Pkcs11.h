#pragma once

// The PKCS#11 interface as p11-kit publishes it, with the platform's native
// CK_ULONG, and the one way this program calls a module: every call goes
// through Call, which checks the answer and writes a failure to the event log
// under the name the caller gives it ("C_Sign1", "PUBLIC KEY - C_FindObjects").

#include <cstddef>
#include <string>
#include <string_view>

#include <p11-kit-1/p11-kit/pkcs11.h>

#include "eventlog/EventLog.h"

namespace nerolin {

// How one module call is checked. CKR_OK, and `alsoSuccess` for the calls
// that have a second good answer, are no failure; any other answer is written
// as "<name> return value: 0x%08X", an entry of `type`. Without a name
// nothing is written: the caller reports in its own words, or the failure
// changes nothing.
struct CallCheck {
    std::string_view name;
    EntryType type = EntryType::Error;
    CK_RV alsoSuccess = CKR_OK;
};
inline constexpr CallCheck kUnlogged{};

// A length announced by the first call of a two-call read (sizes, then
// values) beyond what the caller accepts is refused before anything is
// allocated. Reads whose allocation failure the entries name report it as
// one ("malloc", with the message box); the others as a failed first call
// that answered CKR_ATTRIBUTE_VALUE_INVALID.
enum class TooLong { AsFirstCallFailure, AsOutOfMemory };

struct TwoCallChecks {
    CallCheck first;
    CallCheck second;
    TooLong tooLong = TooLong::AsFirstCallFailure;
};
inline constexpr TwoCallChecks kUnloggedTwoCalls{};

// "<call> return value: 0x%08X" with the value as eight upper-case
// hexadecimal digits (more when a module answers beyond 32 bits).
std::string ReturnValueText(std::string_view call, CK_RV value);

// Writes "<name> return value: 0x%08X" as check asks (nothing without a name).
void WriteCallFailure(const CallCheck& check, CK_RV value);

// Writes the entry of a failed answer; true when the answer is no failure.
bool CheckAnswer(const CallCheck& check, CK_RV value);

// Writes what a refused length means for the read (nothing without a name
// for its first call) and gives the answer the caller sees in its place:
// CKR_HOST_MEMORY or CKR_ATTRIBUTE_VALUE_INVALID.
CK_RV RefuseLength(const TwoCallChecks& checks);

// Makes one module call through its function list and checks the answer. A
// module that leaves an entry of its list empty does not have that function:
// the call is answered CKR_FUNCTION_NOT_SUPPORTED instead of jumping to null.
template <typename Function, typename... Arguments>
CK_RV Call(CK_FUNCTION_LIST* functions, Function CK_FUNCTION_LIST::*entry, const CallCheck& check,
           Arguments... arguments)
{
    const Function function = functions ? functions->*entry : nullptr;
    const CK_RV value = function ? function(arguments...) : CKR_FUNCTION_NOT_SUPPORTED;
    CheckAnswer(check, value);
    return value;
}

// "Blank padded" PKCS#11 texts (labels, descriptions) as they are, all bytes.
template <std::size_t N>
std::string FixedText(const unsigned char (&text)[N])
{
    return std::string(reinterpret_cast<const char*>(text), N);
}

}  // namespace nerolin
