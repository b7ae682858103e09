#pragma once
// The plant and converter model: one step per tick turns the constants of a
// segment (command values, speed law, integration step, sensor and converter
// factors) into the motor speed, the arm angle, the sensor voltage and the
// code fed back. Not a simulator: the laws are closed forms of the page tick.

#include "modelstate.h"

#include <cstdint>

namespace lodrix {

struct SpeedLaw {
    enum class Kind { Rise, Ramp, Zero };
    Kind kind = Kind::Zero;
    double a = 0.0; // rise: final speed (rad/s); ramp: intercept (rad/s)
    double b = 0.0; // rise: time constant (ticks); ramp: slope (rad/s per tick)
    int m = 0;      // ramp: reference tick (the tick before the segment's first)

    static constexpr SpeedLaw rise(double finalSpeed, double tauTicks)
    {
        return {Kind::Rise, finalSpeed, tauTicks, 0};
    }
    static constexpr SpeedLaw ramp(double intercept, double slope, int reference)
    {
        return {Kind::Ramp, intercept, slope, reference};
    }
    static constexpr SpeedLaw zero() { return {}; }

    double at(int n) const;
};

// How theta, V and X follow from the speed.
struct PositionRule {
    enum class Kind { Integrated, Fixed };
    Kind kind = Kind::Integrated;
    // Integrated: theta = thetaPrec + dt * Omega1 * 0.01, V on a voltStep grid,
    // X = trunc(ga * V), or fixedX when it is set (>= 0 is never needed: use hasFixedX).
    double dt = 0.0;        // seconds per tick
    double ks = 0.0;        // ten times the sensor gain (V/rad)
    double voltStep = 0.01; // 0.1 or 0.01 V
    double ga = 0.0;        // converter factor (codes per volt)
    bool hasFixedX = false;
    // Fixed: the displayed values; theta is left unchanged.
    double thetaAff = 0.0;
    double V = 0.0;
    std::int32_t X = 0;
};

struct Segment {
    std::int32_t Ep = 0;
    std::int32_t Epu = 0;
    double U = 0.0; // loaded into both U1 and U
    SpeedLaw speed;
    PositionRule position;
};

// Steps 2 to 6 of the model step at page tick n: command values, speed,
// angle, displayed angle, voltage and code. E and thetaPrec are the caller's.
void applySegment(ModelState &s, const Segment &segment, int n);

// The open-loop step response: E = Ep = Epu = 1000, U = 4.9 V, one segment.
void openLoopModelStep(ModelState &s, int n);

} // namespace lodrix
