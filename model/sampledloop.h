#pragma once
// The position loop of menu entry 5, simulated rather than replayed: the
// student's corrector, gain, sampling period and step drive the plant
// X/Epu = 1/(p(1 + T1 p)) in converter codes behind a zero-order hold.
//
// In codes the loop has unit gain: the DAC gives 20/4095 V a code, the motor
// 30 rad/s a volt, the reducer 1/100, the sensor 10/3 V a radian and the ADC
// 4095/20 codes a volt, and these multiply to 1. So the position y (codes)
// and its rate v (codes/s) under a held command u obey T1 v' + v = u, y' = v,
// which is solved exactly over any part of a period.
//
// Sampled with period T (a = exp(-T/T1)), the plant is
//     X(z)/Epu(z) = (b1 z + b0) / ((z - 1)(z - a)),
//     b1 = T - T1 (1 - a),   b0 = T1 (1 - a) - a T,
// coefficients named by the power of z they multiply.
//
// Every corrector runs as one difference equation (DifferenceEquation),
// with Ep = E - X acquired at each kT. Those offered:
//  - proportional:      Epu(kT) = G Ep(kT);
//  - pole compensation: Epu(kT) = G [Ep(kT) - a Ep((k-1)T)], whose zero
//    cancels the plant's pole at a;
//  - two-step: the corrector that makes the loop (z + 1)/(2 z^2), so X
//    reaches half the step at T and all of it at 2T:
//        D(z) = (z + 1)(z - a) / (b1 (2z + 1)(z + b0/b1));
//  - PI:  C(z) = G [1 + (T/Ti) z/(z - 1)];
//  - PID: C(z) = G [1 + (T/Ti) z/(z - 1) + (Td/T)(z - 1)/z];
//  - lead or lag: C(z) = G (z - z0)/(z - p0);
//  - the student's own: C(z) = G (b0 + b1 z^-1 + b2 z^-2)/(1 + a1 z^-1 + a2 z^-2).
// Codes are whole: Epu is rounded to the nearest code and held within the
// converter's +-2047 (so U1 within +-10 V), and X is the nearest code of the
// position, within +-2047 too.
//
// A run lasts its horizon H, 0.4 to 3.2 s: the H/T samples within it,
// from 2 (2T1 over 0.4 s) to 128 (T1/4 over 3.2 s), every period offered
// dividing every horizon. Its page plays it in the lessons' 320 ticks
// whatever H and T, a tick standing for H/320 of the plant's time.
//
// The set-point is a step, E from t = 0, or a ramp of slope E every 0.8 s,
// E(kT) = floor(E kT/0.8 s) within the converter's 2047, which reaches E at
// 8T at T1. A load D on the arm is given as the command that
// holds the arm still against it; from the sample instant of its period on
// it is taken from what the converter sends, so the plant runs on Epu - D
// and a load the converter cannot hold drags the arm back.
//
// Steady state, for a stable loop: the arm follows the set-point's speed w
// (codes/s: E/0.8 s on a ramp, 0 on a step) at the rate w, which takes the
// command w + D since the motor's speed settles at its command; the
// corrector gives it from Ep = (w + D)/C(1), C(1) being its gain at z = 1:
//   proportional G, pole compensation G(1 - a), two-step 2/(3T)
// (b1 + b0 = T(1 - a), so D(1) = 2(1 - a)/(3 b1 (1 + b0/b1)) = 2/(3T)).
// The same comes from the final-value theorem on E/(1 + CG) and
// D G/(1 + CG) with (z - 1) G(z) -> T at z = 1.

#include "model/modelstate.h"
#include "model/periods.h"
#include "model/polynomial.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lodrix {

constexpr double motorTimeConstant = 0.1;         // T1, s
constexpr std::int32_t converterCodeLimit = 2047; // 12-bit bipolar converters
constexpr double voltsPerCode = 20.0 / 4095.0;    // DAC
constexpr double codesPerVolt = 4095.0 / 20.0;    // ADC
constexpr double sensorVoltsPerRadian = 10.0 / 3.0;
constexpr double codesPerRadian = codesPerVolt * sensorVoltsPerRadian;
constexpr double motorTurnsPerArmTurn = 100.0;

enum class Corrector { Proportional, PoleCompensation, TwoStep, PI, PID, Lead, Own };
enum class Input { Step, Ramp };

// The sampling periods offered: T1/4, T1/2, T1 and 2 T1.
constexpr std::array<double, 4> periodChoices{motorTimeConstant / 4, motorTimeConstant / 2, motorTimeConstant,
                                              2 * motorTimeConstant};
constexpr double minGain = 0.1;
constexpr double maxGain = 1000.0;
constexpr std::int32_t minStep = 1;
constexpr std::int32_t maxStep = converterCodeLimit;
constexpr std::int32_t maxLoad = converterCodeLimit; // codes, either way
constexpr int lastLoadPeriod = 7;                    // a load acts from kT, k = 0 to 7
constexpr double rampTime = 0.8;                     // s: a ramp rises by E in this time

