#include "sampledloop.h"

#include "plant.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <span>

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

std::vector<Complex> polesAt(Corrector corrector, const SampledPlant &plant, double g)
{
    return polynomialRoots(characteristicPolynomial(corrector, plant, g));
}

bool unstable(Corrector corrector, const SampledPlant &plant, double g)
{
    return spectralRadius(polesAt(corrector, plant, g)) >= 1.0;
}

int polesOutside(std::span<const Complex> poles)
{
    return int(std::count_if(poles.begin(), poles.end(), [](Complex z) { return std::abs(z) >= 1.0; }));
}

// The locus is drawn from this many gains a decade, evenly in log G.
constexpr int locusGainsPerDecade = 100;
// A pole counts as on the circle at a crossing gain within this distance.
constexpr double onCircleTolerance = 1e-6;

// `next` reordered so that each pole follows on from the one of the same
// branch in `previous`: the order with the least total move (three poles at
// the most, so six orders to try).
std::vector<Complex> following(const std::vector<Complex> &previous, std::vector<Complex> next)
{
    if (previous.size() != next.size())
        return next;
    std::vector<std::size_t> order(next.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::size_t> best = order;
    double bestMove = std::numeric_limits<double>::infinity();
    do {
        double move = 0.0;
        for (std::size_t i = 0; i < order.size(); ++i)
            move += std::abs(next[order[i]] - previous[i]);
        if (move < bestMove) {
            bestMove = move;
            best = order;
        }
    } while (std::next_permutation(order.begin(), order.end()));
    std::vector<Complex> ordered;
    for (std::size_t i : best)
        ordered.push_back(next[i]);
    return ordered;
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
    if (s.load < -maxLoad || s.load > maxLoad)
        return language.format("Charge D=%1 refusée : elle doit être comprise entre %2 et %3 codes.",
                               {std::to_string(s.load), std::to_string(-maxLoad), std::to_string(maxLoad)});
    if (s.loadFrom < 0 || s.loadFrom > lastLoadPeriod)
        return language.format("Période de la charge k=%1 refusée : elle doit être comprise entre 0 et %2.",
                               {std::to_string(s.loadFrom), std::to_string(lastLoadPeriod)});
    if (s.input != Input::Step && s.input != Input::Ramp)
        return std::string(language.tr("Consigne inconnue : elle doit être un échelon ou une rampe."));
    return std::nullopt;
}

std::int32_t setPointAt(const FreeSettings &s, int k)
{
    if (s.input == Input::Step)
        return s.step;
    // Whole codes, rounded down: E k fits easily, E being at most 2047.
    return s.step * std::clamp(k, 0, rampPeriods) / rampPeriods;
}

std::int32_t loadAt(const FreeSettings &s, int k)
{
    return k >= s.loadFrom ? s.load : 0;
}

std::string periodName(double period)
{
    static constexpr const char *names[] = {"T1/4", "T1/2", "T1", "2T1"};
    for (std::size_t i = 0; i < periodChoices.size(); ++i)
        if (samePeriod(period, periodChoices[i]))
            return names[i];
    return {};
}

double gainAtSliderPosition(int position)
{
    const double decades = double(std::clamp(position, 0, gainSliderPositions)) / gainSliderPositions *
                           std::log10(maxGain / minGain);
    // Four significant digits: finer roundings would be noise, coarser ones
    // would make a step of the slider more than the scale's ×1.023 near 0.1.
    const double gain = minGain * std::pow(10.0, decades);
    const double scale = std::pow(10.0, 3 - std::floor(std::log10(gain)));
    return std::round(gain * scale) / scale;
}

int sliderPositionOfGain(double gain)
{
    const double decades = std::log10(std::clamp(gain, minGain, maxGain) / minGain);
    return int(std::lround(decades / std::log10(maxGain / minGain) * gainSliderPositions));
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

RootLocus rootLocus(Corrector corrector, double period)
{
    RootLocus locus;
    if (corrector == Corrector::TwoStep)
        return locus;
    const SampledPlant p = sampledPlant(period);
    const int steps = int(std::lround(std::log10(maxGain / minGain) * locusGainsPerDecade));
    std::vector<Complex> previous;
    for (int i = 0; i <= steps; ++i) {
        const double g = minGain * std::pow(10.0, double(i) / locusGainsPerDecade);
        const std::vector<Complex> poles = following(previous, polesAt(corrector, p, g));
        locus.branches.resize(poles.size());
        for (std::size_t b = 0; b < poles.size(); ++b)
            locus.branches[b].push_back(poles[b]);
        if (!previous.empty() && polesOutside(previous) != polesOutside(poles)) {
            // A branch crossed the circle between the two gains: bisect to it.
            double lo = locus.gains.back();
            double hi = g;
            const int before = polesOutside(previous);
            while (hi - lo > criticalGainTolerance * hi) {
                const double mid = 0.5 * (lo + hi);
                (polesOutside(polesAt(corrector, p, mid)) == before ? lo : hi) = mid;
            }
            LocusCrossing crossing{0.5 * (lo + hi), {}};
            for (const Complex &z : polesAt(corrector, p, crossing.gain))
                if (std::abs(std::abs(z) - 1.0) < onCircleTolerance)
                    crossing.points.push_back(z);
            locus.crossings.push_back(crossing);
        }
        locus.gains.push_back(g);
        previous = poles;
    }
    return locus;
}

SampledLoop::SampledLoop(const FreeSettings &settings)
    : settings_(settings), plant_(sampledPlant(settings.period)), poles_(closedLoopPoles(settings)),
      stable_(spectralRadius(poles_) < 1.0),
      criticalGain_(lodrix::criticalGain(settings.corrector, settings.period)),
      locus_(rootLocus(settings.corrector, settings.period))
{
    // Before the step every sample was 0.
    double earlierEp[2] = {0.0, 0.0};
    double earlierU[2] = {0.0, 0.0};
    PlantState s;
    for (int k = 0; k < periodCount; ++k) {
        SamplePeriod &period = periods_[std::size_t(k)];
        period.start = s;
        period.E = setPointAt(settings_, k);
        period.X = toCode(s.position);
        period.load = loadAt(settings_, k);
        period.Ep = period.E - period.X;
        period.wanted = correctorOutput(settings_, plant_, period.Ep, earlierEp, earlierU);
        period.Epu = toCode(period.wanted);
        period.saturated = std::abs(period.wanted) >= converterCodeLimit + 0.5;
        // The computer remembers the command it sent, not the one it wanted.
        earlierEp[1] = earlierEp[0];
        earlierEp[0] = period.Ep;
        earlierU[1] = earlierU[0];
        earlierU[0] = period.Epu;
        s = evolve(s, period.Epu - period.load, settings_.period);
    }
    // Each tick counted from its period's own sample, so that tick 40k lands
    // on sample k whatever the rounding of n T/40.
    for (int n = 0; n <= endTick; ++n) {
        const int k = n / ticksPerPeriod;
        const double tau = (n - ticksPerPeriod * k) * settings_.period / ticksPerPeriod;
        if (k == periodCount) {
            ticks_[std::size_t(n)] = s;
            continue;
        }
        const SamplePeriod &period = periods_[std::size_t(k)];
        ticks_[std::size_t(n)] = evolve(period.start, period.Epu - period.load, tau);
    }
}

double SampledLoop::dcGain() const
{
    switch (settings_.corrector) {
    case Corrector::Proportional:
        return settings_.gain;
    case Corrector::PoleCompensation:
        return settings_.gain * (1.0 - plant_.a);
    case Corrector::TwoStep:
        break;
    }
    return 2.0 / (3.0 * settings_.period);
}

double SampledLoop::steadyCommand() const
{
    const double speed =
        settings_.input == Input::Ramp ? settings_.step / (rampPeriods * settings_.period) : 0.0;
    return speed + settings_.load;
}

std::optional<double> SampledLoop::staticError() const
{
    const double command = steadyCommand();
    if (!stable_ || std::abs(command) > converterCodeLimit)
        return std::nullopt;
    return command / dcGain();
}

PlantState SampledLoop::atSample(int k) const
{
    return atTick(ticksPerPeriod * std::clamp(k, 0, periodCount));
}

PlantState SampledLoop::atTick(int n) const
{
    return ticks_[static_cast<std::size_t>(std::clamp(n, 0, endTick))];
}

void freeRunTick(ModelState &m, const SampledLoop &loop, int n)
{
    // The end tick still shows the eighth period's command, the plant at 8T.
    const SamplePeriod &p = loop.periods()[static_cast<std::size_t>(armPeriodOf(n) - 1)];
    m.E = p.E;
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
    m.D = p.load;
}

} // namespace lodrix
