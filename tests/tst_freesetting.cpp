// Menu entry 5: the simulated loop checked against the textbook sampled
// plant and the lessons' tables, its poles and critical gains against the
// stability conditions worked by hand, and the page played through the
// controller, saturated and unstable, inside its surfaces.

#include "engine/runcsv.h"
#include "engine/statejson.h"
#include "model/sampletable.h"
#include "raster/rastercanvas.h"
#include "render/zplane.h"
#include "surfaces.h"

#include <QTest>

#include <nlohmann/json.hpp>

#include <cmath>
#include <complex>
#include <set>

using namespace lodrix;

Q_DECLARE_METATYPE(lodrix::FreeSettings)
Q_DECLARE_METATYPE(std::complex<double>)

namespace {

constexpr double T1 = 0.1;

FreeSettings settings(Corrector c, double gain, double period, std::int32_t step = 200)
{
    return {c, gain, period, step};
}

// A designed corrector: PI and PID with Ti (and Td), lead or lag with z0
// and p0, the own one with b0, b1, b2, a1, a2 in that order.
FreeSettings designed(Corrector c, double gain, double period, std::int32_t step,
                      std::initializer_list<double> coefficients, bool antiWindup = true)
{
    FreeSettings s = settings(c, gain, period, step);
    const std::vector<double> k(coefficients);
    if (c == Corrector::PI || c == Corrector::PID) {
        s.integralTime = k.at(0);
        if (c == Corrector::PID)
            s.derivativeTime = k.at(1);
    } else if (c == Corrector::Lead) {
        s.leadZero = k.at(0);
        s.leadPole = k.at(1);
    } else if (c == Corrector::Own) {
        s.ownB = {k.at(0), k.at(1), k.at(2)};
        s.ownA = {k.at(3), k.at(4)};
    }
    s.antiWindup = antiWindup;
    return s;
}

// The designed correctors' commands from their errors e(k), e(k-1), e(k-2)
// and their earlier commands u(k-1), u(k-2), each written from its C(z) by
// hand: PI u(k) = u(k-1) + G[(1 + T/Ti) e(k) - e(k-1)], and so on.
double designedCommand(const FreeSettings &s, const double e[3], const double u[3])
{
    const double g = s.gain;
    const double i = s.period / s.integralTime;
    const double d = s.derivativeTime / s.period;
    switch (s.corrector) {
    case Corrector::PI:
        return u[1] + g * ((1 + i) * e[0] - e[1]);
    case Corrector::PID:
        return u[1] + g * ((1 + i + d) * e[0] - (1 + 2 * d) * e[1] + d * e[2]);
    case Corrector::Lead:
        return s.leadPole * u[1] + g * (e[0] - s.leadZero * e[1]);
    case Corrector::Own:
        return -s.ownA[0] * u[1] - s.ownA[1] * u[2] +
               g * (s.ownB[0] * e[0] + s.ownB[1] * e[1] + s.ownB[2] * e[2]);
    default:
        return 0.0;
    }
}

FreeSettings loaded(FreeSettings s, std::int32_t load, int from, Input input = Input::Step)
{
    s.load = load;
    s.loadFrom = from;
    s.input = input;
    return s;
}

FreeSettings ramp(FreeSettings s)
{
    s.input = Input::Ramp;
    return s;
}

FreeSettings over(FreeSettings s, double horizon)
{
    s.horizon = horizon;
    return s;
}

// E(kT): the step, or the ramp's floor(E kT/0.8 s) within 2047.
double setPoint(const FreeSettings &s, int k)
{
    return s.input == Input::Ramp ? std::min(2047.0, std::floor(s.step * k * s.period / 0.8 + 1e-9)) : s.step;
}

// The load the plant gets over period k.
double load(const FreeSettings &s, int k)
{
    return k >= s.loadFrom ? s.load : 0.0;
}

// E - X after many periods of the loop computed without rounding or limits,
// from the difference equations of the sampled plant and of each corrector
// (the two-step one from its D(z)), with the ramp a straight line E k/8.
double settledError(const FreeSettings &s)
{
    const SampledPlant p = sampledPlant(s.period);
    const double r = p.b0 / p.b1;
    const int periods = 5000;
    double y[2] = {0, 0}; // y(k), y(k-1)
    double e[3] = {0, 0, 0};
    double u[3] = {0, 0, 0};
    double v = 0; // what the plant got over the period before
    double reference = 0;
    for (int k = 0; k < periods; ++k) {
        reference = s.input == Input::Ramp ? s.step * k * s.period / 0.8 : s.step;
        e[2] = e[1];
        e[1] = e[0];
        e[0] = reference - y[0];
        u[2] = u[1];
        u[1] = u[0];
        switch (s.corrector) {
        case Corrector::Proportional:
            u[0] = s.gain * e[0];
            break;
        case Corrector::PoleCompensation:
            u[0] = s.gain * (e[0] - p.a * e[1]);
            break;
        case Corrector::TwoStep:
            u[0] = (-p.b1 * (1 + 2 * r) * u[1] - p.b1 * r * u[2] + e[0] + (1 - p.a) * e[1] - p.a * e[2]) /
                   (2 * p.b1);
            break;
        default:
            u[0] = designedCommand(s, e, u);
            break;
        }
        const double w = u[0] - load(s, k);
        const double next = (1 + p.a) * y[0] - p.a * y[1] + p.b1 * w + p.b0 * v;
        y[1] = y[0];
        y[0] = next;
        v = w;
    }
    return reference - y[1];
}

// 1 + C(z) G(z) cleared of its denominators, each corrector as the lessons
// write it, with the sampled plant (b1 z + b0)/((z - 1)(z - a)), whose a, b1
// and b0 the recurrence below checks against the plant's own motion.
std::complex<double> characteristic(const FreeSettings &s, std::complex<double> z)
{
    const SampledPlant p = sampledPlant(s.period);
    const auto plantNum = p.b1 * z + p.b0;
    const auto plantDen = (z - 1.0) * (z - p.a);
    switch (s.corrector) {
    case Corrector::Proportional:
        return plantDen + s.gain * plantNum;
    case Corrector::PoleCompensation:
        return z * plantDen + s.gain * (z - p.a) * plantNum;
    case Corrector::TwoStep:
        return p.b1 * (2.0 * z + 1.0) * (z + p.b0 / p.b1) * plantDen + (z + 1.0) * (z - p.a) * plantNum;
    case Corrector::PI:
        return (z - 1.0) * plantDen + s.gain * ((1 + s.period / s.integralTime) * z - 1.0) * plantNum;
    case Corrector::PID:
        return z * (z - 1.0) * plantDen + s.gain *
                                              (z * (z - 1.0) + s.period / s.integralTime * z * z +
                                               s.derivativeTime / s.period * (z - 1.0) * (z - 1.0)) *
                                              plantNum;
    case Corrector::Lead:
        return (z - s.leadPole) * plantDen + s.gain * (z - s.leadZero) * plantNum;
    case Corrector::Own:
        return (z * z + s.ownA[0] * z + s.ownA[1]) * plantDen +
               s.gain * (s.ownB[0] * z * z + s.ownB[1] * z + s.ownB[2]) * plantNum;
    }
    return {};
}

} // namespace

class TestFreeSetting : public QObject {
    Q_OBJECT

private slots:
    void polynomialRoots_data()
    {
        addColumns<QList<double>, QList<std::complex<double>>>({"coefficients", "roots"});
        using C = std::complex<double>;
        // (z - 0.5)(z + 0.2)(z - 0.9), scaled by 2.
        QTest::addRow("three real") << QList<double>{2, -2.4, 0.34, 0.18} << QList<C>{0.5, -0.2, 0.9};
        // z^2 (z - 0.4): a double root at 0.
        QTest::addRow("double root") << QList<double>{1, -0.4, 0, 0} << QList<C>{0.0, 0.0, 0.4};
        // (z - 0.3)(z^2 - z + 0.5)
        QTest::addRow("complex pair and real")
            << QList<double>{1, -1.3, 0.8, -0.15} << QList<C>{0.3, C(0.5, 0.5), C(0.5, -0.5)};
        QTest::addRow("pole beyond the circle") << QList<double>{1, 1.5, -2.5} << QList<C>{1.0, -2.5};
        QTest::addRow("leading zero lowers the degree") << QList<double>{0, 4, -1} << QList<C>{0.25};
        // (z - 0.5)(z + 0.7)(z^2 - 1.2 z + 0.61), scaled by 3.
        QTest::addRow("quartic, pair and reals")
            << QList<double>{3, -3, 0.06, 1.626, -0.6405} << QList<C>{0.5, -0.7, C(0.6, 0.5), C(0.6, -0.5)};
        // z^2 (z - 0.6)(z + 0.3): the two-step loop's double pole at 0.
        QTest::addRow("quartic, double root")
            << QList<double>{1, -0.3, -0.18, 0, 0} << QList<C>{0.0, 0.0, 0.6, -0.3};
    }
    void polynomialRoots()
    {
        QFETCH(QList<double>, coefficients);
        QFETCH(QList<std::complex<double>>, roots);
        const std::vector<double> c(coefficients.begin(), coefficients.end());
        const std::vector<Complex> found = lodrix::polynomialRoots(c);
        QCOMPARE(found.size(), std::size_t(roots.size()));
        for (const auto &wanted : roots)
            QVERIFY(std::any_of(found.begin(), found.end(),
                                [&](Complex z) { return std::abs(z - wanted) < 1e-6; }));
    }

