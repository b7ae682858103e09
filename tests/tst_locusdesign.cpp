// Designing on the views box of the free-setting entry, driven as a shell
// drives the controller: a press on the locus, its readout, the « Gc(T) »
// view's click, and the critical gain at every offered period.

#include "engine/statejson.h"
#include "model/locusdesign.h"
#include "pages/freesetting.h"
#include "settings/settings.h"
#include "surfaces.h"

#include <nlohmann/json.hpp>

#include <QTest>

#include <cmath>
#include <map>
#include <memory>

using namespace lodrix;

Q_DECLARE_METATYPE(lodrix::Corrector)
Q_DECLARE_METATYPE(std::complex<double>)

namespace {

FreeSettings settingsOf(Corrector corrector, double period, double gain = 2.5)
{
    FreeSettings s;
    s.corrector = corrector;
    s.period = period;
    s.gain = gain;
    return s;
}

double spectralRadiusAt(FreeSettings s, double gain)
{
    s.gain = gain;
    return spectralRadius(closedLoopPoles(s));
}

// Entry 5 chosen with these settings, the box showing `view`.
std::unique_ptr<Screen<>> freeScreen(const FreeSettings &s, FreeView view = FreeView::Locus)
{
    auto w = std::make_unique<Screen<>>();
    w->c.choix(freeSettingEntry);
    w->c.setFreeSettings(s);
    w->c.setFreeViews({view, false});
    return w;
}

} // namespace

class TestLocusDesign : public QObject {
    Q_OBJECT

private slots:
    // A press on a drawn point of a branch sets a gain (as the slider rounds
    // it) whose closed-loop poles include that point, to the pixel.
    void pickOnLocus_data()
    {
        addColumns<Corrector, double, int, double>({"corrector", "period", "branch", "along"});
        for (Corrector c : {Corrector::Proportional, Corrector::PoleCompensation})
            for (double period : periodChoices)
                for (int branch : {0, 1})
                    for (double along : {0.15, 0.5, 0.85})
                        QTest::addRow("%s T=%g branch %d at %g", c == Corrector::Proportional ? "P" : "PC",
                                      period, branch, along)
                            << c << period << branch << along;
    }
    void pickOnLocus()
    {
        QFETCH(Corrector, corrector);
        QFETCH(double, period);
        QFETCH(int, branch);
        QFETCH(double, along);
        auto w = freeScreen(settingsOf(corrector, period, 0.5));
        const ZPlaneBox box = freeSettingZPlane;
        const RootLocus &locus = w->c.freeLoop().locus();
        if (std::size_t(branch) >= locus.branches.size())
            QSKIP("the loop has fewer branches");
        // The points of the branch drawn inside the plane, away from its edges.
        std::vector<Point> drawn;
        for (const Complex &z : locus.branches[std::size_t(branch)]) {
            const Point p = ZPlanePixel(box, z);
            if (p.x > box.topLeft.x + 4 && p.x < box.topLeft.x + box.size - 4 && p.y > box.topLeft.y + 20 &&
                p.y < box.topLeft.y + box.size - 4)
                drawn.push_back(p);
        }
        QVERIFY(!drawn.empty());
        const Point p = drawn[std::size_t(along * double(drawn.size() - 1))];
        QVERIFY(w->c.viewPress(p));
        w->c.viewRelease();
        const FreeSettings &s = w->c.freeSettings();
        QCOMPARE(s.gain, designGain(s.gain));
        const Complex target = ZPlanePoint(box, p);
        double nearest = 1e9;
        for (const Complex &z : closedLoopPoles(s))
            nearest = std::min(nearest, std::abs(z - target));
        const double pixel = 1.0 / (box.size / 3);
        QVERIFY2(nearest <= 1.5 * pixel,
                 qPrintable(QString("G=%1: nearest pole %2 px away").arg(s.gain).arg(nearest / pixel)));
        // The readout shows what the press set.
        QVERIFY(w->c.freeViews().pointed.has_value());
        QCOMPARE(w->c.freeViews().pointed->gain, s.gain);
    }

