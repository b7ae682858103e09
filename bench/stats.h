#pragma once
// Order statistics of measured samples.

#include <span>

namespace lodrix::bench {

// The middle value; the mean of the two middle values of an even count.
// 0 for no samples.
double median(std::span<const double> samples);

// Nearest-rank percentile (0 < p <= 100): the smallest sample that at least
// p % of the samples do not exceed. 0 for no samples.
double percentile(std::span<const double> samples, double p);

} // namespace lodrix::bench
