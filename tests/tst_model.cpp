// The plant step: the open-loop numbers the lesson quotes, and the rounding
// of the value row, which must round up where a nearer value exists.

#include "model/plant.h"
#include "render/numberformat.h"

#include <QtTest>

#include <cmath>

using namespace lodrix;

namespace {

QString shown(double value)
{
    return QString::fromStdString(NumberFormat(",").general(value));
}

// The open-loop page from a fresh start up to tick n: the page moves
// thetaPrec on itself, after its value row.
ModelState openLoopAt(int n)
{
    ModelState s;
    for (int tick = 2; tick <= n; ++tick) {
        openLoopModelStep(s, tick);
        s.thetaPrec = s.theta;
    }
    return s;
}

} // namespace

Q_DECLARE_METATYPE(lodrix::PositionRule)

class TestModel : public QObject {
    Q_OBJECT

private slots:
    void openLoopValueRow_data()
    {
        QTest::addColumn<int>("tick");
        QTest::addColumn<QStringList>("quoted"); // speed, angle, volts; "" where not quoted
        QTest::addColumn<int>("code");           // -1 where not quoted
        const auto at = [](const char *name, int tick, QStringList quoted, int code) {
            QTest::addRow("%s", name) << tick << quoted << code;
        };
        at("first drawn tick rounds everything up", 2, {"5", "0,01", "0,1"}, 20);
        at("one time constant", 60, {"93", "", ""}, -1);
        at("code truncated, 241.2", 200, {"", "", "1,2"}, 241);
        at("last tick", 300, {"146", "0,59", "2"}, 402);
    }

    void openLoopValueRow()
    {
        QFETCH(int, tick);
        QFETCH(QStringList, quoted);
        QFETCH(int, code);
        const ModelState s = openLoopAt(tick);
        const QStringList actual{shown(std::ceil(s.Omega1)), shown(s.thetaAff), shown(s.V)};
        for (qsizetype i = 0; i < quoted.size(); ++i) {
            if (!quoted[i].isEmpty())
                QCOMPARE(actual[i], quoted[i]);
        }
        if (code >= 0)
            QCOMPARE(s.X, code);
    }

    void openLoopCommandsAndAccumulator()
    {
        ModelState s;
        s.thetaPrec = 0.3;
        openLoopModelStep(s, 100);
        QCOMPARE(s.E, 1000);
        QCOMPARE(s.Ep, 1000);
        QCOMPARE(s.Epu, 1000);
        QCOMPARE(shown(s.U1), QString("4,9"));
        QCOMPARE(shown(s.U), QString("4,9"));
        // The page moves the accumulator on after drawing the value row.
        QCOMPARE(s.thetaPrec, 0.3);
        QVERIFY(s.theta > 0.3);
    }

    void quantisation_data()
    {
        QTest::addColumn<double>("theta");
        QTest::addColumn<PositionRule>("rule");
        QTest::addColumn<QString>("angle");
        QTest::addColumn<QString>("volts");
        QTest::addColumn<int>("code");
        const auto at = [](const char *name, double theta, PositionRule rule, const char *angle,
                           const char *volts, int code) {
            QTest::addRow("%s", name) << theta << rule << angle << volts << code;
        };
        const auto hundredth = [](double ks, double ga) { return PositionRule::integrated(0.0024, ks, ga); };
        at("just above 0.05 rad shows 0.06", 0.05 + 1e-12, hundredth(33.3, 206), "0,06", "0,17", 35);
        at("a multiple of 0.01 rad stays", 0.05, hundredth(33.3, 206), "0,05", "0,17", 35);
        at("rounds up where nearest is down", 0.2901, hundredth(34, 206), "0,3", "0,99", 203);
        at("tenth of a volt step", 0.03, PositionRule::integrated(0.00167, 33.3, 201, VoltStep::Tenth),
           "0,03", "0,1", 20);
        at("negative: ceil up, code toward zero", -0.0449, hundredth(34, 207), "-0,04", "-0,15", -31);
        at("held code, voltage still read", 0.2, PositionRule::integratedHoldingX(0.0024, 32.5, 140), "0,2",
           "0,65", 140);
    }

    void quantisation()
    {
        QFETCH(double, theta);
        QFETCH(PositionRule, rule);
        ModelState s;
        s.thetaPrec = theta;
        // A speed of zero leaves theta exactly at thetaPrec.
        applySegment(s, {0, 0, 0.0, SpeedLaw::zero(), rule}, 100);
        QCOMPARE(s.theta, theta);
        QTEST(shown(s.thetaAff), "angle");
        QTEST(shown(s.V), "volts");
        QTEST(s.X, "code");
    }

    void fixedRuleLeavesAngle()
    {
        ModelState s;
        s.theta = 0.123;
        applySegment(s, {2, -9, 0.0, SpeedLaw::ramp(5, -0.11, 199), PositionRule::fixed(0.29, 0.98, 200)},
                     209);
        QCOMPARE(s.theta, 0.123);
        QCOMPARE(shown(s.thetaAff), QString("0,29"));
        QCOMPARE(s.X, 200);
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