    // A press off every branch, or outside the box, sets nothing; a drag
    // follows the branch taken; the arrow keys step G as the slider does.
    void pressDragAndKeys()
    {
        auto w = freeScreen(settingsOf(Corrector::Proportional, 0.1, 0.5));
        const ZPlaneBox box = freeSettingZPlane;
        const FreeSettings before = w->c.freeSettings();
        QVERIFY(w->c.viewPress({box.topLeft.x + 3, box.topLeft.y + box.size - 3}));
        QVERIFY(!w->c.viewPress({box.topLeft.x - 5, box.topLeft.y + 40}));
        QVERIFY(w->c.freeSettings() == before);
        // The complex branch: from low on it to high on it, dragged.
        const std::vector<Complex> upper = w->c.freeLoop().locus().branches[0];
        std::size_t first = 0;
        while (first < upper.size() && std::abs(upper[first].imag()) < 0.1)
            ++first;
        QVERIFY(first + 80 < upper.size());
        w->c.viewPress(ZPlanePixel(box, upper[first]));
        const double pressed = w->c.freeSettings().gain;
        w->c.viewPointer(ZPlanePixel(box, upper[first + 80]));
        const double dragged = w->c.freeSettings().gain;
        w->c.viewRelease();
        QVERIFY2(dragged > 1.5 * pressed, qPrintable(QString("%1 -> %2").arg(pressed).arg(dragged)));
        const double g = w->c.freeSettings().gain;
        w->c.viewStep(1);
        QCOMPARE(w->c.freeSettings().gain, gainAtSliderPosition(sliderPositionOfGain(g) + 1));
        w->c.viewStep(-gainSliderPositions);
        QCOMPARE(w->c.freeSettings().gain, minGain);
    }

    // The readout's damping ratio and natural frequency give back the pole:
    // z = e^(sT) with s = -zeta wn + j wn sqrt(1 - zeta^2) (or, for a real
    // pole, the real s of the same wn).
    void readout_data()
    {
        addColumns<Complex, double>({"z", "period"});
        QTest::addRow("complex, T1") << Complex(0.6, 0.5) << 0.1;
        QTest::addRow("complex, T1/4") << Complex(0.9, 0.1) << 0.025;
        QTest::addRow("lower half") << Complex(0.3, -0.7) << 0.05;
        QTest::addRow("real, inside") << Complex(0.5, 0.0) << 0.2;
        QTest::addRow("negative real") << Complex(-0.4, 0.0) << 0.1;
        QTest::addRow("outside") << Complex(0.8, 0.9) << 0.1;
    }
    void readout()
    {
        QFETCH(Complex, z);
        QFETCH(double, period);
        const auto c = poleCharacter(z, period);
        QVERIFY(c.has_value());
        QVERIFY(c->damping >= -1.0 && c->damping <= 1.0);
        const double wd = c->naturalFrequency * std::sqrt(std::max(0.0, 1.0 - c->damping * c->damping));
        const Complex s(-c->damping * c->naturalFrequency, z.imag() < 0 ? -wd : wd);
        Complex back = std::exp(s * period);
        // A negative real pole is the real s shifted by j pi/T: its wd is pi/T.
        QVERIFY2(std::abs(back - z) < 1e-9, qPrintable(QString("%1%2j").arg(back.real()).arg(back.imag())));
        QVERIFY(!poleCharacter(Complex(0.0), period).has_value());
    }