    // The position at each sample follows the sampled plant's recurrence
    // fed with the commands the run held; between samples it follows the
    // plant integrated in small steps; X is the nearest code of it.
    void sampledAgainstRecurrence_data()
    {
        QTest::addColumn<FreeSettings>("s");
        QTest::addRow("P 10 at T1/4") << settings(Corrector::Proportional, 10, T1 / 4, 1000);
        QTest::addRow("PC 6.8 at 2T1") << settings(Corrector::PoleCompensation, 6.8, 2 * T1);
        QTest::addRow("two-step at T1/2") << settings(Corrector::TwoStep, 1, T1 / 2, 20);
        QTest::addRow("P 40 at 2T1, unstable") << settings(Corrector::Proportional, 40, 2 * T1);
        QTest::addRow("P 8 at T1, load 300 from 2")
            << loaded(settings(Corrector::Proportional, 8, T1), 300, 2);
        QTest::addRow("PC 6.8 at T1/2, load -500 from 0, ramp")
            << loaded(settings(Corrector::PoleCompensation, 6.8, T1 / 2, 400), -500, 0, Input::Ramp);
        QTest::addRow("two-step at T1, ramp") << ramp(settings(Corrector::TwoStep, 1, T1, 403));
        QTest::addRow("P 2 at T1, load the converter cannot hold")
            << loaded(settings(Corrector::Proportional, 2, T1, 50), 2047, 3);
        QTest::addRow("P 10 at T1/4 over 3.2 s, ramp past 2047")
            << over(ramp(settings(Corrector::Proportional, 10, T1 / 4, 900)), 3.2);
        QTest::addRow("PC 3 at 2T1 over 0.4 s, ramp")
            << over(ramp(settings(Corrector::PoleCompensation, 3, 2 * T1, 500)), 0.4);
        QTest::addRow("P 4 at T1/2 over 1.6 s, ramp")
            << over(ramp(settings(Corrector::Proportional, 4, T1 / 2, 301)), 1.6);
    }
    void sampledAgainstRecurrence()
    {
        QFETCH(FreeSettings, s);
        const SampledLoop loop(s);
        const SampledPlant p = sampledPlant(s.period);
        const auto y = [&](int k) { return loop.atSample(k).position; };
        // What reaches the plant: the command, less the load once it acts.
        const auto u = [&](int k) { return k < 0 ? 0.0 : loop.periods()[k].Epu - load(s, k); };
        // As many samples as the horizon holds.
        QCOMPARE(loop.sampleCount(), int(std::lround(s.horizon / s.period)));
        QCOMPARE(int(loop.periods().size()), loop.sampleCount());
        for (int k = 0; k < loop.sampleCount(); ++k) {
            QCOMPARE(double(loop.periods()[k].E), setPoint(s, k));
            QCOMPARE(loop.periods()[k].Ep, loop.periods()[k].E - loop.periods()[k].X);
            const double previous = k == 0 ? 0.0 : y(k - 1);
            const double expected = (1 + p.a) * y(k) - p.a * previous + p.b1 * u(k) + p.b0 * u(k - 1);
            QVERIFY(std::abs(y(k + 1) - expected) <= 1e-9 * std::max(1.0, std::abs(expected)));
            QCOMPARE(loop.periods()[k].X, std::int32_t(std::lround(std::clamp(y(k), -2047.0, 2047.0))));
        }
        // Every tick at its own time n H/320, from the sample of the period
        // holding that time; the end tick is the horizon's.
        for (int n = 0; n <= endTick; ++n) {
            const double t = n * s.horizon / endTick;
            const int k = std::min(int(std::floor(t / s.period + 1e-9)), loop.sampleCount() - 1);
            const PlantState at = evolve(loop.atSample(k), u(k), t - k * s.period);
            const double scale = 1.0 + std::abs(at.position) + std::abs(u(k)) * s.period;
            QVERIFY(std::abs(loop.atTick(n).position - at.position) < 1e-9 * scale);
        }
        // Period 3 (or the last of a shorter run), tick by tick, against
        // T1 v' + v = u integrated with Runge-Kutta steps.
        const int c = std::min(2, loop.sampleCount() - 1);
        double pos = y(c);
        double rate = loop.atSample(c).rate;
        const int substeps = 50;
        const auto accel = [&](double v) { return (u(c) - v) / T1; };
        double time = c * s.period;
        for (int n = loop.sampleTick(c); n < loop.sampleTick(c + 1); ++n) {
            const double h = (n * s.horizon / endTick - time) / substeps;
            time = n * s.horizon / endTick;
            for (int i = 0; i < substeps; ++i) {
                const double k1 = accel(rate), k2 = accel(rate + h / 2 * k1), k3 = accel(rate + h / 2 * k2),
                             k4 = accel(rate + h * k3);
                pos += h / 6 * (rate + 2 * (rate + h / 2 * k1) + 2 * (rate + h / 2 * k2) + (rate + h * k3));
                rate += h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
            }
            const double scale = 1.0 + std::abs(y(c)) + std::abs(u(c)) * s.period;
            QVERIFY(std::abs(loop.atTick(n).position - pos) < 1e-9 * scale);
        }
    }

    // The lessons' tables come out of the simulation within a code, and
    // exactly where their texts quote them.
    void lessonTables_data()
    {
        addColumns<FreeSettings, int, int>({"s", "rubrique", "exactRows"});
        QTest::addRow("proportional, X = 18 then 55") << settings(Corrector::Proportional, 2.5, T1) << 2 << 3;
        QTest::addRow("pole compensation, X = 50 then 124")
            << settings(Corrector::PoleCompensation, 6.8, T1) << 3 << 3;
    }
    void lessonTables()
    {
        QFETCH(FreeSettings, s);
        QFETCH(int, rubrique);
        QFETCH(int, exactRows);
        const SampleTable &table = rubrique == 2 ? proportionalTable : poleCompensationTable;
        const SampledLoop loop(s);
        QCOMPARE(loop.periods()[0].Epu, table.rows[0].segment.Epu);
        for (int k = 0; k < periodCount; ++k)
            QVERIFY(std::abs(loop.periods()[k].X - table.rows[k].X) <= (k < exactRows ? 0 : 1));
    }

    // Without saturation the two-step corrector makes X half the step at T
    // and all of it from 2T on, at every period offered.
    void twoStepReachesTheStep_data()
    {
        addColumns<double, int>({"period", "step"});
        QTest::addRow("T1/4") << T1 / 4 << 10;
        QTest::addRow("T1/2") << T1 / 2 << 40;
        QTest::addRow("T1, the lesson's step") << T1 << 140;
        QTest::addRow("2T1") << 2 * T1 << 400;
    }
    void twoStepReachesTheStep()
    {
        QFETCH(double, period);
        QFETCH(int, step);
        const SampledLoop loop(settings(Corrector::TwoStep, 1, period, step));
        for (const SamplePeriod &p : loop.periods())
            QVERIFY(!p.saturated);
        QCOMPARE(loop.periods()[1].X, step / 2);
        for (int k = 2; k < loop.sampleCount(); ++k)
            QCOMPARE(loop.periods()[k].X, step);
        QCOMPARE(toCode(loop.atSample(loop.sampleCount()).position), step);
    }

    // Every pole found is a root of 1 + C(z) G(z); a stable loop has them
    // all inside the unit circle.
    void closedLoopPoles_data()
    {
        addColumns<FreeSettings, int, bool>({"s", "count", "stable"});
        QTest::addRow("P 2.5 at T1") << settings(Corrector::Proportional, 2.5, T1) << 2 << true;
        QTest::addRow("P 30 at T1") << settings(Corrector::Proportional, 30, T1) << 2 << false;
        QTest::addRow("PC 6.8 at T1/2") << settings(Corrector::PoleCompensation, 6.8, T1 / 2) << 3 << true;
        QTest::addRow("PC 20 at 2T1") << settings(Corrector::PoleCompensation, 20, 2 * T1) << 3 << false;
        QTest::addRow("two-step at T1/4") << settings(Corrector::TwoStep, 1, T1 / 4) << 4 << true;
        QTest::addRow("PI 3, Ti 0.5 at T1") << designed(Corrector::PI, 3, T1, 200, {0.5}) << 3 << true;
        QTest::addRow("PI 20, Ti 0.5 at T1") << designed(Corrector::PI, 20, T1, 200, {0.5}) << 3 << false;
        QTest::addRow("PID 2, Ti 0.5, Td 0.05 at T1/2")
            << designed(Corrector::PID, 2, T1 / 2, 200, {0.5, 0.05}) << 4 << true;
        QTest::addRow("lead 8, 0.8/0.3 at T1")
            << designed(Corrector::Lead, 8, T1, 200, {0.8, 0.3}) << 3 << true;
        QTest::addRow("own, a pole of its own at 1.5")
            << designed(Corrector::Own, 0.1, T1, 200, {1, 0.5, 0, -1.5, 0}) << 3 << false;
        QTest::addRow("own, second order")
            << designed(Corrector::Own, 1, T1, 200, {2, -1.5, 0.3, -0.4, 0.1}) << 4 << true;
    }
    void closedLoopPoles()
    {
        QFETCH(FreeSettings, s);
        const SampledLoop loop(s);
        QTEST(int(loop.poles().size()), "count");
        for (const Complex &z : loop.poles())
            QVERIFY(std::abs(characteristic(s, z)) < 1e-9);
        QTEST(loop.stable(), "stable");
    }

