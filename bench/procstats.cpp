#include "procstats.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

namespace lodrix::bench {

std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t totalPages = 0;
    std::size_t residentPages = 0;
    statm >> totalPages >> residentPages;
    return residentPages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::size_t peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    constexpr std::size_t bytesPerKiB = 1024; // ru_maxrss is in KiB on Linux
    return static_cast<std::size_t>(usage.ru_maxrss) * bytesPerKiB;
}

std::size_t allocatedBytes()
{
    const struct mallinfo2 heap = mallinfo2();
    return heap.uordblks + heap.hblkhd;
}

} // namespace lodrix::bench