    // What the hand points at, on the controller: the pole of the gain read
    // out, and drawn with its damping ratio.
    void hoverReadout()
    {
        auto w = freeScreen(settingsOf(Corrector::Proportional, 0.1, 0.5));
        const ZPlaneBox box = freeSettingZPlane;
        const std::vector<Complex> upper = w->c.freeLoop().locus().branches[0];
        const Complex z = upper[upper.size() / 2];
        w->window.ops.clear();
        w->c.viewPointer(ZPlanePixel(box, z));
        const auto &pointed = w->c.freeViews().pointed;
        QVERIFY(pointed.has_value());
        QCOMPARE(w->c.freeSettings().gain, 0.5); // pointing sets nothing
        FreeSettings at = w->c.freeSettings();
        at.gain = pointed->gain;
        QVERIFY(std::abs(poleNearest(at, pointed->pole) - pointed->pole) < 1e-9);
        const auto c = poleCharacter(pointed->pole, 0.1);
        const std::string damping = "ζ=" + NumberFormat(",").general(std::round(c->damping * 100) / 100);
        QVERIFY(std::any_of(w->window.ops.begin(), w->window.ops.end(), [&](const Op &op) {
            return op.kind == Op::Kind::Text && op.text.find(damping) != std::string::npos;
        }));
        w->c.viewPointer(std::nullopt);
        QVERIFY(!w->c.freeViews().pointed.has_value());
    }

    // Gc at each offered period: stable just under it, unstable just over
    // it; for P it grows as the period shrinks; none for the two-step one.
    void criticalGainByPeriod_data()
    {
        addColumns<Corrector>({"corrector"});
        QTest::addRow("P") << Corrector::Proportional;
        QTest::addRow("PC") << Corrector::PoleCompensation;
        QTest::addRow("DB") << Corrector::TwoStep;
    }
    void criticalGainByPeriod()
    {
        QFETCH(Corrector, corrector);
        auto w = freeScreen(settingsOf(corrector, 0.1));
        const auto json = nlohmann::json::parse(stateJson(w->c))["explore"]["criticalGainByPeriod"];
        QCOMPARE(json.size(), periodChoices.size());
        double previous = 1e300;
        for (std::size_t i = 0; i < periodChoices.size(); ++i) {
            QCOMPARE(json[i][0].get<double>(), periodChoices[i]);
            if (!hasGain(corrector)) {
                QVERIFY(json[i][1].is_null());
                continue;
            }
            const double gc = json[i][1].get<double>();
            const FreeSettings s = settingsOf(corrector, periodChoices[i]);
            QVERIFY2(spectralRadiusAt(s, gc * (1 - 1e-6)) < 1.0,
                     qPrintable(QString("T=%1").arg(periodChoices[i])));
            QVERIFY2(spectralRadiusAt(s, gc * (1 + 1e-6)) > 1.0,
                     qPrintable(QString("T=%1").arg(periodChoices[i])));
            if (corrector == Corrector::Proportional)
                QVERIFY(gc < previous);
            previous = gc;
        }
    }

    // The view's region, found on a coarser scan of the circle, gives the
    // stable gains stableGains finds, period by period.
    void regionAgreesWithStableGains_data()
    {
        addColumns<Corrector, double>({"corrector", "gain"});
        QTest::addRow("P") << Corrector::Proportional << 2.5;
        QTest::addRow("PC") << Corrector::PoleCompensation << 7.0;
    }
    void regionAgreesWithStableGains()
    {
        QFETCH(Corrector, corrector);
        QFETCH(double, gain);
        const PeriodGainRegion region = periodGainRegion(settingsOf(corrector, 0.1, gain), 9);
        QCOMPARE(region.periods.front(), shortestPeriod);
        QVERIFY(std::abs(region.periods.back() / longestPeriod - 1) < 1e-12);
        for (std::size_t i = 0; i < region.periods.size(); ++i) {
            const auto exact = stableGains(settingsOf(corrector, region.periods[i], gain));
            const auto &found = region.stable[i];
            QCOMPARE(found.size(), exact.size());
            for (std::size_t k = 0; k < exact.size(); ++k) {
                QVERIFY(std::abs(found[k].low / exact[k].low - 1) < 1e-6);
                QVERIFY(std::abs(found[k].high / exact[k].high - 1) < 1e-6);
            }
        }
    }

