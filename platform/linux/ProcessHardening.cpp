#include "platform/ProcessHardening.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace nerolin {

bool TurnOffCoreDumps()
{
    // Not dumpable: no core file, whatever the limit or core_pattern says,
    // and no ptrace or /proc/PID/mem access by the user's other processes.
    // The zero limit covers what might make the process dumpable again.
    const rlimit none{0, 0};
    const bool limited = ::setrlimit(RLIMIT_CORE, &none) == 0;
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && limited;
}

}  // namespace nerolin
