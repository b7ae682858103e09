// The arm on bmpAnim and the sensor dial: where the tip lands, and what the
// painted pixels show, the arm over the overlay. The angles each page
// gives are checked on the pages.

#include "raster/rastercanvas.h"
#include "render/arm.h"
#include "surfaces.h"

#include <QTest>

#include <cmath>
#include <numbers>

using namespace lodrix;

namespace {

std::uint32_t pixelAt(const RasterCanvas &c, int x, int y)
{
    return c.pixels()[y * c.width() + x];
}

} // namespace

class TestArm : public QObject {
    Q_OBJECT

private slots:
    void tip_data()
    {
        QTest::addColumn<double>("alpha");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("yTop");
        QTest::addColumn<int>("yBottom");
        QTest::addRow("away from the viewer, left") << -1.4 << 93 << 10 << 20;
        QTest::addRow("idle, front left") << 1.68 * (1.0 - std::exp(-42.0 / 60.01)) << 43 << 62 << 72;
        QTest::addRow("level, left") << 0.0 << 10 << 40 << 50;
        QTest::addRow("level, right") << std::numbers::pi << 210 << 40 << 50;
        QTest::addRow("towards the viewer") << std::numbers::pi / 2 << 110 << 70 << 80;
    }
    void tip()
    {
        QFETCH(double, alpha);
        QFETCH(int, x);
        QFETCH(int, yTop);
        QFETCH(int, yBottom);
        QCOMPARE(armTip(alpha), (ArmTip{x, yTop, yBottom}));
    }

    // Painted: the arm in red over the shaft and over what the page adds,
    // the old arm erased, the whole bitmap copied onto the scene.
    void paintsArmOverOverlayOntoScene()
    {
        RasterCanvas anim(Surface::Anim, 360, 140);
        RasterCanvas scene(Surface::Scene, 785, 225);
        DrawArm(anim, scene, 0.0); // an old arm, tip at the far left
        bool overlaid = false;
        DrawArm(anim, scene, -1.4, [&](Canvas &a) {
            overlaid = true;
            a.pen.color = a.brush.color = clGreen;
            a.rectangle(90, 0, 140, 30); // under the arm's upper end, and beside it
        });
        QVERIFY(overlaid);
        const ArmTip tip = armTip(-1.4);
        const std::uint32_t red = toArgb(clRed), blue = toArgb(clBlue), green = toArgb(clGreen);
        QCOMPARE(pixelAt(anim, tip.x, (tip.yTop + tip.yBottom) / 2), red);
        QCOMPARE(pixelAt(anim, 110, 120), blue);         // the shaft, under the hub
        QCOMPARE(pixelAt(anim, 135, 5), green);          // the overlay beside the arm
        QCOMPARE(pixelAt(anim, 12, 45), toArgb(clFace)); // the old tip, erased
        for (int x = 0; x < 360; x += 7) {
            for (int y = 0; y < 140; y += 7)
                QCOMPARE(pixelAt(scene, animLeftOnScene + x, y), pixelAt(anim, x, y));
        }
    }

    // The track, the wiper pointing at beta into the centre, and the hub over
    // the wiper's end.
    void dial_data()
    {
        addColumns<double, int, int>({"beta", "x", "y"});
        QTest::addRow("to the left") << 0.0 << 210 << 75;
        QTest::addRow("up") << -std::numbers::pi / 2 << 225 << 60;
    }
    void dial()
    {
        QFETCH(double, beta);
        QFETCH(int, x);
        QFETCH(int, y);
        RasterCanvas anim(Surface::Anim, 360, 140);
        DrawSensorDial(anim, beta);
        QCOMPARE(pixelAt(anim, x, y), toArgb(clRed));
        QCOMPARE(pixelAt(anim, 225, 75), toArgb(clYellow));
        QCOMPARE(pixelAt(anim, 195, 95), toArgb(clBlue)); // the left terminal
        QCOMPARE(pixelAt(anim, 225, 51), toArgb(clBlue)); // the top of the track
    }
};

QTEST_APPLESS_MAIN(TestArm)
#include "tst_arm.moc"
