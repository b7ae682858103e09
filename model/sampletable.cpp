#include "sampletable.h"

#include <cstddef>

namespace lodrix {

namespace {

constexpr std::int32_t codeLimit = 2047; // 12-bit bipolar
constexpr double voltLimit = 10.0;       // V

// Short names keep one period per line. Every first period rises with the
// same 40.01-tick time constant, and all closed-loop rows read V to 0.01 V.
constexpr SpeedLaw rise(double finalSpeed)
{
    return SpeedLaw::rise(finalSpeed, 40.01);
}
constexpr auto ramp = &SpeedLaw::ramp;
constexpr auto stopped = &SpeedLaw::zero;
constexpr PositionRule integrated(double dt, double ks, double ga)
{
    return PositionRule::integrated(dt, ks, ga);
}
constexpr auto holdingX = &PositionRule::integratedHoldingX;
constexpr auto fixed = &PositionRule::fixed;

// X(kT) | Ep | Epu | U1 = U (V) | speed (rad/s) | position
constexpr auto proportionalRows = std::to_array<SampleRow>({
    {0, {200, 500, 2.4, rise(73.5), integrated(0.0024, 33.3, 204.75)}},
    {18, {182, 455, 2.2, ramp(46, 0.32, 39), integrated(0.0024, 35, 207)}},
    {55, {145, 363, 1.8, ramp(59, -0.0925, 79), integrated(0.0024, 34, 205)}},
    {94, {106, 265, 1.3, ramp(55, -0.262, 119), integrated(0.0024, 34, 204)}},
    {128, {72, 180, 0.9, ramp(44, -0.295, 159), integrated(0.0024, 33.5, 206)}},
    {154, {46, 115, 0.6, ramp(32, -0.242, 199), integrated(0.002, 34, 206)}},
    {173, {27, 68, 0.3, ramp(23, -0.205, 239), integrated(0.0024, 33, 206)}},
    {185, {15, 38, 0.2, ramp(14, -0.145, 279), integrated(0.004, 33, 206)}},
});

// From period 4 the command is below the converter's 0.1 V display and is
// held at 0; from period 6 the arm has settled and the display is frozen.
constexpr auto poleCompensationRows = std::to_array<SampleRow>({
    {0, {200, 1360, 6.7, rise(201), integrated(0.0024, 33.3, 210)}},
    {50, {150, 516, 2.5, ramp(126, -0.82, 39), integrated(0.0024, 34, 207)}},
    {124, {76, 139, 0.7, ramp(95, -1.2, 79), integrated(0.0024, 33.5, 205)}},
    {170, {30, 12, 0.0, ramp(47, -0.74, 119), integrated(0.0024, 33.2, 206)}},
    {191, {9, -14, 0.0, ramp(18, -0.336, 159), integrated(0.0023, 33.2, 205)}},
    {198, {2, -9, 0.0, ramp(5, -0.11, 199), fixed(0.29, 0.98, 200)}},
    {200, {0, -5, 0.0, stopped(), fixed(0.29, 0.98, 200)}},
    {200, {0, 0, 0.0, stopped(), fixed(0.29, 0.98, 200)}},
});

// X reaches the set-point at the second sample and the code is held there
// while the arm still swings between samples.
constexpr auto twoStepRows = std::to_array<SampleRow>({
    {0, {140, 1892, 9.3, rise(282), integrated(0.0024, 34, 208)}},
    {70, {70, -112, -0.5, ramp(176, -3.06, 39), integrated(0.0022, 34, 207)}},
    {140, {0, -649, -3.2, ramp(54, -2.36, 79), holdingX(0.0024, 32.5, 140)}},
    {140, {0, 439, 2.2, ramp(-40, 1.63, 119), holdingX(0.0024, 33.2, 140)}},
    {140, {0, -298, -1.5, ramp(26, -1.1, 159), fixed(0.21, 0.68, 140)}},
    {140, {0, 205, 1.0, ramp(-18, 0.74, 199), fixed(0.21, 0.68, 140)}},
    {140, {0, -139, -0.7, ramp(12, -0.52, 239), fixed(0.21, 0.68, 140)}},
    {140, {0, 93, 0.5, ramp(-8, 0.35, 279), fixed(0.21, 0.68, 140)}},
});

constexpr bool withinRange(const SampleRow &r)
{
    const auto code = [](std::int32_t c) { return -codeLimit <= c && c <= codeLimit; };
    return code(r.X) && code(r.segment.Ep) && code(r.segment.Epu) && -voltLimit <= r.segment.U &&
           r.segment.U <= voltLimit;
}

// What a table must hold for the replay to tell the lesson's story: the
// error is what the acquisition leaves of the set-point, a ramp starts from
// the tick before its window, and every value fits the converters.
template<std::size_t N> constexpr bool consistent(std::int32_t e, const std::array<SampleRow, N> &rows)
{
    if (N != periodCount)
        return false;
    for (std::size_t i = 0; i < N; ++i) {
        const SampleRow &r = rows[i];
        const int firstTick = ticksPerPeriod * static_cast<int>(i);
        if (e - r.segment.Ep != r.X || !withinRange(r))
            return false;
        if (r.segment.speed.kind == SpeedLaw::Kind::Ramp && r.segment.speed.m != firstTick - 1)
            return false;
        if (r.segment.position.voltStep != VoltStep::Hundredth)
            return false;
    }
    return rows[0].segment.speed.kind == SpeedLaw::Kind::Rise;
}

constexpr std::int32_t proportionalSetPoint = 200;
constexpr std::int32_t poleCompensationSetPoint = 200;
constexpr std::int32_t twoStepSetPoint = 140;

static_assert(consistent(proportionalSetPoint, proportionalRows));
static_assert(consistent(poleCompensationSetPoint, poleCompensationRows));
static_assert(consistent(twoStepSetPoint, twoStepRows));

} // namespace

constexpr SampleTable proportionalTable{proportionalSetPoint, proportionalRows};
constexpr SampleTable poleCompensationTable{poleCompensationSetPoint, poleCompensationRows};
constexpr SampleTable twoStepTable{twoStepSetPoint, twoStepRows};

const SampleRow *rowAt(const SampleTable &table, int n)
{
    const int k = periodOf(n);
    return k == 0 ? nullptr : &table.rows[static_cast<std::size_t>(k - 1)];
}

void replayTick(ModelState &s, const SampleTable &table, int n)
{
    s.E = table.E;
    // At the end tick no row applies and the values of tick 319 stay shown.
    if (const SampleRow *row = rowAt(table, n))
        applySegment(s, row->segment, n);
    s.thetaPrec = s.theta;
}

} // namespace lodrix
