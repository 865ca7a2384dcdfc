#include "platform/ProcessHardening.h"

#include <windows.h>

// MinGW-w64's werapi.h does not compile on its own (it lacks some of the
// types it uses), so the one call and its documented flag are declared here;
// kernel32 exports the call.
extern "C" HRESULT WINAPI WerSetFlags(DWORD flags);
constexpr DWORD WER_FAULT_REPORTING_FLAG_NOHEAP = 1;

namespace nerolin {

bool TurnOffCoreDumps()
{
    // Windows Error Reporting writes the crash dumps here. Reports of this
    // process leave the heap out, where PINs and passwords live, and no
    // crash box waits for the user while the process holds them.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    return SUCCEEDED(::WerSetFlags(WER_FAULT_REPORTING_FLAG_NOHEAP));
}

}  // namespace nerolin
