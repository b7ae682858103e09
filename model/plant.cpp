#include "plant.h"

#include <cmath>

namespace lodrix {

namespace {

constexpr double reducerRatio = 0.01; // arm angle per motor angle

constexpr std::int32_t openLoopSetPoint = 1000; // code; the corrector is a gain of 1
constexpr Segment openLoopSegment{
    openLoopSetPoint,
    openLoopSetPoint,
    4.9, // V
    // 146 rad/s and 201 codes per volt rather than the nominal 147 and
    // 204.75: the lesson's numbers were worked out with these.
    SpeedLaw::rise(146.0, 60.01),
    PositionRule::integrated(0.00167, 33.3, 201.0, VoltStep::Tenth),
};

} // namespace

double SpeedLaw::at(int n) const
{
    switch (kind) {
    case Kind::Rise:
        return a * (1.0 - std::exp(-n / b));
    case Kind::Ramp:
        return a + b * (n - m);
    case Kind::Zero:
        break;
    }
    return 0.0;
}

// The products are written in the order the lesson computed them: several
// displayed values sit within a rounding error of a ceil boundary.
double displayedAngle(double theta)
{
    return 0.01 * std::ceil(100.0 * theta);
}

double sensorVoltage(double theta, double ks, VoltStep step)
{
    if (step == VoltStep::Tenth)
        return 0.1 * std::ceil(ks * theta);
    return 0.01 * std::ceil(10.0 * ks * theta);
}

std::int32_t converterCode(double ga, double volts)
{
    return static_cast<std::int32_t>(std::trunc(ga * volts));
}

void applySegment(ModelState &s, const Segment &segment, int n)
{
    s.Ep = segment.Ep;
    s.Epu = segment.Epu;
    s.U1 = segment.U;
    s.U = segment.U;
    s.Omega1 = segment.speed.at(n);

    const PositionRule &p = segment.position;
    if (p.kind == PositionRule::Kind::Fixed) {
        s.thetaAff = p.thetaAff;
        s.V = p.V;
        s.X = p.X;
        return;
    }
    // Rectangle rule with the speed of the current tick.
    s.theta = s.thetaPrec + p.dt * s.Omega1 * reducerRatio;
    s.thetaAff = displayedAngle(s.theta);
    s.V = sensorVoltage(s.theta, p.ks, p.voltStep);
    s.X = p.hasFixedX ? p.X : converterCode(p.ga, s.V);
}

void openLoopModelStep(ModelState &s, int n)
{
    s.E = openLoopSetPoint;
    applySegment(s, openLoopSegment, n);
    s.thetaPrec = s.theta;
}

} // namespace lodrix
