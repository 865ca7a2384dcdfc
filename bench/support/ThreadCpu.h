#pragma once

#include <time.h>

namespace nerolin::bench {

// Processor time of the calling thread, in seconds: what a step costs its
// caller, whatever else the machine (or another thread of the process) does
// meanwhile.
inline double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace nerolin::bench