    // A click on the « Gc(T) » view, where it draws an offered period's line
    // and a decade of the gains, sets that period and that gain.
    void periodGainClick_data()
    {
        addColumns<Corrector, int, int>({"corrector", "periodIndex", "decade"});
        for (int i = 0; i < int(periodChoices.size()); ++i)
            for (int decade : {0, 1, 2})
                QTest::addRow("P %s G=%g", periodName(periodChoices[std::size_t(i)]).c_str(),
                              std::pow(10.0, decade - 1))
                    << Corrector::Proportional << i << decade;
        QTest::addRow("DB T1/2") << Corrector::TwoStep << 1 << 1;
    }
    void periodGainClick()
    {
        QFETCH(Corrector, corrector);
        QFETCH(int, periodIndex);
        QFETCH(int, decade);
        auto w = freeScreen(settingsOf(corrector, 0.2, 3.0), FreeView::PeriodGain);
        w->window.ops.clear();
        w->c.redraw();
        // Where the view drew its dotted lines: the periods' upright, the
        // gains' across, in the order of their values.
        std::vector<int> periodX;
        std::vector<int> gainY;
        const ZPlaneBox box = freeSettingZPlane;
        for (const Op &op : w->window.ops) {
            if (op.kind != Op::Kind::Line || op.pen.style != PenStyle::Dot ||
                op.points[0].x < box.topLeft.x || op.points[0].y < box.topLeft.y + 14)
                continue;
            if (op.points[0].x == op.points[1].x)
                periodX.push_back(op.points[0].x);
            else if (op.points[0].y == op.points[1].y)
                gainY.push_back(op.points[0].y);
        }
        QCOMPARE(periodX.size(), periodChoices.size());
        QVERIFY(gainY.size() >= 3);
        // Beside the line rather than on it: the nearest period all the same.
        const Point click{periodX[std::size_t(periodIndex)] + (periodIndex % 2 ? 3 : -3),
                          gainY[std::size_t(decade)]};
        QVERIFY(w->c.viewPress(click));
        const FreeSettings &s = w->c.freeSettings();
        QCOMPARE(s.period, periodChoices[std::size_t(periodIndex)]);
        // Within a pixel of the gain's scale, four decades over some hundred pixels.
        if (hasGain(corrector))
            QVERIFY2(std::abs(std::log10(s.gain) - (decade - 1)) < 0.05, qPrintable(QString::number(s.gain)));
        else
            QCOMPARE(s.gain, 3.0);
    }

    // Enlarged, the locus takes presses over the right-hand plot; the
    // frequency views take none; another entry takes no press.
    void largeAndOtherEntries()
    {
        auto w = freeScreen(settingsOf(Corrector::Proportional, 0.1));
        w->c.setFreeViews({FreeView::Locus, true});
        const ViewBox large = freeViewBox(true);
        const ZPlaneBox plane{{large.left, large.top}, large.height, large.width};
        const Complex pole = w->c.freeLoop().locus().branches[0][150];
        const Point p = ZPlanePixel(plane, pole);
        QVERIFY(w->c.viewPress(p));
        QVERIFY(std::abs(w->c.freeSettings().gain - w->c.freeLoop().locus().gains[150]) <
                0.05 * w->c.freeLoop().locus().gains[150]);
        w->c.viewRelease();
        w->c.setFreeViews({FreeView::Bode, false});
        const double gain = w->c.freeSettings().gain;
        QVERIFY(w->c.viewPress({freeSettingZPlane.topLeft.x + 75, freeSettingZPlane.topLeft.y + 75}));
        QCOMPARE(w->c.freeSettings().gain, gain);
        w->c.choix(2);
        QVERIFY(!w->c.viewPress({freeSettingZPlane.topLeft.x + 75, freeSettingZPlane.topLeft.y + 75}));
    }
};

QTEST_GUILESS_MAIN(TestLocusDesign)
#include "tst_locusdesign.moc"
