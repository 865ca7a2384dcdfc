#include "platform/ProcessHardening.h"

#include <windows.h>
// werapi.h needs the types of windows.h.
#include <werapi.h>

// The value of the documented flag, which MinGW-w64's header lacks.
#ifndef WER_FAULT_REPORTING_FLAG_NOHEAP
#define WER_FAULT_REPORTING_FLAG_NOHEAP 1
#endif

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