    // Each designed corrector's run, and its continuation, against the plant
    // moved by its exact solution and the corrector's recurrence written by
    // hand: rounded to a code, limited to the converter's, and remembered as
    // sent with anti-windup, as computed without.
    void designedRecurrence_data()
    {
        QTest::addColumn<FreeSettings>("s");
        QTest::addRow("PI 3, Ti 0.5 at T1, E 1000") << designed(Corrector::PI, 3, T1, 1000, {0.5});
        QTest::addRow("PI 3, Ti 0.5 at T1, E 1000, no anti-windup")
            << designed(Corrector::PI, 3, T1, 1000, {0.5}, false);
        QTest::addRow("PID 4, Ti 0.2, Td 0.02 at T1/2, E 1500, saturated")
            << designed(Corrector::PID, 4, T1 / 2, 1500, {0.2, 0.02});
        QTest::addRow("PID 4, Ti 0.2, Td 0.02 at T1/2, E 1500, no anti-windup")
            << designed(Corrector::PID, 4, T1 / 2, 1500, {0.2, 0.02}, false);
        QTest::addRow("lead 10, 0.7/-0.2 at T1/4, ramp, load")
            << loaded(designed(Corrector::Lead, 10, T1 / 4, 800, {0.7, -0.2}), 150, 3, Input::Ramp);
        QTest::addRow("own at 2T1, negative coefficients")
            << designed(Corrector::Own, 0.5, 2 * T1, 300, {2, -1.5, 0.3, -0.4, 0.1});
        QTest::addRow("own 30 at T1, saturated, no anti-windup")
            << designed(Corrector::Own, 30, T1, 900, {1, -0.9, 0, -1, 0}, false);
    }
    void designedRecurrence()
    {
        QFETCH(FreeSettings, s);
        constexpr int continued = 30;
        const SampledLoop loop(s, continued);
        QCOMPARE(int(loop.continuation().size()), continued);
        PlantState plant;
        double e[3] = {0, 0, 0};
        double u[3] = {0, 0, 0}; // what the corrector remembers
        bool saturated = false;
        const int count = loop.sampleCount();
        for (int k = 0; k < count + continued; ++k) {
            const SamplePeriod &p = k < count ? loop.periods()[k] : loop.continuation()[k - count];
            const auto x = std::int32_t(std::lround(std::clamp(plant.position, -2047.0, 2047.0)));
            QCOMPARE(p.X, x);
            e[2] = e[1];
            e[1] = e[0];
            e[0] = setPoint(s, k) - x;
            const double wanted = designedCommand(s, e, u);
            QVERIFY2(std::abs(p.wanted - wanted) <= 1e-9 * (1 + std::abs(wanted)),
                     qPrintable(QStringLiteral("k=%1: %2, not %3").arg(k).arg(p.wanted).arg(wanted)));
            const auto sent = std::int32_t(std::lround(std::clamp(wanted, -2047.0, 2047.0)));
            QCOMPARE(p.Epu, sent);
            QCOMPARE(p.saturated, std::abs(wanted) >= 2047.5);
            saturated = saturated || p.saturated;
            u[2] = u[1];
            u[1] = s.antiWindup ? sent : wanted;
            plant = evolve(plant, sent - load(s, k), s.period);
        }
        QCOMPARE(loop.lastSample().Epu, loop.continuation()[0].Epu);
        if (QString(QTest::currentDataTag()).contains("saturated"))
            QVERIFY(saturated);
    }

    // Integrator windup, a textbook PI: G 3, Ti 0.5 s, E 1000 at T1. With
    // anti-windup the arm peaks near 1160 codes; without, the integrator
    // charges on while the converter is at its limit, and it overshoots to
    // near 1600. Both settle at the step.
    void windup()
    {
        double peaks[2] = {0, 0};
        for (const bool antiWindup : {true, false}) {
            const SampledLoop loop(designed(Corrector::PI, 3, T1, 1000, {0.5}, antiWindup), 80);
            QVERIFY(loop.stable() && loop.periods()[0].saturated);
            double &peak = peaks[antiWindup ? 0 : 1];
            for (const SamplePeriod &p : loop.continuation())
                peak = std::max(peak, double(p.X));
            for (const SamplePeriod &p : loop.periods())
                peak = std::max(peak, double(p.X));
            QVERIFY(std::abs(loop.continuation().back().Ep) <= 1);
        }
        QVERIFY2(std::abs(peaks[0] - 1160) < 60 && std::abs(peaks[1] - 1600) < 100,
                 qPrintable(QStringLiteral("peaks %1 and %2").arg(peaks[0]).arg(peaks[1])));
        QVERIFY(peaks[1] > peaks[0] + 300);
    }

    // The last samples of a run over 3.2 s settle where the theory says: no
    // error with an integrator under a load, nor with two on a ramp (the
    // PID's and the motor's), (w + D)/C(1) without one.
    void settlesAsPredicted_data()
    {
        QTest::addColumn<FreeSettings>("s");
        QTest::addRow("PID on a ramp, load 200 from 3")
            << loaded(designed(Corrector::PID, 4, T1 / 2, 400, {0.3, 0.02}), 200, 3, Input::Ramp);
        QTest::addRow("PI, load 400 from 2") << loaded(designed(Corrector::PI, 3, T1, 300, {0.5}), 400, 2);
        QTest::addRow("lead, load 200 from 1")
            << loaded(designed(Corrector::Lead, 8, T1, 200, {0.8, 0.3}), 200, 1);
        QTest::addRow("P, load 200 from 4") << loaded(settings(Corrector::Proportional, 8, T1), 200, 4);
    }
    void settlesAsPredicted()
    {
        QFETCH(FreeSettings, s);
        s.horizon = 3.2;
        const SampledLoop loop(s);
        const std::optional<double> expected = loop.staticError();
        QVERIFY(loop.stable() && expected);
        QCOMPARE(*expected == 0.0, hasIntegrator(s));
        const std::vector<SamplePeriod> &run = loop.periods();
        for (std::size_t i = run.size() - 4; i < run.size(); ++i)
            QVERIFY2(std::abs(run[i].Ep - *expected) <= 1.5,
                     qPrintable(QStringLiteral("Ep %1, not %2").arg(run[i].Ep).arg(*expected)));
    }

    // The stable gains: inside each interval's ends the poles are in the
    // circle, just outside them one is not; none stable where no gain is.
    void stableIntervals_data()
    {
        addColumns<FreeSettings, int>({"s", "intervals"});
        QTest::addRow("PI, Ti 0.5 at T1") << designed(Corrector::PI, 1, T1, 200, {0.5}) << 1;
        // Its zero beyond the motor's pole: no gain is stable, as in continuous time with Ti < T1.
        QTest::addRow("PI, Ti 0.05 at T1/4") << designed(Corrector::PI, 1, T1 / 4, 200, {0.05}) << 0;
        QTest::addRow("PI, Ti 0.2 at T1/4") << designed(Corrector::PI, 1, T1 / 4, 200, {0.2}) << 1;
        QTest::addRow("PID at T1/2") << designed(Corrector::PID, 1, T1 / 2, 200, {0.5, 0.05}) << 1;
        QTest::addRow("lead 0.8/0.3 at 2T1") << designed(Corrector::Lead, 1, 2 * T1, 200, {0.8, 0.3}) << 1;
        QTest::addRow("own, unstable pole of its own")
            << designed(Corrector::Own, 1, T1, 200, {1, 0, 0, -2.5, 0}) << 0;
        QTest::addRow("PC at T1/4: critical gain 377")
            << settings(Corrector::PoleCompensation, 1, T1 / 4) << 1;
    }
    void stableIntervals()
    {
        QFETCH(FreeSettings, s);
        const std::vector<GainInterval> intervals = stableGains(s);
        QTEST(int(intervals.size()), "intervals");
        const auto stableAt = [&](double g) {
            FreeSettings at = s;
            at.gain = g;
            return SampledLoop(at).stable();
        };
        for (const GainInterval &g : intervals) {
            QVERIFY(g.low < g.high);
            QVERIFY(stableAt(std::sqrt(g.low * g.high)));
            for (const double end : {g.low, g.high}) {
                if (end == minGain || end == maxGain)
                    continue;
                const bool above = end == g.low;
                QVERIFY(stableAt(end * (above ? 1.0001 : 0.9999)));
                QVERIFY(!stableAt(end * (above ? 0.9999 : 1.0001)));
            }
        }
        if (intervals.empty())
            for (int i = 0; i <= 40; ++i)
                QVERIFY(!stableAt(minGain * std::pow(maxGain / minGain, i / 40.0)));
        if (s.corrector == Corrector::PoleCompensation)
            QVERIFY(std::abs(intervals[0].high - 377) < 1);
    }

