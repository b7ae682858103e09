#pragma once
// Measured times and their order statistics.

#include <chrono>
#include <span>

namespace lodrix::bench {

// Every time is taken on CLOCK_MONOTONIC, which a parent and its child share.
using Clock = std::chrono::steady_clock;

inline double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The middle value; the mean of the two middle values of an even count.
// 0 for no samples.
double median(std::span<const double> samples);

// Nearest-rank percentile (0 < p <= 100): the smallest sample that at least
// p % of the samples do not exceed. 0 for no samples.
double percentile(std::span<const double> samples, double p);

} // namespace lodrix::bench
