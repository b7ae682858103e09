// The arm on bmpAnim and the sensor dial: where the tip lands, and the order
// of painting that lets the arm pass over the overlay. The angles each page
// gives are checked on the pages.

#include "render/arm.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using namespace lodrix;

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
    }
    void tip()
    {
        QFETCH(double, alpha);
        QFETCH(int, x);
        QFETCH(int, yTop);
        QFETCH(int, yBottom);
        QCOMPARE(armTip(alpha), (ArmTip{x, yTop, yBottom}));
    }

    void paintsEraseShaftOverlayArmThenCopies()
    {
        RecordingCanvas anim(Surface::Anim);
        RecordingCanvas scene(Surface::Scene);
        anim.brush.style = BrushStyle::Clear;
        DrawArm(anim, scene, -1.4, [](Canvas &a) { a.textOut(1, 2, "overlay"); });

        QCOMPARE(anim.ops.size(), std::size_t(4));
        QCOMPARE(anim.ops[0].points, (std::vector<Point>{{0, 0}, {360, 140}}));
        QCOMPARE(anim.ops[0].brush.color, clFace);
        QCOMPARE(anim.ops[1].brush.color, clBlue);
        QCOMPARE(anim.ops[2].text, std::string("overlay"));
        const Op &arm = anim.ops[3];
        QCOMPARE(arm.points, (std::vector<Point>{{110, 50}, {110, 40}, {93, 10}, {93, 20}, {110, 50}}));
        QCOMPARE(arm.pen, (Pen{clRed, 20, PenStyle::Solid}));
        QCOMPARE(arm.brush, (Brush{clRed, BrushStyle::Solid}));

        QCOMPARE(scene.ops.size(), std::size_t(1));
        QCOMPARE(scene.ops[0].kind, Op::Kind::Copy);
        QCOMPARE(scene.ops[0].points.front(), (Point{440, 0}));
    }

    // Track first, wiper into the centre, hub last so that it covers the
    // wiper's end.
    void dialOrder()
    {
        RecordingCanvas anim(Surface::Anim);
        DrawSensorDial(anim, -0.06);
        QCOMPARE(anim.ops.front().kind, Op::Kind::Arc);
        const auto wiper = std::find_if(anim.ops.begin(), anim.ops.end(),
                                        [](const Op &op) { return op.pen.color == clRed; });
        QVERIFY(wiper != anim.ops.end() && wiper->kind == Op::Kind::Line);
        QCOMPARE(wiper->points[1], (Point{225, 75}));
        QCOMPARE(wiper->pen.width, 4);
        QCOMPARE(anim.ops.back().kind, Op::Kind::Ellipse);
        QCOMPARE(anim.ops.back().brush.color, clYellow);
    }
};

QTEST_APPLESS_MAIN(TestArm)
#include "tst_arm.moc"