    // For P and PC the loop is z^2 + c1 z + c0 (times z - a for PC): stable
    // while |c0| < 1 and 1 - c1 + c0 > 0, two bounds on G worked by hand.
    void criticalGain_data()
    {
        addColumns<int, double, double>({"corrector", "period", "expected"});
        const auto bound = [](double T, bool compensated) {
            const SampledPlant p = sampledPlant(T);
            return compensated ? std::min(1 / p.b0, 2 / (p.b1 - p.b0))
                               : std::min((1 - p.a) / p.b0, 2 * (1 + p.a) / (p.b1 - p.b0));
        };
        for (double T : {T1 / 4, T1 / 2, T1, 2 * T1}) {
            QTest::addRow("P at %gs", T) << int(Corrector::Proportional) << T << bound(T, false);
            QTest::addRow("PC at %gs", T) << int(Corrector::PoleCompensation) << T << bound(T, true);
        }
    }
    void criticalGain()
    {
        QFETCH(int, corrector);
        QFETCH(double, period);
        QFETCH(double, expected);
        const auto c = Corrector(corrector);
        const std::optional<double> gc = lodrix::criticalGain(settings(c, 1, period));
        QVERIFY(gc);
        QVERIFY(std::abs(*gc - expected) < 1e-3 * expected);
        QVERIFY(SampledLoop(settings(c, 0.99 * *gc, period)).stable());
        QVERIFY(!SampledLoop(settings(c, 1.01 * *gc, period)).stable());
        // The stable gains run from the slider's first to the critical one.
        const std::vector<GainInterval> stable = stableGains(settings(c, 1, period));
        QCOMPARE(stable.size(), std::size_t(1));
        QCOMPARE(stable[0].low, minGain);
        QVERIFY(std::abs(stable[0].high - std::min(*gc, maxGain)) < 1e-6 * stable[0].high);
    }

    // The converters hold every code and voltage inside their range however
    // hard the corrector pulls, and say when they did.
    void saturation_data()
    {
        addColumns<FreeSettings, double>({"s", "firstWanted"});
        const SampledPlant p = sampledPlant(T1);
        QTest::addRow("P 100, unstable") << settings(Corrector::Proportional, 100, 2 * T1, 2047) << 204700.0;
        QTest::addRow("two-step E/(2 b1)") << settings(Corrector::TwoStep, 1, T1, 200) << 200 / (2 * p.b1);
    }
    void saturation()
    {
        QFETCH(FreeSettings, s);
        QFETCH(double, firstWanted);
        const SampledLoop loop(s);
        const SamplePeriod &first = loop.periods()[0];
        QVERIFY(first.saturated);
        QCOMPARE(first.Epu, 2047);
        QVERIFY(std::abs(first.wanted - firstWanted) < 1e-6 * firstWanted);
        ModelState m;
        for (int n = 2; n <= endTick; ++n) {
            freeRunTick(m, loop, n);
            QVERIFY(std::abs(m.Epu) <= 2047 && std::abs(m.X) <= 2047);
            QVERIFY(std::abs(m.U1) <= 10.0 && std::abs(m.V) <= 10.0);
        }
        // A two-step loop that saturates no longer reaches the step at 2T.
        if (s.corrector == Corrector::TwoStep)
            QVERIFY(loop.periods()[2].X != s.step);
    }

    // A bad value is refused with a message naming it, and changes nothing.
    void refusedSettings_data()
    {
        addColumns<FreeSettings, QString>({"s", "named"});
        QTest::addRow("gain below") << settings(Corrector::Proportional, 0.05, T1) << "G=0.05";
        QTest::addRow("gain above") << settings(Corrector::PoleCompensation, 1500, T1) << "G=1500";
        QTest::addRow("gain not a number") << settings(Corrector::Proportional, std::nan(""), T1) << "G=nan";
        QTest::addRow("period not offered") << settings(Corrector::Proportional, 2.5, 0.3) << "T=0.3";
        QTest::addRow("step zero") << settings(Corrector::TwoStep, 1, T1, 0) << "E=0";
        QTest::addRow("step beyond the converter")
            << settings(Corrector::Proportional, 2.5, T1, 2048) << "E=2048";
        QTest::addRow("unknown corrector") << settings(Corrector(7), 2.5, T1) << "Correcteur";
        QTest::addRow("load beyond the converter")
            << loaded(settings(Corrector::Proportional, 2.5, T1), 2048, 4) << "D=2048";
        QTest::addRow("load beyond the converter, negative")
            << loaded(settings(Corrector::TwoStep, 1, T1), -3000, 4) << "D=-3000";
        QTest::addRow("load after the last period")
            << loaded(settings(Corrector::Proportional, 2.5, T1), 100, 8) << "k=8";
        QTest::addRow("load before the first period")
            << loaded(settings(Corrector::Proportional, 2.5, T1), 100, -1) << "k=-1";
        QTest::addRow("unknown set-point")
            << loaded(settings(Corrector::Proportional, 2.5, T1), 0, 4, Input(2)) << "Consigne";
    }
    void refusedSettings()
    {
        QFETCH(FreeSettings, s);
        QFETCH(QString, named);
        Screen w(freeSettingEntry);
        for (int i = 0; i < 50; ++i)
            w.c.Timer1Timer();
        const FreeSettings before = w.c.freeSettings();
        const std::optional<std::string> error = w.c.setFreeSettings(s);
        QVERIFY(error);
        QVERIFY2(QString::fromStdString(*error).contains(named), error->c_str());
        QCOMPARE(w.c.freeSettings(), before);
        QCOMPARE(w.c.animation().compteur, 4051);
    }

    // The error the theory gives, (w + D)/C(1), worked by hand for each
    // corrector, is the one the loop computed without rounding settles to.
    void staticError_data()
    {
        addColumns<FreeSettings, double>({"s", "expected"});
        const double a = std::exp(-1.0);     // at T1
        const double aHalf = std::exp(-0.5); // at T1/2
        QTest::addRow("P, step, no load") << settings(Corrector::Proportional, 2.5, T1) << 0.0;
        QTest::addRow("P, load 100, G 2.5: D/G")
            << loaded(settings(Corrector::Proportional, 2.5, T1), 100, 4) << 40.0;
        QTest::addRow("P, load -300 from 0, G 8 at T1/2")
            << loaded(settings(Corrector::Proportional, 8, T1 / 2), -300, 0) << -37.5;
        QTest::addRow("PC, load 100, G 2.5: D/(G(1-a))")
            << loaded(settings(Corrector::PoleCompensation, 2.5, T1), 100, 4) << 100 / (2.5 * (1 - a));
        QTest::addRow("two-step, load 300: 3T D/2")
            << loaded(settings(Corrector::TwoStep, 1, T1), 300, 2) << 45.0;
        QTest::addRow("P, ramp 400, G 8: E/(8 T G)")
            << ramp(settings(Corrector::Proportional, 8, T1, 400)) << 62.5;
        QTest::addRow("two-step, ramp 400 at T1/2: 3E/16")
            << ramp(settings(Corrector::TwoStep, 1, T1 / 2, 400)) << 37.5;
        QTest::addRow("PC, ramp 400 and load 100, G 4 at T1/2")
            << loaded(settings(Corrector::PoleCompensation, 4, T1 / 2, 400), 100, 6, Input::Ramp)
            << (400 / 0.8 + 100) / (4 * (1 - aHalf));
        QTest::addRow("P, ramp held still by the load")
            << loaded(settings(Corrector::Proportional, 8, T1, 400), -500, 0, Input::Ramp) << 0.0;
        QTest::addRow("PI, load 300: integrator")
            << loaded(designed(Corrector::PI, 3, T1, 200, {0.5}), 300, 2) << 0.0;
        QTest::addRow("PID, ramp 400 at T1/2 and load -200: two integrators")
            << loaded(designed(Corrector::PID, 2, T1 / 2, 400, {0.5, 0.05}), -200, 3, Input::Ramp) << 0.0;
        QTest::addRow("PI, ramp 400 at T1: integrator")
            << ramp(designed(Corrector::PI, 3, T1, 400, {0.5})) << 0.0;
        QTest::addRow("lead, load 100: D(1-p0)/(G(1-z0))")
            << loaded(designed(Corrector::Lead, 8, T1, 200, {0.8, 0.3}), 100, 4) << 100 * 0.7 / (8 * 0.2);
        QTest::addRow("own, ramp 400: E/(8T C(1))")
            << ramp(designed(Corrector::Own, 1, T1, 400, {2, -1.5, 0.3, -0.4, 0.1}))
            << 500 / ((2 - 1.5 + 0.3) / (1 - 0.4 + 0.1));
    }
    void staticError()
    {
        QFETCH(FreeSettings, s);
        QFETCH(double, expected);
        const SampledLoop loop(s);
        QVERIFY(loop.stable());
        const std::optional<double> error = loop.staticError();
        QVERIFY(error);
        QVERIFY2(std::abs(*error - expected) < 1e-9 * (1 + std::abs(expected)),
                 qPrintable(QString::number(*error)));
        QVERIFY2(std::abs(settledError(s) - expected) < 1e-6 * (1 + std::abs(expected)),
                 qPrintable(QString::number(settledError(s))));
    }

