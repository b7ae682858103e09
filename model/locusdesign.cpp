#include "locusdesign.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace lodrix {

namespace {

// The search for the gain nearest a point: golden sections on log G, to a
// relative 1e-7.
constexpr double gainTolerance = 1e-7;
constexpr double goldenStep = 0.6180339887498949;

double distanceToPoles(const FreeSettings &s, double g, Complex z, Complex *nearest = nullptr)
{
    FreeSettings at = s;
    at.gain = g;
    double best = std::numeric_limits<double>::infinity();
    for (const Complex &p : closedLoopPoles(at)) {
        if (std::abs(p - z) < best) {
            best = std::abs(p - z);
            if (nearest)
                *nearest = p;
        }
    }
    return best;
}

// The stable gains of one period of the (T, G) plane, on a coarser scan of
// the circle than the loop's own: the view finds a column of them for every
// few pixels across, at each change of corrector.
constexpr int columnAngles = 96;

std::vector<GainInterval> stableColumn(const FreeSettings &s)
{
    return stableGains(s, columnAngles);
}

} // namespace

double designGain(double gain)
{
    const double g = std::clamp(gain, minGain, maxGain);
    const double scale = std::pow(10.0, 3 - std::floor(std::log10(g)));
    return std::clamp(std::round(g * scale) / scale, minGain, maxGain);
}

std::optional<PoleCharacter> poleCharacter(Complex z, double period)
{
    if (std::abs(z) == 0.0 || !(period > 0.0))
        return std::nullopt;
    const Complex s = std::log(z) / period;
    const double wn = std::abs(s);
    if (wn == 0.0)
        return PoleCharacter{1.0, 0.0};
    return PoleCharacter{-s.real() / wn, wn};
}

GainAtPoint gainNearestPoint(const FreeSettings &s, Complex z, double low, double high)
{
    low = std::max(low, minGain);
    high = std::min(high, maxGain);
    if (high < low)
        std::swap(low, high);
    // The distance is smooth between the locus's samples, with one minimum
    // there for a point near the branch: golden sections find it.
    double a = std::log(low);
    double b = std::log(high);
    double c = b - goldenStep * (b - a);
    double d = a + goldenStep * (b - a);
    double fc = distanceToPoles(s, std::exp(c), z);
    double fd = distanceToPoles(s, std::exp(d), z);
    while (b - a > gainTolerance) {
        if (fc < fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - goldenStep * (b - a);
            fc = distanceToPoles(s, std::exp(c), z);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + goldenStep * (b - a);
            fd = distanceToPoles(s, std::exp(d), z);
        }
    }
    GainAtPoint found{std::exp(0.5 * (a + b)), {}};
    distanceToPoles(s, found.gain, z, &found.pole);
    return found;
}

Complex poleNearest(const FreeSettings &s, Complex z)
{
    Complex pole;
    distanceToPoles(s, s.gain, z, &pole);
    return pole;
}

std::vector<std::pair<double, std::optional<double>>> criticalGainByPeriod(const FreeSettings &s)
{
    std::vector<std::pair<double, std::optional<double>>> gains;
    for (double period : periodChoices) {
        FreeSettings at = s;
        at.period = period;
        gains.emplace_back(period, criticalGain(at));
    }
    return gains;
}

PeriodGainRegion periodGainRegion(const FreeSettings &s, int columns)
{
    PeriodGainRegion region;
    columns = std::max(columns, 2);
    const double span = std::log(longestPeriod / shortestPeriod);
    for (int i = 0; i < columns; ++i) {
        FreeSettings at = s;
        at.period = shortestPeriod * std::exp(span * i / (columns - 1));
        region.periods.push_back(at.period);
        region.stable.push_back(hasGain(at.corrector) ? stableColumn(at) : std::vector<GainInterval>{});
    }
    return region;
}

double nearestOfferedPeriod(double period)
{
    return *std::min_element(periodChoices.begin(), periodChoices.end(), [&](double a, double b) {
        return std::abs(std::log(a / period)) < std::abs(std::log(b / period));
    });
}

} // namespace lodrix
