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

    // Motor speed (rad/s) at page tick n.
    double at(int n) const;
};

// The grid the displayed sensor voltage is rounded up to.
enum class VoltStep { Tenth, Hundredth };

// How theta, V and X follow from the speed.
struct PositionRule {
    enum class Kind { Integrated, Fixed };
    Kind kind = Kind::Integrated;
    // Integrated: theta = thetaPrec + dt * Omega1 * 0.01, V rounded up on the
    // voltStep grid, X = trunc(ga * V) unless hasFixedX holds X instead.
    double dt = 0.0; // seconds per tick
    double ks = 0.0; // ten times the sensor gain (V/rad)
    VoltStep voltStep = VoltStep::Hundredth;
    double ga = 0.0; // converter factor (codes per volt)
    bool hasFixedX = false;
    // Fixed: the displayed values; theta is left unchanged. X also serves an
    // integrated rule with hasFixedX.
    double thetaAff = 0.0;
    double V = 0.0;
    std::int32_t X = 0;

    static constexpr PositionRule integrated(double dt, double ks, double ga,
                                             VoltStep step = VoltStep::Hundredth)
    {
        return {Kind::Integrated, dt, ks, step, ga, false, 0.0, 0.0, 0};
    }
    // The angle and voltage still move while the code is held.
    static constexpr PositionRule integratedHoldingX(double dt, double ks, std::int32_t x)
    {
        return {Kind::Integrated, dt, ks, VoltStep::Hundredth, 0.0, true, 0.0, 0.0, x};
    }
    static constexpr PositionRule fixed(double thetaAff, double v, std::int32_t x)
    {
        return {Kind::Fixed, 0.0, 0.0, VoltStep::Hundredth, 0.0, false, thetaAff, v, x};
    }
};

struct Segment {
    std::int32_t Ep = 0;
    std::int32_t Epu = 0;
    double U = 0.0; // loaded into both U1 and U
    SpeedLaw speed;
    PositionRule position;
};

// The quantisations of the value row: the angle and the voltage are rounded
// up, never to nearest; the code is truncated toward zero.
double displayedAngle(double theta);
double sensorVoltage(double theta, double ks, VoltStep step);
std::int32_t converterCode(double ga, double volts);

// Steps 2 to 6 of the model step at page tick n: command values, speed,
// angle, displayed angle, voltage and code. E and thetaPrec are the caller's.
void applySegment(ModelState &s, const Segment &segment, int n);

// The open-loop step response: E = Ep = Epu = 1000, U = 4.9 V, one segment;
// then thetaPrec := theta, as on the closed-loop pages.
void openLoopModelStep(ModelState &s, int n);

} // namespace lodrix