    // No settled error where the error grows without bound: an unstable
    // loop, or a ramp faster than the converter's largest command drives
    // the arm (the motor's speed settles at its command, in codes/s).
    void infiniteStaticError_data()
    {
        QTest::addColumn<FreeSettings>("s");
        QTest::addRow("P 40 at 2T1, unstable, loaded")
            << loaded(settings(Corrector::Proportional, 40, 2 * T1), 100, 0);
        QTest::addRow("ramp of 2047 at T1/4: 10235 codes/s")
            << ramp(settings(Corrector::TwoStep, 1, T1 / 4, 2047));
        QTest::addRow("ramp of 1600 at T1/2 with a load of 100: 4100")
            << loaded(settings(Corrector::Proportional, 2, T1 / 2, 1600), 100, 0, Input::Ramp);
    }
    void infiniteStaticError()
    {
        QFETCH(FreeSettings, s);
        QVERIFY(!SampledLoop(s).staticError());
        const auto explore = nlohmann::json::parse(stateJson(Screen().c))["explore"];
        QVERIFY(explore["staticError"].is_number()); // the default settings settle
        Screen w;
        QVERIFY(!w.c.setFreeSettings(s));
        QVERIFY(nlohmann::json::parse(stateJson(w.c))["explore"]["staticError"].is_null());
    }

    // Without a load the period it would start from changes nothing; a load
    // changes nothing before its period's sample, and from it on the plant
    // runs on the command less the load.
    void loadActsFromItsPeriod_data()
    {
        addColumns<FreeSettings, int>({"s", "from"});
        QTest::addRow("P 8 at T1, from 0") << settings(Corrector::Proportional, 8, T1) << 0;
        QTest::addRow("PC 6.8 at T1/4, ramp, from 3")
            << ramp(settings(Corrector::PoleCompensation, 6.8, T1 / 4, 1000)) << 3;
        QTest::addRow("two-step at 2T1 over 1.6 s, from 7")
            << over(settings(Corrector::TwoStep, 1, 2 * T1, 2047), 1.6) << 7;
        QTest::addRow("P 3 at T1/4 over 3.2 s, from 5")
            << over(settings(Corrector::Proportional, 3, T1 / 4, 500), 3.2) << 5;
    }
    void loadActsFromItsPeriod()
    {
        QFETCH(FreeSettings, s);
        QFETCH(int, from);
        const SampledLoop free(s);
        const SampledLoop unloaded(loaded(s, 0, from, s.input));
        const SampledLoop withLoad(loaded(s, 250, from, s.input));
        for (int n = 0; n <= endTick; ++n) {
            QCOMPARE(unloaded.atTick(n).position, free.atTick(n).position);
            QCOMPARE(unloaded.atTick(n).rate, free.atTick(n).rate);
            if (n * s.horizon / endTick <= from * s.period) {
                QCOMPARE(withLoad.atTick(n).position, free.atTick(n).position);
                QCOMPARE(withLoad.atTick(n).rate, free.atTick(n).rate);
            }
        }
        // Just after the load's sample the motor slows against it.
        const int n = free.sampleTick(from) + 1;
        QVERIFY(withLoad.atTick(n).rate < free.atTick(n).rate);
        for (int k = 0; k < free.sampleCount(); ++k)
            QCOMPARE(withLoad.periods()[k].load, k < from ? 0 : 250);
    }

    // The page draws the load's arrow and value from its period's sample on,
    // the value row and the export carry it, and another lesson's rows say
    // none.
    void loadOnThePage()
    {
        Screen w;
        QVERIFY(!w.c.setFreeSettings(loaded(settings(Corrector::Proportional, 8, T1), 300, 4)));
        w.c.choix(freeSettingEntry);
        w.c.Button1Click();
        const auto label = [](const Op &op) { return op.text == "D=300"; };
        for (int n = 2; n <= endTick; ++n) {
            w.clearLogs();
            QCOMPARE(w.c.Timer1Timer(), (Frame{Page::FreeSetting, n}));
            QCOMPARE(bool(findOp(w.scene.ops, label)), n >= 4 * ticksPerPeriod);
            QCOMPARE(w.c.model().D, n >= 4 * ticksPerPeriod ? 300 : 0);
        }
        const QStringList rows = QString::fromStdString(runCsv(w.c.run())).trimmed().split(u'\n');
        QVERIFY(rows.front().endsWith(u",D"_qs));
        QVERIFY(rows[1].endsWith(u",0"_qs));       // tick 2
        QVERIFY(rows.back().endsWith(u",300"_qs)); // tick 320
        w.c.choix(2);
        w.c.Button1Click();
        w.c.Timer1Timer();
        QCOMPARE(w.c.run().back().values.D, 0);
    }

    // An accepted change stops a run of entry 5 and clears its plots; on
    // another entry it waits.
    void changeStopsTheRun()
    {
        Screen w(2);
        w.c.Timer1Timer();
        QVERIFY(!w.c.setFreeSettings(settings(Corrector::TwoStep, 1, T1 / 2)));
        QCOMPARE(w.c.animation().compteur, 1002);

        w.c.choix(freeSettingEntry);
        w.c.Button1Click();
        for (int i = 0; i < 10; ++i)
            w.c.Timer1Timer();
        w.clearLogs();
        QVERIFY(!w.c.setFreeSettings(settings(Corrector::Proportional, 4, T1)));
        QCOMPARE(w.c.animation().compteur, 0);
        QVERIFY(w.c.run().empty());
        QVERIFY(findOp(w.window.ops, [](const Op &op) {
            return op.kind == Op::Kind::Rect && op.points == std::vector<Point>{{0, 250}, {800, 490}};
        }));
        // The idle picture shows the new gain and critical gain at once,
        // before any tick.
        QVERIFY(findOp(w.scene.ops, [](const Op &op) { return op.text == "Gain : G=4"; }));
        QVERIFY(
            findOp(w.scene.ops, [](const Op &op) { return op.text.find("(ici G=4)") != std::string::npos; }));
    }

    // Step by step, each period halts on its last tick, a fortieth of a
    // period before the next sample, and a press starts the arm where the
    // simulation has it.
    void stepByStep_data()
    {
        QTest::addColumn<FreeSettings>("s");
        QTest::addRow("PC 6.8 at T1") << settings(Corrector::PoleCompensation, 6.8, T1);
        QTest::addRow("P 2.5 at T1/4 over 3.2 s, 2.5 ticks a period")
            << over(settings(Corrector::Proportional, 2.5, T1 / 4), 3.2);
        QTest::addRow("P 2.5 at 2T1 over 0.4 s") << over(settings(Corrector::Proportional, 2.5, 2 * T1), 0.4);
    }
    // Every press plays one sampling period, whatever the horizon: the run's
    // ticks up to the one before the next sample, the last to the end tick.
    void stepByStep()
    {
        QFETCH(FreeSettings, s);
        Screen w;
        QVERIFY(!w.c.setFreeSettings(s));
        w.c.choix(freeSettingEntry);
        w.c.choixbis(1);
        const SampledLoop &loop = w.c.freeLoop();
        const int count = int(std::lround(s.horizon / s.period));
        for (int k = 1; k <= count; ++k) {
            w.c.Button2Click();
            QCOMPARE(w.c.animation().periode, k);
            QCOMPARE(w.c.model().thetaPrec, loop.atSample(k - 1).position / codesPerRadian);
            int frames = 0;
            while (w.c.Timer1Timer().page == Page::FreeSetting)
                ++frames;
            QVERIFY(frames >= 1);
            // The period's last tick is before the next sample's time.
            const int last =
                k == count ? endTick : int(std::ceil(k * s.period / s.horizon * endTick - 1e-9)) - 1;
            QCOMPARE(w.c.animation().compteur, 4000 + last);
            QCOMPARE(w.c.model().theta, loop.atTick(last).position / codesPerRadian);
        }
        // The press after the last period starts again from the first.
        w.c.Button2Click();
        QCOMPARE(w.c.animation().periode, 1);
    }

