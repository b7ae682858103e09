// The rule by which the form fills a room, the desktop's full screen and the
// browser's window alike: whole-pixel blocks while they cost a tenth of the
// room or less, the fitted scale otherwise.

#include "raster/formfit.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using namespace lodrix;

class TestFormFit : public QObject {
    Q_OBJECT

private slots:
    void fillingScale_data()
    {
        QTest::addColumn<double>("roomWidth");
        QTest::addColumn<double>("roomHeight");
        QTest::addColumn<double>("scale");
        // The form is 800 x 560; the expected scales are worked out by hand.
        QTest::addRow("projector 1920 x 1080: height-bound, 2 would leave a fifth")
            << 1920.0 << 1080.0 << 1080.0 / 560;
        QTest::addRow("1024 x 768: width-bound, 1 would leave a fifth") << 1024.0 << 768.0 << 1024.0 / 800;
        QTest::addRow("1366 x 768 laptop") << 1366.0 << 768.0 << 768.0 / 560;
        QTest::addRow("2560 x 1440") << 2560.0 << 1440.0 << 1440.0 / 560;
        QTest::addRow("4K, 3840 x 2160") << 3840.0 << 2160.0 << 2160.0 / 560;
        QTest::addRow("exactly twice the form") << 1600.0 << 1120.0 << 2.0;
        QTest::addRow("2.125 times: blocks of 2 cost 6 %%") << 1700.0 << 1190.0 << 2.0;
        QTest::addRow("1.1 times: blocks of 1 cost a tenth") << 880.0 << 616.0 << 1.0;
        QTest::addRow("1.12 times: blocks of 1 would cost more") << 896.0 << 627.2 << 1.12;
        QTest::addRow("3.3 times: blocks of 3") << 2640.0 << 1900.0 << 3.0;
        QTest::addRow("a wide strip") << 4000.0 << 600.0 << 1.0;
        QTest::addRow("smaller than the form: reduced") << 640.0 << 400.0 << 400.0 / 560;
        QTest::addRow("phone upright, 390 x 844 at 3") << 1170.0 << 2532.0 << 1170.0 / 800;
        QTest::addRow("phone sideways, 844 x 390 at 3") << 2532.0 << 1170.0 << 2.0;
        QTest::addRow("empty room") << 0.0 << 1080.0 << 0.0;
        QTest::addRow("negative room") << -1920.0 << 1080.0 << 0.0;
    }
    void fillingScale()
    {
        QFETCH(double, roomWidth);
        QFETCH(double, roomHeight);
        QFETCH(double, scale);
        const double got = lodrix::fillingScale(roomWidth, roomHeight, 800, 560);
        QVERIFY2(std::abs(got - scale) < 1e-9, qPrintable(QString::number(got, 'g', 12)));
        // Whatever the rule chose, the whole form is in the room.
        QVERIFY(800 * got <= std::max(roomWidth, 0.0) + 1e-6 &&
                560 * got <= std::max(roomHeight, 0.0) + 1e-6);
    }
};

QTEST_APPLESS_MAIN(TestFormFit)
#include "tst_formfit.moc"
