#include "sampledloop.h"

#include "plant.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
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

std::vector<Complex> polesAt(const FreeSettings &s, double g, std::span<const Complex> near = {})
{
    return polynomialRoots(characteristicPolynomial(s, g), near);
}

bool unstable(const FreeSettings &s, double g)
{
    return spectralRadius(polesAt(s, g)) >= 1.0;
}

// A polynomial in z^-1, b0 + b1 z^-1 + b2 z^-2, at z.
Complex inversePowers(const std::array<double, 3> &c, Complex z)
{
    const Complex w = 1.0 / z;
    return c[0] + w * (c[1] + w * c[2]);
}

int polesOutside(std::span<const Complex> poles)
{
    return int(std::count_if(poles.begin(), poles.end(), [](Complex z) { return std::abs(z) >= 1.0; }));
}

// The locus is drawn from this many gains a decade, evenly in log G: over
// the four decades, as many as there were gains when it held three.
constexpr int locusGainsPerDecade = 75;
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

// A gain found by bisection, to nine significant digits: within the
// bisection's tolerance, and the same in both editions, whose math
// libraries differ in the last digits.
double nineDigits(double gain)
{
    if (!(gain > 0.0) || !std::isfinite(gain))
        return gain;
    const double scale = std::pow(10.0, 8 - std::floor(std::log10(gain)));
    return std::round(gain * scale) / scale;
}

} // namespace

int rampSamples(double period)
{
    return std::max(1, int(std::lround(rampTime / period)));
}

int sampleCount(const FreeSettings &s)
{
    // Every period offered divides every horizon: the quotient is whole but
    // for rounding. Bounded for settings no row accepts.
    return int(std::clamp(std::lround(s.horizon / s.period), 1L, long(maxSamples)));
}

