#include "frequency.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lodrix {

namespace {

constexpr double lowestTimesT = 0.01;
constexpr double smallest = 1e-300; // under it |L| is taken as 0
constexpr int refineSteps = 60;     // bisections: far below a double's width of the interval

double decibels(double magnitude)
{
    return 20.0 * std::log10(std::max(magnitude, smallest));
}

double degrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

// The phase at w near a point of known unwrapped phase: the principal
// value of their ratio added to it, so that nothing jumps between them.
double phaseNear(Complex value, const FrequencyPoint &from)
{
    return from.phaseDeg + degrees(std::arg(value / from.value));
}

// An odd multiple of 180 between two phases, if any: where arg L = -180 (mod 360).
std::optional<double> oddMultipleBetween(double p, double q)
{
    const double lo = std::min(p, q);
    const double hi = std::max(p, q);
    const double k = std::ceil((lo - 180.0) / 360.0);
    const double level = 180.0 + 360.0 * k;
    if (level >= lo && level <= hi && lo != hi)
        return level;
    return std::nullopt;
}

} // namespace

Complex openLoopAt(const FreeSettings &settings, double w)
{
    return openLoopResponse(settings, std::polar(1.0, w * settings.period));
}

FrequencyResponse frequencyResponse(const FreeSettings &settings, int count)
{
    FrequencyResponse r;
    const double T = settings.period;
    r.lowest = lowestTimesT / T;
    r.nyquist = std::numbers::pi / T;
    count = std::max(count, 2);
    const double ratio = std::log(r.nyquist / r.lowest);
    r.points.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        // The last point just short of pi/T: L may vanish there, and its
        // phase would mean nothing.
        const double w =
            i + 1 == count ? r.nyquist * (1.0 - 1e-9) : r.lowest * std::exp(ratio * i / (count - 1));
        FrequencyPoint p{w, openLoopAt(settings, w), 0.0, 0.0};
        p.magnitudeDb = decibels(std::abs(p.value));
        p.phaseDeg = r.points.empty() ? degrees(std::arg(p.value)) : phaseNear(p.value, r.points.back());
        r.points.push_back(p);
    }

    // Each crossing refined by bisection between the two samples about it.
    const auto refine = [&](const FrequencyPoint &a, const FrequencyPoint &b, auto above) {
        double lo = a.w;
        double hi = b.w;
        const bool startAbove = above(a);
        for (int i = 0; i < refineSteps && hi - lo > 1e-15 * hi; ++i) {
            const double mid = std::sqrt(lo * hi);
            FrequencyPoint m{mid, openLoopAt(settings, mid), 0.0, 0.0};
            m.magnitudeDb = decibels(std::abs(m.value));
            m.phaseDeg = phaseNear(m.value, a);
            (above(m) == startAbove ? lo : hi) = mid;
        }
        return std::sqrt(lo * hi);
    };

    StabilityMargins &m = r.margins;
    double largest = 0.0;
    for (std::size_t i = 1; i < r.points.size(); ++i) {
        const FrequencyPoint &a = r.points[i - 1];
        const FrequencyPoint &b = r.points[i];
        if (!m.wGain && a.magnitudeDb >= 0.0 && b.magnitudeDb < 0.0) {
            const double w = refine(a, b, [](const FrequencyPoint &p) { return p.magnitudeDb >= 0.0; });
            m.wGain = w;
            double pm = phaseNear(openLoopAt(settings, w), a) + 180.0;
            pm = std::remainder(pm, 360.0);
            m.phase = pm <= -180.0 ? pm + 360.0 : pm;
        }
        if (const auto level = oddMultipleBetween(a.phaseDeg, b.phaseDeg)) {
            const double w = refine(a, b, [&](const FrequencyPoint &p) { return p.phaseDeg >= *level; });
            const double magnitude = std::abs(openLoopAt(settings, w));
            if (magnitude > largest) {
                largest = magnitude;
                m.wPhase = w;
            }
        }
    }
    // At pi/T, z = -1 and L is real: negative, the phase reaches -180 there
    // (mod 360) whether or not it crosses it.
    const Complex end = openLoopAt(settings, r.nyquist);
    if (end.real() < 0.0 && std::abs(end) > largest) {
        largest = std::abs(end);
        m.wPhase = r.nyquist;
    }
    if (m.wPhase && largest > smallest) {
        m.gain = 1.0 / largest;
        m.gainDb = decibels(*m.gain);
    } else {
        m.wPhase.reset();
    }
    return r;
}

} // namespace lodrix
