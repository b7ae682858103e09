#include "stats.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace lodrix::bench {

double median(std::span<const double> samples)
{
    if (samples.empty())
        return 0.0;
    std::vector<double> v(samples.begin(), samples.end());
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2 == 1)
        return upper;
    const double lower = *std::max_element(v.begin(), v.begin() + std::ptrdiff_t(mid));
    return (lower + upper) / 2.0;
}

double percentile(std::span<const double> samples, double p)
{
    if (samples.empty())
        return 0.0;
    std::vector<double> v(samples.begin(), samples.end());
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<std::size_t>(rank, 1, v.size()) - 1];
}

} // namespace lodrix::bench