std::int32_t setPointAt(const FreeSettings &s, int k)
{
    if (s.input == Input::Step)
        return s.step;
    // Whole codes, rounded down, in whole numbers: E kT/0.8 s is E k over
    // the samples 0.8 s holds, and E k fits easily, E being at most 2047.
    return std::min(s.step * std::max(k, 0) / rampSamples(s.period), converterCodeLimit);
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

bool hasGain(Corrector corrector)
{
    return corrector != Corrector::TwoStep;
}

DifferenceEquation correctorEquation(const FreeSettings &s)
{
    const double g = s.gain;
    switch (s.corrector) {
    case Corrector::Proportional:
        return {{g, 0.0, 0.0}};
    case Corrector::PoleCompensation:
        // Its zero cancels the plant's pole at a.
        return {{g, -g * sampledPlant(s.period).a, 0.0}};
    case Corrector::TwoStep: {
        // (z + 1)(z - a) / (b1 (2z + 1)(z + b0/b1)), divided through by 2 b1 z^2.
        const SampledPlant p = sampledPlant(s.period);
        const double r = p.b0 / p.b1;
        const double k = 1.0 / (2.0 * p.b1);
        return {{k, k * (1.0 - p.a), -k * p.a}, {1.0, 0.5 + r, 0.5 * r}};
    }
    case Corrector::PI: {
        // G [(1 + T/Ti) z - 1]/(z - 1), divided through by z.
        const double i = s.period / s.integralTime;
        return {{g * (1.0 + i), -g, 0.0}, {1.0, -1.0, 0.0}};
    }
    case Corrector::PID: {
        // G [z(z - 1) + (T/Ti) z^2 + (Td/T)(z - 1)^2]/(z (z - 1)), divided through by z^2.
        const double i = s.period / s.integralTime;
        const double d = s.derivativeTime / s.period;
        return {{g * (1.0 + i + d), -g * (1.0 + 2.0 * d), g * d}, {1.0, -1.0, 0.0}};
    }
    case Corrector::Lead:
        return {{g, -g * s.leadZero, 0.0}, {1.0, -s.leadPole, 0.0}};
    case Corrector::Own:
        return {{g * s.ownB[0], g * s.ownB[1], g * s.ownB[2]}, {1.0, s.ownA[0], s.ownA[1]}};
    }
    return {};
}

bool hasIntegrator(const FreeSettings &s)
{
    const DifferenceEquation c = correctorEquation(s);
    return c.a[0] + c.a[1] + c.a[2] == 0.0;
}

Complex correctorResponse(const FreeSettings &s, Complex z)
{
    const DifferenceEquation c = correctorEquation(s);
    return inversePowers(c.b, z) / inversePowers(c.a, z);
}

Complex openLoopResponse(const FreeSettings &s, Complex z)
{
    const SampledPlant p = sampledPlant(s.period);
    return correctorResponse(s, z) * (p.b1 * z + p.b0) / ((z - 1.0) * (z - p.a));
}

std::vector<double> characteristicPolynomial(const FreeSettings &s, double g)
{
    FreeSettings at = s;
    at.gain = 1.0;
    // In powers of z, B = b0 z^2 + b1 z + b2 over A = z^2 + a1 z + a2, less
    // the powers of z both have whatever the gain: the degree stays as g
    // goes to 0.
    const DifferenceEquation unit = correctorEquation(at);
    std::size_t terms = 3;
    while (terms > 1 && unit.a[terms - 1] == 0.0 && unit.b[terms - 1] == 0.0)
        --terms;
    at.gain = g;
    const DifferenceEquation c = correctorEquation(at);
    const std::vector<double> b(c.b.begin(), c.b.begin() + std::ptrdiff_t(terms));
    const std::vector<double> a(c.a.begin(), c.a.begin() + std::ptrdiff_t(terms));
    const SampledPlant p = sampledPlant(s.period);
    const double plantDenominator[] = {1.0, -1.0 - p.a, p.a};
    const double plantNumerator[] = {p.b1, p.b0};
    std::vector<double> poly = multiplied(a, plantDenominator);
    const std::vector<double> forward = multiplied(b, plantNumerator);
    // Added by their lowest powers: the forward path is a degree lower.
    for (std::size_t i = 0; i < forward.size(); ++i)
        poly[poly.size() - forward.size() + i] += forward[i];
    return poly;
}

std::vector<Complex> closedLoopPoles(const FreeSettings &s)
{
    if (s.corrector == Corrector::TwoStep) {
        // The loop's own (z + 1)/(2 z^2) gives the double pole at 0; the
        // corrector cancels the plant's pole at a and its zero at -b0/b1,
        // which stay as poles of the command: the ringing between samples.
        // Written exactly rather than found as the roots of a quartic.
        const SampledPlant p = sampledPlant(s.period);
        return {Complex(0.0), Complex(0.0), Complex(p.a), Complex(-p.b0 / p.b1)};
    }
    return polesAt(s, s.gain);
}

std::optional<double> criticalGain(const FreeSettings &s)
{
    if (!hasGain(s.corrector))
        return std::nullopt;
    // Small gains are stable and the unstable gains run on from the critical
    // one: each stability condition on these polynomials is a bound on G.
    double lo = 0.0;
    double hi = 1.0;
    while (!unstable(s, hi)) {
        lo = hi;
        hi *= 2.0;
        if (hi > criticalGainCeiling)
            return std::nullopt;
    }
    while (hi - lo > criticalGainTolerance * hi) {
        const double mid = 0.5 * (lo + hi);
        (unstable(s, mid) ? hi : lo) = mid;
    }
    return 0.5 * (lo + hi);
}

std::vector<GainInterval> stableGains(const FreeSettings &s, int angles)
{
    std::vector<GainInterval> intervals;
    if (!hasGain(s.corrector))
        return intervals;
    // A pole crosses the circle where the characteristic polynomial
    // P0(z) + g P1(z) has a root z = e^(j theta): there g = -P0/P1 is real.
    // Such gains, found by their angle, and the range's ends split it into
    // pieces each stable or not throughout.
    const std::vector<double> p0 = characteristicPolynomial(s, 0.0);
    const std::vector<double> p1full = characteristicPolynomial(s, 1.0);
    std::vector<double> p1(p1full.size());
    for (std::size_t i = 0; i < p1.size(); ++i)
        p1[i] = p1full[i] - p0[i];
    const auto at = [](const std::vector<double> &c, Complex z) {
        Complex v = 0.0;
        for (double x : c)
            v = v * z + x;
        return v;
    };
    const auto gainAt = [&](double theta) {
        const Complex z = std::polar(1.0, theta);
        return -at(p0, z) / at(p1, z);
    };
    std::vector<double> cuts{minGain, maxGain};
    const auto cut = [&](Complex g) {
        if (std::isfinite(g.real()) && g.real() > minGain && g.real() < maxGain)
            cuts.push_back(g.real());
    };
    cut(Complex(nineDigits(gainAt(0.0).real())));
    cut(Complex(nineDigits(gainAt(std::numbers::pi).real())));
    double before = gainAt(0.0).imag();
    for (int i = 1; i <= angles; ++i) {
        double lo = std::numbers::pi * (i - 1) / angles;
        double hi = std::numbers::pi * i / angles;
        const double now = gainAt(hi).imag();
        if ((before < 0.0) != (now < 0.0)) {
            const bool loNegative = before < 0.0;
            for (int k = 0; k < 60; ++k) {
                const double mid = 0.5 * (lo + hi);
                ((gainAt(mid).imag() < 0.0) == loNegative ? lo : hi) = mid;
            }
            cut(Complex(nineDigits(gainAt(0.5 * (lo + hi)).real())));
        }
        before = now;
    }
    std::sort(cuts.begin(), cuts.end());
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        if (cuts[i + 1] <= cuts[i])
            continue;
        if (unstable(s, std::sqrt(cuts[i] * cuts[i + 1])))
            continue;
        // A spurious cut (where P1 vanishes) leaves two stable pieces side by side.
        if (!intervals.empty() && intervals.back().high == cuts[i])
            intervals.back().high = cuts[i + 1];
        else
            intervals.push_back({cuts[i], cuts[i + 1]});
    }
    return intervals;
}

