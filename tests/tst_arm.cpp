// The arm on bmpAnim and the sensor dial: where the tip lands for the angles
// the pages use, and the order of painting that lets the arm pass over the
// overlay.

#include "render/arm.h"

#include <QTest>

#include <algorithm>
#include <cmath>

Q_DECLARE_METATYPE(lodrix::Point)

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
        QTest::addRow("open-loop start") << -1.4 << 93 << 10 << 20;
        QTest::addRow("idle, front left") << 1.68 * (1.0 - std::exp(-42.0 / 60.01)) << 43 << 62 << 72;
        QTest::addRow("presentation first frame") << 0.025 * -2 << 10 << 38 << 48;
        QTest::addRow("presentation last frame") << 0.025 * -100 << 190 << 22 << 32;
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
        const Op &erase = anim.ops[0];
        QCOMPARE(erase.kind, Op::Kind::Rect);
        QCOMPARE(erase.points, (std::vector<Point>{{0, 0}, {360, 140}}));
        QCOMPARE(erase.pen.width, 2);
        QCOMPARE(erase.pen.color, clFace);
        QCOMPARE(erase.brush.color, clFace);
        QCOMPARE(anim.ops[1].brush.color, clBlue);
        QCOMPARE(anim.ops[2].text, std::string("overlay"));

        const Op &arm = anim.ops[3];
        QCOMPARE(arm.kind, Op::Kind::Polygon);
        QCOMPARE(arm.points, (std::vector<Point>{{110, 50}, {110, 40}, {93, 10}, {93, 20}, {110, 50}}));
        QCOMPARE(arm.pen, (Pen{clRed, 20, PenStyle::Solid}));
        QCOMPARE(arm.brush, (Brush{clRed, BrushStyle::Solid}));

        QCOMPARE(scene.ops.size(), std::size_t(1));
        QCOMPARE(scene.ops[0].kind, Op::Kind::Copy);
        QCOMPARE(scene.ops[0].source, Surface::Anim);
        QCOMPARE(scene.ops[0].points.front(), (Point{440, 0}));
    }

    void dialWiperFollowsBeta_data()
    {
        QTest::addColumn<double>("beta");
        QTest::addColumn<Point>("wiperEnd");
        QTest::addRow("first frame, near -10V") << 0.03 * -2 << Point{204, 73};
        QTest::addRow("last frame, near +10V") << 0.03 * -100 << Point{245, 72};
    }

    void dialWiperFollowsBeta()
    {
        QFETCH(double, beta);
        QFETCH(Point, wiperEnd);
        RecordingCanvas anim(Surface::Anim);
        DrawSensorDial(anim, beta);
        const auto wiper = std::find_if(anim.ops.begin(), anim.ops.end(), [](const Op &op) {
            return op.kind == Op::Kind::Line && op.pen.color == clRed;
        });
        QVERIFY(wiper != anim.ops.end());
        QCOMPARE(wiper->points, (std::vector<Point>{wiperEnd, {225, 75}}));
        QCOMPARE(wiper->pen.width, 4);
        // Track first, hub last so that it covers the wiper's centre.
        QCOMPARE(anim.ops.front().kind, Op::Kind::Arc);
        QCOMPARE(anim.ops.front().points, (std::vector<Point>{{200, 50}, {250, 100}, {240, 95}, {210, 95}}));
        QCOMPARE(anim.ops.back().kind, Op::Kind::Ellipse);
        QCOMPARE(anim.ops.back().brush.color, clYellow);
    }
};

QTEST_GUILESS_MAIN(TestArm)
#include "tst_arm.moc"
