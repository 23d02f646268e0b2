#pragma once

// Processor time of the calling thread, so that other load on the machine
// counts for neither side of a comparison made on one thread.

#include <ctime>

namespace VostrelBench {

inline double threadSeconds()
{
    timespec now;
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

} // namespace VostrelBench
