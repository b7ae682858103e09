#pragma once
// Memory of this process, as the kernel counts it.

#include <cstddef>

namespace lodrix::bench {

constexpr double bytesPerMiB = 1024.0 * 1024.0;

// Pages resident now (/proc/self/statm), in bytes.
std::size_t residentBytes();
// The most ever resident (getrusage), in bytes.
std::size_t peakResidentBytes();
// What the C heap holds for the program now (mallinfo2), in bytes: memory
// that stays resident without being in use shows as the difference.
std::size_t allocatedBytes();

} // namespace lodrix::bench
