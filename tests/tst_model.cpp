// The quantisations of the plant step: the value row rounds the angle and the
// voltage up, where a nearer value exists, and truncates the code. The
// open-loop numbers the lesson quotes are checked on its page.

#include "model/plant.h"
#include "render/numberformat.h"

#include <QTest>

using namespace lodrix;

Q_DECLARE_METATYPE(lodrix::PositionRule)

class TestModel : public QObject {
    Q_OBJECT

private slots:
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
        at("fixed rule shows its own values", 0.0, PositionRule::fixed(0.29, 0.98, 200), "0,29", "0,98", 200);
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
        const NumberFormat numbers(",");
        QTEST(QString::fromStdString(numbers.general(s.thetaAff)), "angle");
        QTEST(QString::fromStdString(numbers.general(s.V)), "volts");
        QTEST(s.X, "code");
    }
};

QTEST_APPLESS_MAIN(TestModel)
#include "tst_model.moc"
