// The tick dispatcher and the period sequencing, driven tick by tick.

#include "engine/animation.h"

#include <QTest>

#include <algorithm>
#include <vector>

using namespace lodrix;

namespace {

// Runs ticks until one draws nothing; returns the ticks of the frames drawn.
std::vector<int> playUntilHalt(AnimationState &s, Page page, int limit = 1000)
{
    std::vector<int> ticks;
    for (int i = 0; i < limit; ++i) {
        const Frame f = dispatchTick(s);
        if (f.page == Page::None)
            break;
        if (f.page != page)
            qFatal("unexpected page");
        ticks.push_back(f.tick);
    }
    return ticks;
}

} // namespace

class TestAnimation : public QObject {
    Q_OBJECT
private slots:
    void idleRedrawsForever()
    {
        AnimationState s;
        for (int i = 0; i < 5; ++i)
            QCOMPARE(dispatchTick(s), (Frame{Page::Idle, 0}));
        QCOMPARE(s.compteur, 0);
    }

    void timelines_data()
    {
        QTest::addColumn<int>("rubrique");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("firstTick");
        QTest::addColumn<int>("lastTick");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("finalCompteur");
        QTest::addRow("presentation") << 0 << int(Page::Presentation) << -2 << -100 << 99 << -100;
        QTest::addRow("open loop") << 1 << int(Page::OpenLoop) << 2 << 300 << 299 << 300;
        QTest::addRow("proportional") << 2 << int(Page::Proportional) << 2 << 320 << 319 << 1320;
        QTest::addRow("pole compensation") << 3 << int(Page::PoleCompensation) << 2 << 320 << 319 << 2320;
        QTest::addRow("two-step") << 4 << int(Page::TwoStep) << 2 << 320 << 319 << 3320;
    }
    void timelines()
    {
        QFETCH(int, rubrique);
        QFETCH(int, page);
        QFETCH(int, firstTick);
        QFETCH(int, lastTick);
        QFETCH(int, frames);
        QFETCH(int, finalCompteur);
        AnimationState s;
        s.rubrique = rubrique;
        QVERIFY(startPage(s));
        const auto ticks = playUntilHalt(s, Page(page));
        QCOMPARE(int(ticks.size()), frames);
        QCOMPARE(ticks.front(), firstTick);
        QCOMPARE(ticks.back(), lastTick);
        QCOMPARE(s.compteur, finalCompteur);
        // A finished page stays finished, whatever later ticks come.
        QCOMPARE(dispatchTick(s), Frame{});
        QCOMPARE(s.compteur, finalCompteur);
    }

    void pageTickIsStoredPerEntry()
    {
        AnimationState s;
        s.rubrique = 3;
        startPage(s);
        for (int i = 0; i < 10; ++i)
            dispatchTick(s);
        QCOMPARE(s.compteur3, 11);
        QCOMPARE(s.compteur2, 0);
        QCOMPARE(s.compteur4, 0);
    }

