// The tick dispatcher and the period sequencing, driven tick by tick.

#include "engine/animation.h"

#include <QTest>

#include <vector>

using namespace lodrix;

namespace {

// Runs ticks until one draws nothing; returns the ticks of the frames drawn.
std::vector<int> playUntilHalt(AnimationState &s, Page page)
{
    std::vector<int> ticks;
    for (Frame f = dispatchTick(s); f.page != Page::None && ticks.size() < 1000; f = dispatchTick(s)) {
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
    void timelines_data()
    {
        for (const char *column : {"rubrique", "page", "firstTick", "lastTick", "frames", "finalCompteur"})
            QTest::addColumn<int>(column);
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
        QFETCH(int, lastTick);
        QFETCH(int, finalCompteur);
        AnimationState s;
        s.rubrique = rubrique;
        QVERIFY(startPage(s));
        const auto ticks = playUntilHalt(s, Page(page));
        QTEST(int(ticks.size()), "frames");
        QTEST(ticks.front(), "firstTick");
        QCOMPARE(ticks.back(), lastTick);
        QCOMPARE(s.compteur, finalCompteur);
        // A finished page stays finished, whatever later ticks come.
        QCOMPARE(dispatchTick(s), Frame{});
        QCOMPARE(s.compteur, finalCompteur);
        // Each closed-loop entry keeps its own page tick.
        const int pageTicks[] = {s.compteur2, s.compteur3, s.compteur4};
        for (int entry = 2; entry <= 4; ++entry)
            QCOMPARE(pageTicks[entry - 2], entry == rubrique ? lastTick : 0);
    }

    void startWithNothingChosen()
    {
        AnimationState s;
        QVERIFY(!startPage(s));
        QCOMPARE(s.compteur, 0);
        QCOMPARE(dispatchTick(s), (Frame{Page::Idle, 0}));
        QCOMPARE(s.compteur, 0);
    }

    // One tick from counters a handler may have left: only the window of the
    // current period steps.
    void releaseCondition_data()
    {
        QTest::addColumn<int>("compteur");
        QTest::addColumn<int>("periode");
        QTest::addColumn<bool>("draws");
        QTest::addRow("period 3 at b+79") << 1079 << 3 << false;
        QTest::addRow("period 3 at b+80") << 1080 << 3 << true;
        QTest::addRow("period 3 at b+119") << 1119 << 3 << false;
        QTest::addRow("entry 2 finished") << 1320 << 0 << false;
        QTest::addRow("period 8 at b+319") << 2319 << 8 << true;
        QTest::addRow("unknown period") << 3050 << 9 << false;
    }
    void releaseCondition()
    {
        QFETCH(int, compteur);
        QFETCH(int, periode);
        QFETCH(bool, draws);
        AnimationState s;
        s.compteur = compteur;
        s.periode = periode;
        QCOMPARE(dispatchTick(s).page != Page::None, draws);
        QCOMPARE(s.compteur, draws ? compteur + 1 : compteur);
    }

    // Each press of "Incrémenter la période" plays exactly one period, from
    // the tick after its first: ticks 40, 80, ..., 280 are never drawn step by
    // step.
    void stepModeReleaseWindows_data()
    {
        for (const char *column : {"period", "firstTick", "lastTick"})
            QTest::addColumn<int>(column);
        QTest::addRow("period 1") << 1 << 2 << 39;
        QTest::addRow("period 2") << 2 << 41 << 79;
        QTest::addRow("period 8, to the end tick") << 8 << 281 << 320;
    }
    void stepModeReleaseWindows()
    {
        QFETCH(int, period);
        QFETCH(int, lastTick);
        AnimationState s;
        s.rubrique = 3;
        s.modeAnimation = 1;
        for (int k = 1; k <= period; ++k) {
            QVERIFY(advancePeriod(s).applied);
            if (k < period)
                playUntilHalt(s, Page::PoleCompensation);
        }
        QCOMPARE(s.periode, period);
        const auto ticks = playUntilHalt(s, Page::PoleCompensation);
        QTEST(ticks.front(), "firstTick");
        QCOMPARE(ticks.back(), lastTick);
        QCOMPARE(int(ticks.size()), lastTick - ticks.front() + 1);
    }

    void press_data()
    {
        for (const char *column : {"rubrique", "mode", "periode", "compteur", "newPeriode", "newCompteur"})
            QTest::addColumn<int>(column);
        QTest::addColumn<bool>("applied");
        QTest::addColumn<bool>("clearTextArea");
        QTest::addColumn<double>("thetaPrec");
        QTest::addRow("after period 8 starts over")
            << 4 << 1 << 8 << 3320 << 1 << 3001 << true << true << 0.0;
        QTest::addRow("mid period 3 jumps to period 4")
            << 2 << 1 << 3 << 1095 << 4 << 1120 << true << false << 0.138;
        // Refused presses leave the counters as they were.
        QTest::addRow("continuous") << 2 << 0 << 2 << 1050 << 2 << 1050 << false << false << 0.0;
        QTest::addRow("no mode yet") << 3 << -1 << 2 << 1050 << 2 << 1050 << false << false << 0.0;
        QTest::addRow("open-loop entry") << 1 << 1 << 2 << 1050 << 2 << 1050 << false << false << 0.0;
        QTest::addRow("nothing chosen") << -1 << 1 << 2 << 1050 << 2 << 1050 << false << false << 0.0;
    }
    void press()
    {
        QFETCH(int, rubrique);
        QFETCH(int, mode);
        QFETCH(int, periode);
        QFETCH(int, compteur);
        AnimationState s{
            .compteur = compteur, .periode = periode, .rubrique = rubrique, .modeAnimation = mode};
        const PeriodAdvance a = advancePeriod(s);
        QTEST(a.applied, "applied");
        QTEST(s.periode, "newPeriode");
        QTEST(s.compteur, "newCompteur");
        QTEST(a.thetaPrec, "thetaPrec");
        QTEST(a.clearTextArea, "clearTextArea");
    }
};

QTEST_APPLESS_MAIN(TestAnimation)
#include "tst_animation.moc"
