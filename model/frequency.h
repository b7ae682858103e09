#pragma once
// The open loop in frequency: L(e^{jwT}) = C(e^{jwT}) B0P(e^{jwT}) along the
// unit circle, from w = 0.01/T to the Nyquist frequency pi/T, with its phase
// followed continuously along w, and the loop's stability margins.

#include "model/sampledloop.h"

#include <optional>
#include <vector>

namespace lodrix {

// L at the angular frequency w (rad/s): z = e^{jwT}.
Complex openLoopAt(const FreeSettings &settings, double w);

struct FrequencyPoint {
    double w = 0.0; // rad/s
    Complex value;  // L(e^{jwT})
    double magnitudeDb = 0.0;
    double phaseDeg = 0.0; // unwrapped along w from its value in (-180, 180] at the first point
};

// The margins; each is none where the curve has no such crossing in the
// range. The gain margin is read where arg L = -180 deg (mod 360) at wPhase,
// the crossing with the largest |L| (the one that sets the gain factor to
// instability); the phase margin, 180 + arg L in (-180, 180], where |L|
// first falls through 1, at wGain.
struct StabilityMargins {
    std::optional<double> gain;   // 1/|L(wPhase)|
    std::optional<double> gainDb; // 20 log10 of it
    std::optional<double> phase;  // degrees
    std::optional<double> wGain;  // rad/s where |L| = 1
    std::optional<double> wPhase; // rad/s where arg L = -180 deg
};

struct FrequencyResponse {
    std::vector<FrequencyPoint> points; // ascending w, logarithmically spaced
    double lowest = 0.0;                // 0.01/T
    double nyquist = 0.0;               // pi/T
    StabilityMargins margins;
};

// points: how many samples along w (at least 2).
FrequencyResponse frequencyResponse(const FreeSettings &settings, int points = 400);

} // namespace lodrix