    // An unstable, saturated run draws every call inside its surface, its
    // plots inside their band, and ends with the commentary of entry 5.
    void unstableRunStaysInside_data()
    {
        QTest::addColumn<FreeSettings>("s");
        QTest::addRow("P 100 at 2T1") << settings(Corrector::Proportional, 100, 2 * T1, 2047);
        QTest::addRow("PC 100 at T1") << settings(Corrector::PoleCompensation, 100, T1, 1000);
        QTest::addRow("two-step at T1/4") << settings(Corrector::TwoStep, 1, T1 / 4, 2047);
    }
    void unstableRunStaysInside()
    {
        QFETCH(FreeSettings, s);
        Screen w;
        QVERIFY(!w.c.setFreeSettings(s));
        w.c.choix(freeSettingEntry);
        w.c.Button1Click();
        const auto inside = [](const Op &op, int width, int height) {
            return std::all_of(op.points.begin(), op.points.end(), [&](Point p) {
                return p.x >= 0 && p.y >= 0 && p.x <= width && p.y <= height;
            });
        };
        for (int frames = 0; frames < 319; ++frames) {
            w.clearLogs();
            QCOMPARE(w.c.Timer1Timer().page, Page::FreeSetting);
            // The diagram's clearing box runs past the scene on purpose.
            for (const Op &op : w.scene.ops)
                QVERIFY(inside(op, 785, 225) || (op.kind == Op::Kind::Rect && op.brush.color == clFace));
            for (const Op &op : w.anim.ops)
                QVERIFY(inside(op, 360, 140));
            for (const Op &op : w.window.ops) {
                QVERIFY(inside(op, 800, 490) && op.points[0].y >= 250);
                // Traces and staircase inside their band, the loci inside
                // the z-plane right of them; the axes are blue.
                if (op.kind == Op::Kind::Line && op.pen.color != clBlue)
                    for (Point p : op.points)
                        QVERIFY(p.x < 650 ? p.x >= 40 && p.y >= 270 && p.y <= 400
                                          : p.x <= 800 && p.y >= 250 && p.y <= 400);
            }
        }
        QCOMPARE(w.c.animation().compteur, 4320);
        w.c.B1Click();
        QCOMPARE(w.shell.commentary, "lodrix4.rtf");
    }

    // The state line describes the settings whichever entry is chosen, with
    // the predicted run as soon as they are set.
    void stateLine()
    {
        Screen w;
        QVERIFY(!w.c.setFreeSettings(over(settings(Corrector::TwoStep, 1, T1 / 2, 40), 0.4)));
        auto explore = nlohmann::json::parse(stateJson(w.c))["explore"];
        QCOMPARE(explore["horizon"].get<double>(), 0.4);
        QCOMPARE(explore["corrector"].get<std::string>(), "DB");
        QCOMPARE(int(explore["poles"].size()), 4);
        QVERIFY(explore["criticalGain"].is_null());
        QCOMPARE(explore["stable"].get<bool>(), true);
        QVERIFY(explore["locus"]["crossings"].empty());
        QVERIFY(explore["preview"]["X"] == (nlohmann::json{0, 20, 40, 40, 40, 40, 40, 40}));

        QVERIFY(!w.c.setFreeSettings(settings(Corrector::Proportional, 2.5, T1)));
        explore = nlohmann::json::parse(stateJson(w.c))["explore"];
        QCOMPARE(explore["preview"]["Epu"][0].get<int>(), 500);
        QCOMPARE(explore["preview"]["X"][1].get<int>(), 18);
        QVERIFY(std::abs(explore["locus"]["crossings"][0].get<double>() - 23.92) < 0.01);
        QCOMPARE(explore["staticError"].get<double>(), 0.0);
        QCOMPARE(explore["input"].get<std::string>(), "step");

        QVERIFY(!w.c.setFreeSettings(
            loaded(settings(Corrector::Proportional, 2.5, T1, 400), 100, 6, Input::Ramp)));
        explore = nlohmann::json::parse(stateJson(w.c))["explore"];
        QCOMPARE(explore["load"].get<int>(), 100);
        QCOMPARE(explore["loadFrom"].get<int>(), 6);
        QCOMPARE(explore["input"].get<std::string>(), "ramp");
        QCOMPARE(explore["staticError"].get<double>(), (500 + 100) / 2.5);
        QVERIFY(explore["preview"]["E"] == (nlohmann::json{0, 50, 100, 150, 200, 250, 300, 350}));

        // A designed corrector: its equation, G included, anti-windup, the
        // stable gains, and the commands computed before their limit.
        QVERIFY(!w.c.setFreeSettings(designed(Corrector::PI, 3, T1, 1000, {0.5}, false)));
        explore = nlohmann::json::parse(stateJson(w.c))["explore"];
        QCOMPARE(explore["corrector"].get<std::string>(), "PI");
        QCOMPARE(explore["ti"].get<double>(), 0.5);
        QCOMPARE(explore["antiWindup"].get<int>(), 0);
        const auto b = explore["coefficients"]["b"].get<std::vector<double>>();
        QVERIFY(std::abs(b[0] - 3.6) < 1e-12 && b[1] == -3 && b[2] == 0);
        QVERIFY(explore["coefficients"]["a"] == (nlohmann::json{1.0, -1.0, 0.0}));
        QCOMPARE(explore["stableGains"].size(), std::size_t(1));
        QCOMPARE(explore["stableGains"][0][0].get<double>(), minGain);
        QVERIFY(std::abs(explore["stableGains"][0][1].get<double>() - 17) < 1);
        QCOMPARE(explore["preview"]["wanted"].size(), explore["preview"]["Epu"].size());
        QVERIFY(std::abs(explore["preview"]["wanted"][0].get<double>() - 3600) < 1e-9);
        QCOMPARE(explore["preview"]["Epu"][0].get<int>(), 2047);
    }

    // The prediction drawn at once is the run played: the samples the state
    // line predicts are those the frames show, and the finished run covers
    // every pale pixel of the prediction.
    void previewIsTheRun_data()
    {
        QTest::addColumn<FreeSettings>("s");
        QTest::addRow("P 2.5 at T1, stable") << settings(Corrector::Proportional, 2.5, T1);
        QTest::addRow("P 40 at 2T1, unstable") << settings(Corrector::Proportional, 40, 2 * T1);
        QTest::addRow("PC 30 at T1/4, saturated") << settings(Corrector::PoleCompensation, 30, T1 / 4, 1500);
        QTest::addRow("two-step at T1/4, saturated") << settings(Corrector::TwoStep, 1, T1 / 4, 2047);
    }
    void previewIsTheRun()
    {
        QFETCH(FreeSettings, s);
        Screen<RasterCanvas> w;
        QVERIFY(!w.c.setFreeSettings(s));
        w.c.choix(freeSettingEntry);
        w.c.choixbis(0);
        w.c.Timer1Timer();
        const auto pale = [&w] {
            const auto argb = [](Color c) {
                return 0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
            };
            const std::uint32_t colors[] = {argb(0xA0E0A0), argb(0xB0B0B0), argb(0xA0A0FF)};
            const std::uint32_t *px = w.window.pixels();
            return std::count_if(px, px + 800 * 560, [&](std::uint32_t p) {
                return std::find(std::begin(colors), std::end(colors), p) != std::end(colors);
            });
        };
        QVERIFY(pale() > 300);
        const auto preview = nlohmann::json::parse(stateJson(w.c))["explore"]["preview"];

        w.c.Button1Click();
        while (w.c.Timer1Timer().page == Page::FreeSetting) {
        }
        QCOMPARE(w.c.run().size(), std::size_t(endTick - 1));
        const SampledLoop &loop = w.c.freeLoop();
        QCOMPARE(int(preview["X"].size()), loop.sampleCount());
        for (const RunRow &row : w.c.run()) {
            const int k = loop.periodAtTick(row.tick);
            if (row.tick == loop.sampleTick(k) && row.tick * loop.sampleCount() == endTick * k)
                QCOMPARE(row.values.X, preview["X"][k].get<int>());
            if (row.tick < endTick) // the end shows the sample at the horizon, which no period holds
                QCOMPARE(row.values.Epu, preview["Epu"][k].get<int>());
        }
        QCOMPARE(pale(), 0);
    }

    // Every point of the locus is a root of the characteristic equation at
    // its gain, and the gains where a branch crosses the circle are those
    // the stability conditions give.
    void rootLocus_data()
    {
        addColumns<int, double>({"corrector", "period"});
        for (double T : {T1 / 4, T1 / 2, T1, 2 * T1}) {
            QTest::addRow("P at %gs", T) << int(Corrector::Proportional) << T;
            QTest::addRow("PC at %gs", T) << int(Corrector::PoleCompensation) << T;
        }
    }
    void rootLocus()
    {
        QFETCH(int, corrector);
        QFETCH(double, period);
        const auto c = Corrector(corrector);
        const RootLocus locus = lodrix::rootLocus(settings(c, 1, period));
        QCOMPARE(locus.gains.front(), minGain);
        QVERIFY(std::abs(locus.gains.back() - maxGain) < 1e-9);
        QCOMPARE(locus.branches.size(), std::size_t(c == Corrector::Proportional ? 2 : 3));
        for (const auto &branch : locus.branches) {
            QCOMPARE(branch.size(), locus.gains.size());
            for (std::size_t i = 0; i < branch.size(); ++i) {
                const double g = locus.gains[i];
                const double size = (1 + std::pow(std::abs(branch[i]), 3)) * (1 + g);
                QVERIFY(std::abs(characteristic(settings(c, g, period), branch[i])) < 1e-9 * size);
            }
        }
        const double gc = *lodrix::criticalGain(settings(c, 1, period));
        QCOMPARE(locus.crossings.empty(), gc > maxGain);
        if (!locus.crossings.empty())
            QVERIFY(std::abs(locus.crossings[0].gain - gc) < 1e-6 * gc);
        double previous = 0;
        for (const LocusCrossing &crossing : locus.crossings) {
            QVERIFY(crossing.gain > previous);
            previous = crossing.gain;
            QVERIFY(!crossing.points.empty());
            for (const Complex &z : crossing.points)
                QVERIFY(std::abs(std::abs(z) - 1) < 1e-6);
        }
        QVERIFY(lodrix::rootLocus(settings(Corrector::TwoStep, 1, period)).branches.empty());
    }