// The horizons offered, « Durée », s: a run lasts one of them.
constexpr std::array<double, 4> horizonChoices{0.4, 0.8, 1.6, 3.2};
constexpr double defaultHorizon = 0.8; // eight periods at T1, as the lessons
constexpr int maxSamples = 128;        // T1/4 over 3.2 s
// The designed correctors' coefficients: the integral and derivative times
// (s), the lead or lag's zero and pole (inside (-1, 1), ends excluded), the
// student's own equation's coefficients.
constexpr double minIntegralTime = 0.01;
constexpr double maxIntegralTime = 10.0;
constexpr double maxDerivativeTime = 1.0;
constexpr double ownCoefficientLimit = 100.0;

struct FreeSettings {
    Corrector corrector = Corrector::Proportional;
    double gain = 2.5;       // G; the two-step corrector has none
    double period = 0.1;     // T, s: one of periodChoices
    std::int32_t step = 200; // E, codes: the step, or where the ramp reaches at 8T
    std::int32_t load = 0;   // D, codes: the command that holds the arm against it
    int loadFrom = 4;        // the load acts from the sample instant of this period k
    Input input = Input::Step;
    double horizon = defaultHorizon; // H, s: one of horizonChoices
    // The designed correctors' coefficients, each used by its own only.
    double integralTime = 0.5;    // Ti, s: PI and PID
    double derivativeTime = 0.05; // Td, s: PID
    double leadZero = 0.8;        // z0: lead or lag
    double leadPole = 0.3;        // p0: lead or lag
    // The student's own C(z) = (b0 + b1 z^-1 + b2 z^-2)/(1 + a1 z^-1 + a2 z^-2),
    // G times it: P's by default.
    std::array<double, 3> ownB{1.0, 0.0, 0.0};
    std::array<double, 2> ownA{0.0, 0.0};
    // On, the corrector remembers the command sent (rounded and limited);
    // off, the one it computed, so that an integrator charges on while the
    // converter is at its limit.
    bool antiWindup = true;
    bool operator==(const FreeSettings &) const = default;
};

// "T1/4", "T1/2", "T1" or "2T1"; empty for a period not offered.
std::string periodName(double period);

struct SampledPlant {
    double a = 0.0;
    double b1 = 0.0;
    double b0 = 0.0;
};
SampledPlant sampledPlant(double period);

struct PlantState {
    double position = 0.0; // y, codes
    double rate = 0.0;     // v, codes per second
};

// The plant after t seconds under the command u held (codes), exactly.
PlantState evolve(PlantState s, double u, double t);

// The nearest code within the converter's range.
std::int32_t toCode(double value);

// The samples a run of these settings holds, H/T: its periods.
int sampleCount(const FreeSettings &s);
// The samples by which a ramp rises by E, 0.8 s/T: 8 at T1.
int rampSamples(double period);

// E(kT), k = 0 to the run's last sample: the set-point the computer acquires at kT.
std::int32_t setPointAt(const FreeSettings &s, int k);
// The load on the plant over period k (from kT to (k+1)T), codes.
std::int32_t loadAt(const FreeSettings &s, int k);

struct SamplePeriod {
    std::int32_t E = 0;     // the set-point acquired at the start of the period
    std::int32_t X = 0;     // acquired at the start of the period
    std::int32_t load = 0;  // D acting over the period, taken from Epu at the plant
    std::int32_t Ep = 0;    // E - X
    std::int32_t Epu = 0;   // held over the period
    double wanted = 0.0;    // what the corrector computed, before rounding and limit
    bool saturated = false; // the corrector asked for more than +-2047
    PlantState start;
};

// A corrector as the computer runs it, its gain G included in b:
//   Epu(k) = b0 Ep(k) + b1 Ep(k-1) + b2 Ep(k-2) - a1 Epu*(k-1) - a2 Epu*(k-2)
// where Epu* is the command it remembers; a[0] is always 1. In z it is
//   C(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct DifferenceEquation {
    std::array<double, 3> b{};
    std::array<double, 3> a{1.0, 0.0, 0.0};
};
// The corrector of these settings, with their gain.
DifferenceEquation correctorEquation(const FreeSettings &settings);
// Whether the corrector has a gain G to turn: the two-step one has none.
bool hasGain(Corrector corrector);
// Whether C(z) has a pole at z = 1: its C(1) is infinite and the loop, if
// stable, settles with no error where a proportional one keeps some.
bool hasIntegrator(const FreeSettings &settings);
// C(z), and the open loop C(z) B0P(z) through the plant behind its hold,
// at any point z of the plane but the poles.
Complex correctorResponse(const FreeSettings &settings, Complex z);
Complex openLoopResponse(const FreeSettings &settings, Complex z);

// The closed-loop poles as G goes from minGain to maxGain, the corrector's
// other coefficients fixed: a branch per pole, each a point per gain of
// `gains`, and the gains at which a branch crosses the unit circle with the
// poles on it there. A corrector without a gain has no locus.
struct LocusCrossing {
    double gain = 0.0;
    std::vector<Complex> points;
};
struct RootLocus {
    std::vector<double> gains;
    std::vector<std::vector<Complex>> branches;
    std::vector<LocusCrossing> crossings; // by ascending gain
};
RootLocus rootLocus(const FreeSettings &settings);

