#include "platform/ProcessHardening.h"

#include <cstdlib>
#include <cstring>

#include <windows.h>
#include <werapi.h>

// The value of the documented flag, which MinGW-w64's header lacks.
#ifndef WER_FAULT_REPORTING_FLAG_NOHEAP
#define WER_FAULT_REPORTING_FLAG_NOHEAP 1
#endif

namespace nerolin {

bool DisableCoreDumps()
{
#if defined(NEROLIN_KEEP_CORE_DUMPS)
    return false;
#else
    const char* keep = std::getenv("NEROLIN_CORE_DUMPS");
    if (keep != nullptr && std::strcmp(keep, "1") == 0) return false;
    // Windows Error Reporting writes the crash dumps here. Reports of this
    // process leave the heap out, where PINs and passwords live, and no
    // crash box waits for the user while the process holds them.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    return SUCCEEDED(::WerSetFlags(WER_FAULT_REPORTING_FLAG_NOHEAP));
#endif
}

}  // namespace nerolin