    // With the proportional lesson's settings, the first period starts from
    // rest with the same command in both: every tick shows the lesson's
    // values, and its angle on the lesson's time base (nearer the lesson's
    // angle at that tick than half a tick's move; the lesson integrates by
    // rectangles where this run is exact).
    void firstPeriodIsTheProportionalLesson()
    {
        Screen lesson(2);
        Screen free(freeSettingEntry);
        QCOMPARE(free.c.freeSettings(), settings(Corrector::Proportional, 2.5, T1));
        std::vector<double> angles;
        for (int n = 2; n <= ticksPerPeriod; ++n) {
            lesson.c.Timer1Timer();
            angles.push_back(lesson.c.model().theta);
        }
        for (int n = 2; n < ticksPerPeriod; ++n) {
            QCOMPARE(free.c.Timer1Timer(), (Frame{Page::FreeSetting, n}));
            const ModelState &l = lesson.c.run()[std::size_t(n - 2)].values;
            const ModelState &f = free.c.model();
            QCOMPARE(f.E, l.E);
            QCOMPARE(f.Ep, l.Ep);
            QCOMPARE(f.Epu, l.Epu);
            QCOMPARE(f.U1, l.U1);
            QVERIFY(std::abs(f.Omega1 - l.Omega1) < 0.01 * l.Omega1);
            const double move = angles[std::size_t(n - 1)] - angles[std::size_t(n - 2)];
            QVERIFY2(std::abs(f.theta - l.theta) < 0.5 * move, qPrintable(QString::number(n)));
        }
    }

    // The texts of a finished run quote its own values, rounded to the
    // nearest in the language's numbers, and its value row shows one sample:
    // at the end the one at 8T, whose error the conclusion quotes.
    void textsQuoteTheRun_data()
    {
        addColumns<FreeSettings, QString, QString>({"s", "lang", "quoted"});
        const FreeSettings lesson = settings(Corrector::Proportional, 2.5, T1);
        QTest::addRow("P 2.5, French") << lesson << "fr"
                                       << "46 rad/s et le bras 0,03 rad|59 rad/s et le bras 0,08 rad";
        QTest::addRow("P 2.5, English") << lesson << "en"
                                        << "46 rad/s and the arm 0.03 rad|59 rad/s and the arm 0.08 rad";
        QTest::addRow("P 5") << settings(Corrector::Proportional, 5, T1) << "fr"
                             << "";
        QTest::addRow("P 40 at 2T1, unstable") << settings(Corrector::Proportional, 40, 2 * T1) << "fr"
                                               << "";
        QTest::addRow("PC 6.8 at T1/2, ramp")
            << ramp(settings(Corrector::PoleCompensation, 6.8, T1 / 2, 800)) << "en"
            << "";
        QTest::addRow("P 8, loaded") << loaded(settings(Corrector::Proportional, 8, T1), 300, 2) << "fr"
                                     << "";
        QTest::addRow("two-step at T1/4, saturated") << settings(Corrector::TwoStep, 1, T1 / 4, 2047) << "fr"
                                                     << "";
    }
    void textsQuoteTheRun()
    {
        QFETCH(FreeSettings, s);
        QFETCH(QString, lang);
        QFETCH(QString, quoted);
        const bool french = lang == "fr";
        Screen w(-1, 0, NumberFormat(french ? "," : "."), *Language::named(lang.toStdString()));
        QVERIFY(!w.c.setFreeSettings(s));
        w.c.choix(freeSettingEntry);
        w.c.choixbis(0);
        w.c.Button1Click();
        do
            w.clearLogs();
        while (w.c.Timer1Timer().tick != endTick);
        const auto drawn = [&w](const std::string &part) {
            return findOp(w.window.ops,
                          [&](const Op &op) { return op.text.find(part) != std::string::npos; });
        };
        for (const QString &part : quoted.split('|', Qt::SkipEmptyParts))
            QVERIFY2(drawn(part.toStdString()), qPrintable(part));

        // Each period's text against the run's record at T and 2T.
        const NumberFormat f(french ? "," : ".");
        const auto nearest = [&f](double v, double scale) {
            return f.general(std::round(v * scale) / scale);
        };
        for (const RunRow &row : w.c.run()) {
            if (row.tick != w.c.freeLoop().sampleTick(1) && row.tick != w.c.freeLoop().sampleTick(2))
                continue;
            const std::string speed = " " + nearest(row.values.Omega1, 1) + " rad/s";
            const std::string angle = " " + nearest(row.values.theta, 100) + " rad,";
            QVERIFY2(drawn(speed) && drawn(angle), (speed + " " + angle).c_str());
        }

        // The end's row: E, X, Ep and Epu of one sample, the error the text's.
        const ModelState &m = w.c.run().back().values;
        QCOMPARE(m.Ep, m.E - m.X);
        if (s.corrector == Corrector::Proportional)
            QCOMPARE(m.Epu, std::clamp(std::int32_t(std::lround(s.gain * m.Ep)), -2047, 2047));
        const std::string said = french ? "l'écart vaut " : "the error is ";
        QVERIFY2(drawn("X=" + std::to_string(m.X) + (french ? " pour E=" : " for E=") + std::to_string(m.E) +
                       ", " + said + std::to_string(m.Ep) + "."),
                 qPrintable(QString::number(m.Ep)));
    }

    // The root-locus box, for every corrector and period over the gains: the
    // title and the gains written in it touch no branch, no mark and no
    // other text, and each pole beyond the box is an arrow on it pointing
    // where the pole is.
    void zPlaneKeepsItsTextsClear()
    {
        constexpr ZPlaneBox box{{650, 250}, 150};
        const auto argb = [](Color c) {
            return 0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
        };
        int labels = 0;
        int arrows = 0;
        for (Corrector c : {Corrector::Proportional, Corrector::PoleCompensation, Corrector::TwoStep})
            for (double T : periodChoices)
                for (double g : {0.1, 1.0, 2.5, 6.8, 10.0, 15.0, 25.0, 40.0, 50.0, 60.0, 75.0, 100.0}) {
                    if (c == Corrector::TwoStep && g != 1.0)
                        continue;
                    const SampledLoop loop(settings(c, g, T));
                    const QString name = QString("%1 G=%2 T=%3").arg(int(c)).arg(g).arg(T);
                    RecordingCanvas drawn;
                    DrawZPlane(drawn, loop, NumberFormat(","), box);

                    // The branches and the marks alone, painted again.
                    RasterCanvas marks(Surface::Window, 800, 560, clWhite);
                    Point centre;
                    int unitPx = 0;
                    std::vector<Op> tips;
                    for (const Op &op : drawn.ops) {
                        marks.pen = op.pen;
                        marks.brush = op.brush;
                        const auto &p = op.points;
                        if (op.kind == Op::Kind::Ellipse && p[1].x - p[0].x > 20) { // the unit circle
                            centre = {(p[0].x + p[1].x) / 2, (p[0].y + p[1].y) / 2};
                            unitPx = (p[1].x - p[0].x) / 2;
                        } else if (op.kind == Op::Kind::Line && op.pen.style == PenStyle::Solid &&
                                   op.pen.color != clBlack && op.pen.color != clWhite) {
                            marks.line(p[0].x, p[0].y, p[1].x, p[1].y);
                        } else if ((op.kind == Op::Kind::Rect && op.brush.color == clBlack) ||
                                   op.kind == Op::Kind::Ellipse) {
                            if (op.kind == Op::Kind::Rect)
                                marks.rectangle(p[0].x, p[0].y, p[1].x, p[1].y);
                            else
                                marks.ellipse(p[0].x, p[0].y, p[1].x, p[1].y);
                        } else if (op.kind == Op::Kind::Polygon) {
                            marks.polygon(p);
                            tips.push_back(op);
                        }
                    }
                    QVERIFY2(unitPx > 0, qPrintable(name));

                    // Each text's ink, painted alone.
                    std::vector<PixelRect> inks;
                    for (const Op &op : drawn.ops) {
                        if (op.kind != Op::Kind::Text)
                            continue;
                        RasterCanvas ink(Surface::Window, 800, 560, clWhite);
                        ink.font = op.font;
                        ink.textOut(op.points[0].x, op.points[0].y, op.text);
                        PixelRect r{800, 560, 0, 0};
                        int x2 = 0, y2 = 0;
                        for (int y = 0; y < 560; ++y)
                            for (int x = 0; x < 800; ++x)
                                if (ink.pixels()[y * 800 + x] != argb(clWhite)) {
                                    r.x = std::min(r.x, x);
                                    r.y = std::min(r.y, y);
                                    x2 = std::max(x2, x + 1);
                                    y2 = std::max(y2, y + 1);
                                }
                        r.width = x2 - r.x;
                        r.height = y2 - r.y;
                        QVERIFY2(!r.empty(), qPrintable(name + " " + op.text.c_str()));
                        for (int y = r.y; y < r.y + r.height; ++y)
                            for (int x = r.x; x < r.x + r.width; ++x)
                                QVERIFY2(marks.pixels()[y * 800 + x] == argb(clWhite),
                                         qPrintable(QString("%1: %2 over a mark at %3,%4")
                                                        .arg(name, op.text.c_str())
                                                        .arg(x)
                                                        .arg(y)));
                        for (const PixelRect &other : inks)
                            QVERIFY2(r.x >= other.x + other.width || other.x >= r.x + r.width ||
                                         r.y >= other.y + other.height || other.y >= r.y + r.height,
                                     qPrintable(name + " " + op.text.c_str()));
                        inks.push_back(r);
                    }
                    labels += int(inks.size()) - 1;

                    // A pole beyond the box: an arrow whose tip, inside the
                    // box, lies the pole's way from the centre.
                    for (const Complex &z : loop.poles()) {
                        const double px = centre.x + z.real() * unitPx;
                        const double py = centre.y - z.imag() * unitPx;
                        if (px >= box.topLeft.x && px < box.topLeft.x + box.size && py >= box.topLeft.y &&
                            py < box.topLeft.y + box.size)
                            continue;
                        ++arrows;
                        const bool shown = std::any_of(tips.begin(), tips.end(), [&](const Op &tip) {
                            const Point t = tip.points[0];
                            const double angle = std::arg(Complex(t.x - centre.x, centre.y - t.y) / z);
                            return std::abs(angle) < 0.1 && t.x > box.topLeft.x &&
                                   t.x < box.topLeft.x + box.size - 1 && t.y > box.topLeft.y &&
                                   t.y < box.topLeft.y + box.size - 1;
                        });
                        QVERIFY2(
                            shown,
                            qPrintable(QString("%1: pole %2 %3i").arg(name).arg(z.real()).arg(z.imag())));
                    }
                }
        // The cases the box was mended for are among those.
        QVERIFY(labels > 40);
        QVERIFY(arrows > 10);
    }

