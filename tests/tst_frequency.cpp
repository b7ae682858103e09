// The open loop in frequency and its stability margins, against L evaluated
// directly where the margins say, the critical gain, the Nyquist curve's
// crossing of the negative real axis, and what the views area draws.

#include "engine/statejson.h"
#include "model/frequency.h"
#include "surfaces.h"

#include <QTest>

#include <nlohmann/json.hpp>

#include <cmath>
#include <numbers>

using namespace lodrix;

namespace {

constexpr double T1 = motorTimeConstant;

FreeSettings settings(Corrector c, double gain, double period)
{
    FreeSettings s;
    s.corrector = c;
    s.gain = gain;
    s.period = period;
    return s;
}

double degrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

// Where the sampled Nyquist curve crosses the negative real axis farthest
// from 0, interpolated between its samples; its end at pi/T counts, where L
// is real.
std::optional<double> farthestNegativeCrossing(const FrequencyResponse &r)
{
    std::optional<double> farthest;
    const auto consider = [&](double x) {
        if (x < 0.0 && (!farthest || x < *farthest))
            farthest = x;
    };
    for (std::size_t i = 1; i < r.points.size(); ++i) {
        const Complex a = r.points[i - 1].value;
        const Complex b = r.points[i].value;
        if ((a.imag() < 0.0) != (b.imag() < 0.0))
            consider(a.real() + (b.real() - a.real()) * a.imag() / (a.imag() - b.imag()));
    }
    consider(r.points.back().value.real());
    return farthest;
}

} // namespace

class TestFrequency : public QObject {
    Q_OBJECT

private slots:
    void margins_data()
    {
        addColumns<int, double, double>({"corrector", "gain", "period"});
        for (double period : periodChoices)
            for (double gain : {0.5, 2.5, 8.0, 30.0}) {
                const std::string p = periodName(period);
                QTest::addRow("P G=%g T=%s", gain, p.c_str())
                    << int(Corrector::Proportional) << gain << period;
                QTest::addRow("PC G=%g T=%s", gain, p.c_str())
                    << int(Corrector::PoleCompensation) << gain << period;
            }
        for (double period : periodChoices)
            QTest::addRow("DB T=%s", periodName(period).c_str()) << int(Corrector::TwoStep) << 1.0 << period;
    }

    // Each margin read where it says: |L| = 1 at wGain, with the phase
    // margin 180 + arg L there; L real and negative at wPhase, 1/|L| the
    // gain margin; with a gain, the margin the factor to the critical gain;
    // the Nyquist curve through -1/MG.
    void margins()
    {
        QFETCH(int, corrector);
        QFETCH(double, gain);
        QFETCH(double, period);
        const FreeSettings s = settings(Corrector(corrector), gain, period);
        const FrequencyResponse r = frequencyResponse(s);
        const StabilityMargins &m = r.margins;
        QVERIFY(m.gain && m.wPhase && m.gainDb);
        const Complex atPhase = openLoopAt(s, *m.wPhase);
        QVERIFY2(std::abs(atPhase.imag()) < 1e-6 * std::abs(atPhase), "arg L is not -180° at wPhase");
        QVERIFY(atPhase.real() < 0.0);
        QCOMPARE_LE(std::abs(*m.gain * std::abs(atPhase) - 1.0), 1e-9);
        QCOMPARE_LE(std::abs(*m.gainDb - 20.0 * std::log10(*m.gain)), 1e-9);
        QVERIFY(*m.wPhase > r.lowest && *m.wPhase <= r.nyquist);
        if (m.phase) {
            const Complex atGain = openLoopAt(s, *m.wGain);
            QCOMPARE_LE(std::abs(std::abs(atGain) - 1.0), 1e-9);
            QCOMPARE_LE(std::abs(std::remainder(degrees(std::arg(atGain)) + 180.0 - *m.phase, 360.0)), 1e-6);
        } else {
            for (const FrequencyPoint &p : r.points)
                QVERIFY2(std::abs(p.value) < 1.0, "|L| passes 1 with no phase margin");
        }
        if (hasGain(s.corrector)) {
            const std::optional<double> gc = criticalGain(s);
            QVERIFY(gc);
            QCOMPARE_LE(std::abs(*m.gain - *gc / gain), 1e-6 * *m.gain);
            // Stable exactly while the gain margin is above 1.
            QCOMPARE(*m.gain > 1.0, SampledLoop(s).stable());
        }
        const std::optional<double> crossing = farthestNegativeCrossing(r);
        QVERIFY(crossing);
        QCOMPARE_LE(std::abs(*crossing + 1.0 / *m.gain), 1e-3 / *m.gain);
    }