    // Each press of "Incrémenter la période" plays exactly one period.
    void stepModeReleaseWindows_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("firstTick");
        QTest::addColumn<int>("lastTick");
        QTest::addColumn<int>("waitingAt");
        QTest::addColumn<double>("startAngle");
        QTest::addRow("period 1") << 1 << 2 << 39 << 2039 << 0.0;
        QTest::addRow("period 2") << 2 << 41 << 79 << 2079 << 0.073;
        QTest::addRow("period 3") << 3 << 81 << 119 << 2119 << 0.181;
        QTest::addRow("period 7") << 7 << 241 << 279 << 2279 << 0.293;
        QTest::addRow("period 8") << 8 << 281 << 320 << 2320 << 0.293;
    }
    void stepModeReleaseWindows()
    {
        QFETCH(int, period);
        QFETCH(int, firstTick);
        QFETCH(int, lastTick);
        QFETCH(int, waitingAt);
        QFETCH(double, startAngle);
        AnimationState s;
        s.rubrique = 3;
        s.modeAnimation = 1;
        PeriodAdvance advance;
        for (int k = 1; k <= period; ++k) {
            advance = advancePeriod(s);
            QVERIFY(advance.applied);
            if (k < period)
                playUntilHalt(s, Page::PoleCompensation);
        }
        QCOMPARE(s.periode, period);
        QCOMPARE(advance.thetaPrec, startAngle);
        const auto ticks = playUntilHalt(s, Page::PoleCompensation);
        QCOMPARE(ticks.front(), firstTick);
        QCOMPARE(ticks.back(), lastTick);
        QCOMPARE(s.compteur, waitingAt);
    }

    // Ticks 40, 80, ..., 280 belong to a period's window but are never drawn
    // step by step: the press starts the period one tick later.
    void stepModeSkipsPeriodStartTicks()
    {
        AnimationState s;
        s.rubrique = 2;
        s.modeAnimation = 1;
        std::vector<int> drawn;
        for (int k = 1; k <= periodCount; ++k) {
            advancePeriod(s);
            const auto ticks = playUntilHalt(s, Page::Proportional);
            drawn.insert(drawn.end(), ticks.begin(), ticks.end());
        }
        QCOMPARE(int(drawn.size()), 319 - 7);
        for (int t = 40; t <= 280; t += 40)
            QVERIFY(std::find(drawn.begin(), drawn.end(), t) == drawn.end());
        QCOMPARE(drawn.back(), endTick);
    }

    void pressAfterPeriodEightStartsOver()
    {
        AnimationState s;
        s.rubrique = 4;
        s.modeAnimation = 1;
        s.periode = 8;
        s.compteur = 3320;
        const PeriodAdvance a = advancePeriod(s);
        QVERIFY(a.clearTextArea);
        QCOMPARE(s.periode, 1);
        QCOMPARE(s.compteur, 3001);
        QCOMPARE(a.thetaPrec, 0.0);
    }

    void pressInTheMiddleOfAPeriodJumpsToTheNext()
    {
        AnimationState s;
        s.rubrique = 2;
        s.modeAnimation = 1;
        s.periode = 3;
        s.compteur = 1095;
        const PeriodAdvance a = advancePeriod(s);
        QCOMPARE(s.periode, 4);
        QCOMPARE(s.compteur, 1120);
        QCOMPARE(a.thetaPrec, 0.138);
        QCOMPARE(dispatchTick(s), (Frame{Page::Proportional, 121}));
    }

    void pressOutsideStepModeChangesNothing_data()
    {
        QTest::addColumn<int>("rubrique");
        QTest::addColumn<int>("mode");
        QTest::addRow("continuous") << 2 << 0;
        QTest::addRow("no mode yet") << 3 << -1;
        QTest::addRow("open-loop entry") << 1 << 1;
        QTest::addRow("nothing chosen") << -1 << 1;
    }
    void pressOutsideStepModeChangesNothing()
    {
        QFETCH(int, rubrique);
        QFETCH(int, mode);
        AnimationState s;
        s.rubrique = rubrique;
        s.modeAnimation = mode;
        s.periode = 2;
        s.compteur = 1050;
        QVERIFY(!advancePeriod(s).applied);
        QCOMPARE(s.periode, 2);
        QCOMPARE(s.compteur, 1050);
    }

    void releaseConditionRefusesStaleCounters_data()
    {
        QTest::addColumn<int>("compteur");
        QTest::addColumn<int>("periode");
        QTest::addColumn<bool>("draws");
        QTest::addRow("period 5 at b+10") << 1010 << 5 << false;
        QTest::addRow("period 3 at b+80") << 1080 << 3 << true;
        QTest::addRow("period 3 at b+119") << 1119 << 3 << false;
        QTest::addRow("entry 2 finished") << 1320 << 0 << false;
        QTest::addRow("period 8 at b+319") << 2319 << 8 << true;
        QTest::addRow("unknown period") << 3050 << 9 << false;
    }
    void releaseConditionRefusesStaleCounters()
    {
        QFETCH(int, compteur);
        QFETCH(int, periode);
        QFETCH(bool, draws);
        AnimationState s;
        s.compteur = compteur;
        s.periode = periode;
        const Frame f = dispatchTick(s);
        QCOMPARE(f.page != Page::None, draws);
        QCOMPARE(s.compteur, draws ? compteur + 1 : compteur);
    }

    void startWithNothingChosen()
    {
        AnimationState s;
        s.compteur = 0;
        QVERIFY(!startPage(s));
        QCOMPARE(s.compteur, 0);
    }

    void periodWindows()
    {
        QCOMPARE(periodOf(2), 1);
        QCOMPARE(periodOf(39), 1);
        QCOMPARE(periodOf(40), 2);
        QCOMPARE(periodOf(279), 7);
        QCOMPARE(periodOf(319), 8);
        QCOMPARE(periodOf(320), 0);
        QCOMPARE(armPeriodOf(320), 8);
    }
};

QTEST_APPLESS_MAIN(TestAnimation)
#include "tst_animation.moc"