    // A kept run keeps its colour for its life, in the plots and in its
    // legend: keeping a fourth drops the oldest and gives the newest the
    // colour it freed. The plots' value labels are written over the kept
    // runs and the set-point, on a ground of their own.
    void keptRunsKeepTheirColours()
    {
        Screen w(freeSettingEntry);
        constexpr Color colours[] = {0x0080FF, 0xC000A0, 0x909000};
        for (double g : {1.0, 2.0, 3.0, 4.0}) {
            QVERIFY(!w.c.setFreeSettings(ramp(settings(Corrector::Proportional, g, T1, 800))));
            w.clearLogs();
            w.c.keepRun();
        }
        const auto legend = [&w](const char *name) {
            const Op *op = findOp(w.scene.ops, [&](const Op &o) { return o.text.starts_with(name); });
            return op ? op->font.color : Color(1);
        };
        QCOMPARE(legend("P, G=2, T=T1"), colours[1]);
        QCOMPARE(legend("P, G=3, T=T1"), colours[2]);
        QCOMPARE(legend("P, G=4, T=T1"), colours[0]);

        w.c.Button1Click();
        do
            w.clearLogs();
        while (w.c.Timer1Timer().tick != endTick);
        const OpLog &ops = w.window.ops;
        int labels = 0;
        for (std::size_t i = 1; i < ops.size(); ++i) {
            const Op &op = ops[i];
            if (op.kind != Op::Kind::Text || op.points[0].y < 250 || op.points[0].x > 640 ||
                !(op.text == "T" || op.text == "2T" || op.text.ends_with("V")))
                continue;
            ++labels;
            const Op &ground = ops[i - 1];
            QVERIFY2(ground.kind == Op::Kind::Rect && ground.brush.color == clFace &&
                         ground.points[0] == (Point{op.points[0].x, op.points[0].y + 1}),
                     op.text.c_str());
            for (std::size_t j = i + 1; j < ops.size() && ops[j].points[0].x < 650; ++j) // up to the z-plane
                QVERIFY2(std::find(std::begin(colours), std::end(colours), ops[j].pen.color) ==
                                 std::end(colours) &&
                             ops[j].pen.style != PenStyle::Dot,
                         op.text.c_str());
        }
        QCOMPARE(labels, 4 + periodCount);
    }

    // Runs kept at other periods and horizons are drawn on the run's time
    // axis, at their own times: each period's step of a kept run at kT, a
    // run of 0.8 s over half of a 1.6 s axis; the run's samples at kT too.
    void keptRunsOnOneTimeAxis()
    {
        Screen w(freeSettingEntry);
        struct Kept {
            double period;
            Color colour;
        };
        const Kept kept[] = {{2 * T1, 0x0080FF}, {T1 / 4, 0xC000A0}};
        for (const Kept &k : kept) {
            QVERIFY(!w.c.setFreeSettings(settings(Corrector::Proportional, 2.5, k.period)));
            w.c.keepRun();
        }
        QVERIFY(!w.c.setFreeSettings(over(settings(Corrector::Proportional, 2.5, T1 / 2), 1.6)));
        w.c.Button1Click();
        do
            w.clearLogs();
        while (w.c.Timer1Timer().tick != endTick);
        const double axis = 1.6;
        for (const Kept &k : kept) {
            // The command's steps, a pixel a tick of the axis from x = 49.
            std::set<int> steps;
            int rightmost = 0;
            for (const Op &op : w.window.ops) {
                if (op.kind != Op::Kind::Line || op.pen.color != k.colour)
                    continue;
                if (op.points[0].x < 390 && op.points[0].x == op.points[1].x && op.points[0].x > 40)
                    steps.insert(op.points[0].x);
                if (op.points[0].x >= 390)
                    rightmost = std::max({rightmost, op.points[0].x, op.points[1].x});
            }
            std::set<int> expected;
            for (int i = 0; i < int(std::lround(0.8 / k.period)); ++i)
                expected.insert(49 + int(std::lround(i * k.period / axis * endTick)));
            QVERIFY(steps == expected);
            // Its position trace ends at 0.8 s, half of the right-hand axis.
            QCOMPARE(rightmost, 400 + int(0.8 / axis * 240));
        }
        // The run's sample squares at kT, k = 1 to 32.
        std::vector<int> squares;
        for (const Op &op : w.window.ops)
            if (op.kind == Op::Kind::Rect && op.pen.color == clRed && op.points[0].y > 250)
                squares.push_back(op.points[0].x + 2);
        QCOMPARE(int(squares.size()), 32);
        for (int k = 1; k <= 32; ++k)
            QCOMPARE(squares[std::size_t(k - 1)], 400 + int(k * T1 / 2 / axis * 240));
    }

    // K keeps up to three runs, the oldest dropped first and none twice;
    // Shift+K and another entry clear them; each shows at once in its colour.
    void keptRuns()
    {
        Screen w(freeSettingEntry);
        const auto keptGains = [&w] {
            std::vector<double> gains;
            const auto state = nlohmann::json::parse(stateJson(w.c));
            for (const auto &k : state["explore"]["kept"])
                gains.push_back(k["gain"].get<double>());
            return gains;
        };
        // What K did, or why it kept nothing, for the shell to say.
        const char *said[] = {"Courbe gardée (1 sur 3).", "Courbe gardée (2 sur 3).",
                              "Rien à garder : cette courbe est déjà gardée.", "Courbe gardée (3 sur 3).",
                              "Courbe gardée ; la plus ancienne est effacée."};
        int i = 0;
        for (double g : {1.0, 2.0, 2.0, 3.0, 4.0}) {
            QVERIFY(!w.c.setFreeSettings(settings(Corrector::Proportional, g, T1)));
            w.clearLogs();
            QCOMPARE(w.c.keepRun(), std::string(said[i++]));
        }
        QCOMPARE(keptGains(), (std::vector<double>{2, 3, 4}));
        QVERIFY(findOp(w.scene.ops, [](const Op &op) { return op.text == "P, G=4, T=T1"; }));
        QVERIFY(findOp(w.window.ops, [](const Op &op) { return op.pen.color == 0x909000; }));

        w.c.clearKept();
        QVERIFY(keptGains().empty());
        w.c.keepRun();
        w.c.choix(2);
        QVERIFY(keptGains().empty());
        QCOMPARE(w.c.keepRun(), // nothing to keep on another entry
                 std::string("Rien à garder : K garde les courbes de « Boucle fermée : réglage libre »."));
        QVERIFY(keptGains().empty());
    }

    // K before any run keeps the prediction, which is the run by
    // construction: the run that follows is kept already.
    void keptBeforeAnyRun()
    {
        Screen w;
        w.c.choix(freeSettingEntry);
        w.c.Timer1Timer();
        QCOMPARE(w.c.keepRun(), std::string("Courbe gardée (1 sur 3)."));
        QCOMPARE(w.c.kept().size(), std::size_t(1));
        QVERIFY(w.c.kept().front().loop.settings() == w.c.freeSettings());
        w.c.Button1Click();
        for (int i = 0; i < 330; ++i)
            w.c.Timer1Timer();
        QCOMPARE(w.c.keepRun(), std::string("Rien à garder : cette courbe est déjà gardée."));
        QCOMPARE(w.c.kept().size(), std::size_t(1));
    }
};

QTEST_MAIN(TestFreeSetting)
#include "tst_freesetting.moc"