    // The phase followed along w: no jump of more than 90° between two
    // samples, and from -90° at low frequency (the plant's integrator).
    void phaseUnwrapped()
    {
        for (double period : periodChoices)
            for (Corrector c : {Corrector::Proportional, Corrector::PoleCompensation, Corrector::TwoStep}) {
                const FrequencyResponse r = frequencyResponse(settings(c, 4.0, period));
                QCOMPARE_LE(std::abs(r.points.front().phaseDeg + 90.0), 5.0);
                for (std::size_t i = 1; i < r.points.size(); ++i)
                    QCOMPARE_LE(std::abs(r.points[i].phaseDeg - r.points[i - 1].phaseDeg), 90.0);
                QCOMPARE(r.points.front().w, 0.01 / period);
                QCOMPARE_LE(std::abs(r.points.back().w - std::numbers::pi / period), 1e-6 / period);
            }
    }

    // The state line's margins, null where the curve has no such crossing:
    // at the smallest gain and period, |L| never reaches 1.
    void stateMargins()
    {
        Screen<> w(5);
        QVERIFY(!w.c.setFreeSettings(settings(Corrector::Proportional, minGain, T1 / 4)));
        auto margins = nlohmann::json::parse(stateJson(w.c))["explore"]["margins"];
        QVERIFY(margins["phase"].is_null() && margins["wGain"].is_null());
        const double expected = *criticalGain(w.c.freeSettings()) / minGain;
        QCOMPARE_LE(std::abs(margins["gain"].get<double>() - expected), 1e-6 * expected);
        QVERIFY(!w.c.setFreeSettings(settings(Corrector::Proportional, 2.5, T1)));
        margins = nlohmann::json::parse(stateJson(w.c))["explore"]["margins"];
        QVERIFY(margins["phase"].is_number() && margins["wGain"].is_number());
        QVERIFY(nlohmann::json::parse(stateJson(w.c))["view"]["name"] == "locus");
    }

    // A change of view draws the frame on screen again with the view in its
    // box, texts at least the plots' 8 points, and nothing outside the box
    // but what the frame drew before.
    void viewsDrawInTheirBox_data()
    {
        addColumns<int, bool>({"view", "large"});
        for (int v = 1; v < freeViewCount; ++v)
            for (bool large : {false, true})
                QTest::addRow("%s%s", freeViewName(FreeView(v)), large ? " large" : "") << v << large;
    }
    void viewsDrawInTheirBox()
    {
        QFETCH(int, view);
        QFETCH(bool, large);
        Screen<> w(5);
        w.next();
        w.window.ops.clear();
        w.c.setFreeViews({FreeView(view), large});
        QCOMPARE(w.c.freeViews().shown, FreeView(view));
        const ViewBox box = freeViewBox(large);
        bool drewTheBox = false;
        for (const Op &op : w.window.ops) {
            const bool inBox = std::all_of(op.points.begin(), op.points.end(), [&](const Point &p) {
                return p.x >= box.left && p.x <= box.right() && p.y >= box.top && p.y <= box.bottom();
            });
            if (op.kind == Op::Kind::Rect && op.points[0] == Point{box.left, box.top})
                drewTheBox = true;
            // In its place the view comes before the texts under it.
            const bool textBelow = op.kind == Op::Kind::Text && op.points[0].y >= box.bottom();
            if (drewTheBox && !textBelow) {
                QVERIFY2(inBox, "a view draws outside its box");
                if (op.kind == Op::Kind::Text)
                    QCOMPARE_GE(op.font.size, 8);
            }
        }
        QVERIFY(drewTheBox);
    }
};

QTEST_MAIN(TestFrequency)
#include "tst_frequency.moc"
