#include "platform/ProcessHardening.h"

#include <cstdlib>
#include <cstring>

namespace nerolin {

bool DisableCoreDumps()
{
#if defined(NEROLIN_KEEP_CORE_DUMPS)
    return false;
#else
    const char* keep = std::getenv("NEROLIN_CORE_DUMPS");
    if (keep != nullptr && std::strcmp(keep, "1") == 0) return false;
    return TurnOffCoreDumps();
#endif
}

}  // namespace nerolin