RootLocus rootLocus(const FreeSettings &s)
{
    RootLocus locus;
    if (!hasGain(s.corrector))
        return locus;
    const int steps = int(std::lround(std::log10(maxGain / minGain) * locusGainsPerDecade));
    std::vector<Complex> previous;
    for (int i = 0; i <= steps; ++i) {
        const double g = minGain * std::pow(10.0, double(i) / locusGainsPerDecade);
        const std::vector<Complex> poles = following(previous, polesAt(s, g, previous));
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
                (polesOutside(polesAt(s, mid, previous)) == before ? lo : hi) = mid;
            }
            LocusCrossing crossing{nineDigits(0.5 * (lo + hi)), {}};
            for (const Complex &z : polesAt(s, crossing.gain))
                if (std::abs(std::abs(z) - 1.0) < onCircleTolerance)
                    crossing.points.push_back(z);
            locus.crossings.push_back(crossing);
        }
        locus.gains.push_back(g);
        previous = poles;
    }
    return locus;
}

SampledLoop::SampledLoop(const FreeSettings &settings, int continued)
    : settings_(settings), plant_(sampledPlant(settings.period)), poles_(closedLoopPoles(settings)),
      stable_(spectralRadius(poles_) < 1.0), criticalGain_(lodrix::criticalGain(settings)),
      stableGains_(lodrix::stableGains(settings)), locus_(rootLocus(settings))
{
    const DifferenceEquation c = correctorEquation(settings_);
    const int count = lodrix::sampleCount(settings_);
    periods_.resize(std::size_t(count));
    // Before the step every sample was 0.
    double earlierEp[2] = {0.0, 0.0};
    double earlierU[2] = {0.0, 0.0};
    PlantState s;
    const int continuedCount = std::max(continued, 0);
    continuation_.resize(std::size_t(continuedCount));
    const int last = count + continuedCount;
    PlantState end;
    // The run's periods, then the sample at the horizon, which starts none
    // of the run's but the first continued one, then the continued periods.
    for (int k = 0; k <= last; ++k) {
        SamplePeriod period;
        period.start = s;
        period.E = setPointAt(settings_, k);
        period.X = toCode(s.position);
        period.load = loadAt(settings_, k);
        period.Ep = period.E - period.X;
        period.wanted = c.b[0] * period.Ep + c.b[1] * earlierEp[0] + c.b[2] * earlierEp[1] -
                        c.a[1] * earlierU[0] - c.a[2] * earlierU[1];
        period.Epu = toCode(period.wanted);
        period.saturated = std::abs(period.wanted) >= converterCodeLimit + 0.5;
        if (k < count)
            periods_[std::size_t(k)] = period;
        if (k == count) {
            lastSample_ = period;
            end = s;
        }
        if (k >= count && k < last)
            continuation_[std::size_t(k - count)] = period;
        // With anti-windup the computer remembers the command it sent, not
        // the one it wanted; without, the one it wanted, unlimited.
        earlierEp[1] = earlierEp[0];
        earlierEp[0] = period.Ep;
        earlierU[1] = earlierU[0];
        earlierU[0] = settings_.antiWindup ? period.Epu : period.wanted;
        if (k < last)
            s = evolve(s, period.Epu - period.load, settings_.period);
    }
    s = end;
    // Tick n is at n H/320 = (n count/320) T: in period k = n count/320,
    // (n count - 320 k) T/320 after its sample, counted from that sample so
    // that a tick on a sample lands on it whatever the rounding.
    for (int n = 0; n <= endTick; ++n) {
        const int k = n * count / endTick;
        const int rest = n * count - endTick * k;
        if (k == count) {
            ticks_[std::size_t(n)] = s;
            continue;
        }
        const SamplePeriod &period = periods_[std::size_t(k)];
        ticks_[std::size_t(n)] =
            evolve(period.start, period.Epu - period.load, rest * settings_.period / endTick);
    }
    sampleTicks_.resize(std::size_t(count) + 1);
    for (int k = 0; k <= count; ++k)
        sampleTicks_[std::size_t(k)] = (endTick * k + count - 1) / count;
}