struct GainInterval {
    double low = 0.0;
    double high = 0.0;
};

// The periods of a run with its settings, as many as its horizon holds,
// the closed-loop poles and what they say.
class SampledLoop {
public:
    // The settings must pass settingsError (settings/settings.h). The run
    // lasts its horizon; `continued` more periods are computed beyond it,
    // in continuation(), for a look at where the loop settles.
    explicit SampledLoop(const FreeSettings &settings, int continued = 0);

    const FreeSettings &settings() const { return settings_; }
    const SampledPlant &plant() const { return plant_; }
    // Period k from kT to (k + 1)T, k = 0 to sampleCount() - 1.
    const std::vector<SamplePeriod> &periods() const { return periods_; }
    int sampleCount() const { return int(periods_.size()); }
    // The sample at the horizon, where the run ends: what the computer
    // acquires then and the command it computes, held over no period.
    const SamplePeriod &lastSample() const { return lastSample_; }
    // The periods after the run's, as asked for: period sampleCount() + i
    // is continuation()[i].
    const std::vector<SamplePeriod> &continuation() const { return continuation_; }

    // The plant at kT, k = 0 to sampleCount().
    PlantState atSample(int k) const;
    // Page tick n shows the plant at n H/320, counted from the sample of
    // the period holding that time: at T1 over 0.8 s tick 40k is the
    // instant of sample k, and the end tick, 320, is the horizon's.
    PlantState atTick(int n) const;
    // The period (0 to sampleCount() - 1) whose time holds page tick n; the
    // end tick belongs to the last.
    int periodAtTick(int n) const;
    // The first page tick at or after sample k, k = 0 to sampleCount():
    // 40k at T1 over 0.8 s; a period may span a fractional number of ticks.
    int sampleTick(int k) const { return sampleTicks_[std::size_t(k)]; }
    const std::vector<int> &sampleTicks() const { return sampleTicks_; }

    // The poles of the closed loop, the plant's and the corrector's.
    const std::vector<Complex> &poles() const { return poles_; }
    bool stable() const { return stable_; }
    // The gain at which the proportional or the pole-compensation loop
    // becomes unstable at this period; none for the two-step corrector.
    std::optional<double> criticalGain() const { return criticalGain_; }
    // The gains at which the loop is stable, the other coefficients fixed.
    const std::vector<GainInterval> &stableGains() const { return stableGains_; }
    // Where the closed-loop poles go as the gain runs over its range.
    const RootLocus &locus() const { return locus_; }

    // The error Ep the loop settles to, in codes, (w + D)/C(1) as above:
    // 0 on a step with no load; none (infinite) for an unstable loop, or
    // when the steady command w + D is more than the converter gives.
    std::optional<double> staticError() const;
    // C(1), the corrector's gain at z = 1: infinite with an integrator.
    double dcGain() const;
    // w + D, the command that holds the arm at the set-point's speed.
    double steadyCommand() const;

private:
    FreeSettings settings_;
    SampledPlant plant_;
    std::vector<SamplePeriod> periods_;
    SamplePeriod lastSample_;
    std::vector<int> sampleTicks_;
    std::vector<SamplePeriod> continuation_;
    std::array<PlantState, endTick + 1> ticks_{};
    std::vector<Complex> poles_;
    bool stable_ = false;
    std::optional<double> criticalGain_;
    std::vector<GainInterval> stableGains_;
    RootLocus locus_;
};

// The characteristic polynomial of the loop of these settings with the
// gain g in place of theirs, highest power first: A(z)(z - 1)(z - a) +
// B(z)(b1 z + b0) with C = B/A in powers of z, their common powers of z
// taken out (P has none left, PC keeps one).
std::vector<double> characteristicPolynomial(const FreeSettings &settings, double g);
// The closed-loop poles of these settings.
std::vector<Complex> closedLoopPoles(const FreeSettings &settings);
// The gains from minGain to maxGain at which the loop is stable, the
// corrector's other coefficients fixed: the intervals by ascending gain,
// each [low, high], none when no gain is (nor for a corrector without one).
// The crossings are looked for over `angles` steps of the upper half circle.
std::vector<GainInterval> stableGains(const FreeSettings &settings, int angles = 720);
// The smallest positive gain that puts a pole on the unit circle, found to
// a relative 1e-9; none for a corrector without a gain.
std::optional<double> criticalGain(const FreeSettings &settings);

// The value row of page tick n (2 to 320): the period's E, Ep and Epu, the
// command in volts to 0.1 V, the motor speed, the arm angle and what the
// sensor and the converter read, and the load D acting, from the period
// whose time holds the tick. The end tick shows the sample at the horizon:
// the plant then, E, X, Ep and the command computed from them; thetaPrec takes theta as on the other
// closed-loop pages.
void freeRunTick(ModelState &m, const SampledLoop &loop, int n);

} // namespace lodrix
