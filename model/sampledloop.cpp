#include "sampledloop.h"

#include "plant.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lodrix {

namespace {

constexpr double sensorTenfoldGain = 10.0 * sensorVoltsPerRadian; // as sensorVoltage takes it
constexpr double voltLimit = 10.0;

// Bounds of the search for a critical gain: far beyond any gain offered.
constexpr double criticalGainCeiling = 1e9;
constexpr double criticalGainTolerance = 1e-9;

bool samePeriod(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// Epu(kT), unrounded, from the error now and those and the commands of the
// two periods before, the latest first.
double correctorOutput(const FreeSettings &s, const SampledPlant &p, std::int32_t ep,
                       const double (&earlierEp)[2], const double (&earlierU)[2])
{
    switch (s.corrector) {
    case Corrector::Proportional:
        return s.gain * ep;
    case Corrector::PoleCompensation:
        return s.gain * (ep - p.a * earlierEp[0]);
    case Corrector::TwoStep: {
        const double r = p.b0 / p.b1;
        return -(0.5 + r) * earlierU[0] - 0.5 * r * earlierU[1] +
               (ep + (1.0 - p.a) * earlierEp[0] - p.a * earlierEp[1]) / (2.0 * p.b1);
    }
    }
    return 0.0;
}

bool unstable(Corrector corrector, const SampledPlant &plant, double g)
{
    const std::vector<double> c = characteristicPolynomial(corrector, plant, g);
    const std::vector<Complex> roots = polynomialRoots(c);
    return spectralRadius(roots) >= 1.0;
}

} // namespace

std::optional<std::string> settingsError(const FreeSettings &s, const Language &language)
{
    switch (s.corrector) {
    case Corrector::Proportional:
    case Corrector::PoleCompensation:
    case Corrector::TwoStep:
        break;
    default:
        return std::string(language.tr(
            "Correcteur inconnu : il doit être proportionnel, à compensation de pôle ou en deux coups."));
    }
    // Written so that a NaN fails too.
    if (!(s.gain >= minGain && s.gain <= maxGain))
        return language.format("Gain G=%1 refusé : il doit être compris entre %2 et %3.",
                               {number(s.gain), number(minGain), number(maxGain)});
    if (periodName(s.period).empty())
        return language.format(
            "Période T=%1 s refusée : elle doit valoir T1/4, T1/2, T1 ou 2T1 (0.025, 0.05, 0.1 ou 0.2 s).",
            {number(s.period)});
    if (s.step < minStep || s.step > maxStep)
        return language.format("Échelon E=%1 refusé : il doit être compris entre %2 et %3 codes.",
                               {std::to_string(s.step), std::to_string(minStep), std::to_string(maxStep)});
    return std::nullopt;
}

std::string periodName(double period)
{
    static constexpr const char *names[] = {"T1/4", "T1/2", "T1", "2T1"};
    for (std::size_t i = 0; i < periodChoices.size(); ++i)
        if (samePeriod(period, periodChoices[i]))
            return names[i];
    return {};
}

SampledPlant sampledPlant(double period)
{
    const double a = std::exp(-period / motorTimeConstant);
    const double settled = motorTimeConstant * (1.0 - a); // what the rate's lag costs the position over T
    return {a, period - settled, settled - a * period};
}

PlantState evolve(PlantState s, double u, double t)
{
    const double decay = std::exp(-t / motorTimeConstant);
    return {s.position + u * t + (s.rate - u) * motorTimeConstant * (1.0 - decay), u + (s.rate - u) * decay};
}

std::int32_t toCode(double value)
{
    const double limit = converterCodeLimit;
    return static_cast<std::int32_t>(std::lround(std::clamp(value, -limit, limit)));
}

std::vector<double> characteristicPolynomial(Corrector corrector, const SampledPlant &p, double g)
{
    switch (corrector) {
    case Corrector::Proportional:
        // (z - 1)(z - a) + G (b1 z + b0)
        return {1.0, g * p.b1 - 1.0 - p.a, p.a + g * p.b0};
    case Corrector::PoleCompensation: {
        // The compensated pole stays a pole of the loop, hidden from E to X.
        const double rest[] = {1.0, g * p.b1 - 1.0, g * p.b0};
        const double compensated[] = {1.0, -p.a};
        return multiplied(compensated, rest);
    }
    case Corrector::TwoStep:
        break;
    }
    return {};
}

std::vector<Complex> closedLoopPoles(const FreeSettings &s)
{
    const SampledPlant p = sampledPlant(s.period);
    if (s.corrector == Corrector::TwoStep) {
        // The loop's own (z + 1)/(2 z^2) gives the double pole at 0; the
        // corrector cancels the plant's pole at a and its zero at -b0/b1,
        // which stay as poles of the command: the ringing between samples.
        return {Complex(0.0), Complex(0.0), Complex(p.a), Complex(-p.b0 / p.b1)};
    }
    return polynomialRoots(characteristicPolynomial(s.corrector, p, s.gain));
}

std::optional<double> criticalGain(Corrector corrector, double period)
{
    if (corrector == Corrector::TwoStep)
        return std::nullopt;
    const SampledPlant p = sampledPlant(period);
    // Small gains are stable and the unstable gains run on from the critical
    // one: each stability condition on these polynomials is a bound on G.
    double lo = 0.0;
    double hi = 1.0;
    while (!unstable(corrector, p, hi)) {
        lo = hi;
        hi *= 2.0;
        if (hi > criticalGainCeiling)
            return std::nullopt;
    }
    while (hi - lo > criticalGainTolerance * hi) {
        const double mid = 0.5 * (lo + hi);
        (unstable(corrector, p, mid) ? hi : lo) = mid;
    }
    return 0.5 * (lo + hi);
}

SampledLoop::SampledLoop(const FreeSettings &settings)
    : settings_(settings), plant_(sampledPlant(settings.period)), poles_(closedLoopPoles(settings)),
      stable_(spectralRadius(poles_) < 1.0),
      criticalGain_(lodrix::criticalGain(settings.corrector, settings.period))
{
    // Before the step every sample was 0.
    double earlierEp[2] = {0.0, 0.0};
    double earlierU[2] = {0.0, 0.0};
    PlantState s;
    for (SamplePeriod &period : periods_) {
        period.start = s;
        period.X = toCode(s.position);
        period.Ep = settings_.step - period.X;
        period.wanted = correctorOutput(settings_, plant_, period.Ep, earlierEp, earlierU);
        period.Epu = toCode(period.wanted);
        period.saturated = std::abs(period.wanted) >= converterCodeLimit + 0.5;
        // The computer remembers the command it sent, not the one it wanted.
        earlierEp[1] = earlierEp[0];
        earlierEp[0] = period.Ep;
        earlierU[1] = earlierU[0];
        earlierU[0] = period.Epu;
        s = evolve(s, period.Epu, settings_.period);
    }
    end_ = s;
}

PlantState SampledLoop::atSample(int k) const
{
    if (k >= periodCount)
        return end_;
    return periods_[static_cast<std::size_t>(std::max(k, 0))].start;
}

double SampledLoop::tickTime(int n) const
{
    return (n + 1) * settings_.period / ticksPerPeriod;
}

PlantState SampledLoop::atTick(int n) const
{
    n = std::clamp(n, -1, endTick - 1);
    const int k = std::max(n, 0) / ticksPerPeriod;
    const SamplePeriod &p = periods_[static_cast<std::size_t>(k)];
    // Counted from the period's own start, so that the tick ending a window
    // lands on the sample whatever the rounding of (n + 1) T/40.
    const double tau = (n + 1 - ticksPerPeriod * k) * settings_.period / ticksPerPeriod;
    return evolve(p.start, p.Epu, tau);
}

void freeRunTick(ModelState &m, const SampledLoop &loop, int n)
{
    // The end tick repeats tick 319, which the run has always drawn.
    n = std::min(n, endTick - 1);
    const SamplePeriod &p = loop.periods()[static_cast<std::size_t>(periodOf(n) - 1)];
    m.E = loop.settings().step;
    m.Ep = p.Ep;
    m.Epu = p.Epu;
    // To 0.1 V as the lessons show it: the value row has room for no more.
    m.U1 = std::round(10.0 * p.Epu * voltsPerCode) / 10.0;
    m.U = m.U1;
    const PlantState s = loop.atTick(n);
    m.Omega1 = s.rate / codesPerRadian * motorTurnsPerArmTurn;
    m.theta = s.position / codesPerRadian;
    m.thetaAff = displayedAngle(m.theta);
    m.V = std::clamp(sensorVoltage(m.theta, sensorTenfoldGain, VoltStep::Hundredth), -voltLimit, voltLimit);
    m.X = toCode(s.position);
    m.thetaPrec = m.theta;
}

} // namespace lodrix
