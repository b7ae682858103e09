#pragma once
// Designing the loop on its pictures: the gain that puts a closed-loop pole
// at a point of the root locus, what a pole says of the response (its
// damping ratio and natural frequency, from z = e^(sT)), and how the gains
// that keep the loop stable change with the sampling period.

#include "model/sampledloop.h"

#include <optional>
#include <utility>
#include <vector>

namespace lodrix {

// A gain as the slider gives it: within minGain..maxGain, to four
// significant digits.
double designGain(double gain);

// The pole z of a loop sampled every `period` seconds as the continuous pole
// s = ln(z)/T it samples: its damping ratio zeta = -Re(s)/|s| and natural
// frequency wn = |s| (rad/s). None at z = 0, which no finite s gives.
struct PoleCharacter {
    double damping = 0.0;
    double naturalFrequency = 0.0;
};
std::optional<PoleCharacter> poleCharacter(Complex z, double period);

// The gain from low to high whose closed-loop poles come nearest z, and the
// pole that comes nearest there.
struct GainAtPoint {
    double gain = 0.0;
    Complex pole;
};
GainAtPoint gainNearestPoint(const FreeSettings &settings, Complex z, double low, double high);

// The closed-loop pole of these settings nearest z.
Complex poleNearest(const FreeSettings &settings, Complex z);

// The critical gain (criticalGain) at each offered period, the corrector's
// other settings as given: none where the loop has no gain or none puts a
// pole on the circle.
std::vector<std::pair<double, std::optional<double>>> criticalGainByPeriod(const FreeSettings &settings);

// The plane of the sampling period and the gain: the periods shown run from
// the shortest offered to the longest, evenly on a log scale.
constexpr double shortestPeriod = periodChoices.front();
constexpr double longestPeriod = periodChoices.back();

// The stable gains (as stableGains finds them, on a coarser scan) at `columns` periods evenly spread on a
// log scale from shortestPeriod to longestPeriod, both included.
struct PeriodGainRegion {
    std::vector<double> periods;
    std::vector<std::vector<GainInterval>> stable; // one a period
};
PeriodGainRegion periodGainRegion(const FreeSettings &settings, int columns);

// The offered period nearest `period` on a log scale.
double nearestOfferedPeriod(double period);

} // namespace lodrix