double SampledLoop::dcGain() const
{
    const DifferenceEquation c = correctorEquation(settings_);
    if (hasIntegrator(settings_))
        return std::numeric_limits<double>::infinity();
    return (c.b[0] + c.b[1] + c.b[2]) / (c.a[0] + c.a[1] + c.a[2]);
}

double SampledLoop::steadyCommand() const
{
    const double speed = settings_.input == Input::Ramp ? settings_.step / rampTime : 0.0;
    return speed + settings_.load;
}

std::optional<double> SampledLoop::staticError() const
{
    const double command = steadyCommand();
    if (!stable_ || std::abs(command) > converterCodeLimit)
        return std::nullopt;
    // An integrator settles with no error at all.
    if (hasIntegrator(settings_))
        return 0.0;
    return command / dcGain();
}

PlantState SampledLoop::atSample(int k) const
{
    const int count = sampleCount();
    if (k >= count)
        return atTick(endTick);
    const SamplePeriod &p = periods_[std::size_t(std::max(k, 0))];
    // A sample on a tick is that tick's plant, as the plots draw it.
    const int n = sampleTicks_[std::size_t(std::max(k, 0))];
    return n * count == endTick * std::max(k, 0) ? atTick(n) : p.start;
}

PlantState SampledLoop::atTick(int n) const
{
    return ticks_[static_cast<std::size_t>(std::clamp(n, 0, endTick))];
}

int SampledLoop::periodAtTick(int n) const
{
    return std::min(std::clamp(n, 0, endTick) * sampleCount() / endTick, sampleCount() - 1);
}

void freeRunTick(ModelState &m, const SampledLoop &loop, int n)
{
    // Every value of the row comes from one sample: the end tick shows the
    // plant at the horizon with what the computer acquires and computes then.
    const SamplePeriod &p =
        n >= endTick ? loop.lastSample() : loop.periods()[static_cast<std::size_t>(loop.periodAtTick(n))];
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
