// The open-loop page played from its start as the window plays it: the value
// row, what each part of the timeline adds, and where the trace segments land.

#include "surfaces.h"

#include <QTest>

using namespace lodrix;

namespace {

// The values in the order drawn; the Ω beside the output stub shares their row
// and colour but not their face.
QString shownValues(const OpLog &scene)
{
    QStringList values;
    for (const Op &op : scene)
        if (op.kind == Op::Kind::Text && op.points[0].y == 140 && op.font.color == clHighlight &&
            op.font.face == FontFace::SansSerif)
            values << QString::fromStdString(op.text);
    return values.join(' ');
}

// The segment of one trace on the right plot: one pixel wide, in its colour,
// starting at the tick's x.
const Op *rightSegment(const OpLog &ops, Color color, int n)
{
    return findOp(ops, [&](const Op &op) {
        return op.kind == Op::Kind::Line && op.pen == Pen{color} && op.points[0].x == n + 399 &&
               op.points[1].x == n + 400;
    });
}

} // namespace

class TestOpenLoop : public QObject {
    Q_OBJECT

private slots:
    // Everything shown rounds up as soon as it leaves zero.
    void valueRow_data()
    {
        addColumns<int, QString, QString>({"tick", "separator", "row"});
        QTest::addRow("first tick") << 2 << "."
                                    << "1000 1000 1000 4.9 4.9 5 0.01 0.1 20";
        QTest::addRow("T1") << 60 << ","
                            << "1000 1000 1000 4,9 4,9 93 0,06 0,2 40";
        QTest::addRow("code truncated, 201 x 1.2") << 200 << ","
                                                   << "1000 1000 1000 4,9 4,9 141 0,35 1,2 241";
        QTest::addRow("last tick") << 300 << ","
                                   << "1000 1000 1000 4,9 4,9 146 0,59 2 402";
    }
    void valueRow()
    {
        QFETCH(int, tick);
        QFETCH(QString, separator);
        Screen run(1, 0, NumberFormat(separator.toStdString()));
        run.playTo(tick);
        QTEST(shownValues(run.scene.ops), "row");
    }

    // Texts that a part of the timeline adds, on either side of its first tick.
    void timeline_data()
    {
        addColumns<int, Surface, QString, bool>({"tick", "surface", "text", "shown"});
        const char *conclusion = "Le système en boucle ouverte est intégrateur,";
        QTest::addRow("curve names until T1") << 59 << Surface::Window << "vitesse" << true;
        QTest::addRow("curve names gone at T1") << 60 << Surface::Window << "position" << false;
        QTest::addRow("T1 label not before T1") << 59 << Surface::Window << "T1=0.1s" << false;
        QTest::addRow("T1 label from T1") << 60 << Surface::Window << "63%" << true;
        QTest::addRow("no conclusion at 279") << 279 << Surface::Window << conclusion << false;
        QTest::addRow("conclusion from 280") << 280 << Surface::Window << conclusion << true;
        QTest::addRow("no end stop at 280") << 280 << Surface::Anim << "Le mécanisme doit être muni" << false;
        QTest::addRow("end stop from 281") << 281 << Surface::Anim << "de sa zone de mesure." << true;
        QTest::addRow("scene note") << 2 << Surface::Scene
                                    << "La consigne numérique est fixée à 1000 (à partir de t=0)" << true;
        QTest::addRow("0 at the open loop's minus input") << 2 << Surface::Scene << "0" << true;
    }
    void timeline()
    {
        QFETCH(int, tick);
        QFETCH(Surface, surface);
        QFETCH(QString, text);
        Screen run(1);
        run.playTo(tick);
        const std::string wanted = text.toStdString();
        QTEST(findOp(run.log(surface), [&](const Op &op) { return op.text == wanted; }) != nullptr, "shown");
    }

    void t1MarkerIsDottedFromT1On()
    {
        Screen run(1);
        run.playTo(59);
        QVERIFY(!findOp(run.window.ops, [](const Op &op) { return op.pen.style == PenStyle::Dot; }));
        run.playTo(60);
        std::vector<std::vector<Point>> dotted;
        for (const Op &op : run.window.ops)
            if (op.kind == Op::Kind::Line && op.pen.style == PenStyle::Dot && op.pen.color == clPurple)
                dotted.push_back(op.points);
        QCOMPARE(dotted,
                 (std::vector<std::vector<Point>>{{{460, 400}, {460, 336}}, {{400, 336}, {460, 336}}}));
        // The traces after it are solid again; its labels keep the speed legend's font.
        QVERIFY(rightSegment(run.window.ops, clBlack, 60));
        QCOMPARE(findText(run.window.ops, "T1=0.1s")->font, (Font{FontFace::SansSerif, 8, clBlack}));
    }

    // x 400 is the axis: the first drawn tick starts one pixel right of it.
    // The speed at T1 meets the corner of the dotted marker.
    void segmentEndsAndArm_data()
    {
        addColumns<int, Point, Point, Point, Point, Point>(
            {"tick", "speedFrom", "speedTo", "positionFrom", "positionTo", "armTip"});
        QTest::addRow("first tick") << 2 << Point{401, 399} << Point{402, 397} << Point{401, 399}
                                    << Point{402, 399} << Point{93, 10};
        QTest::addRow("T1") << 60 << Point{459, 337} << Point{460, 336} << Point{459, 389} << Point{460, 388}
                            << Point{99, 10};
        QTest::addRow("last tick") << 300 << Point{699, 299} << Point{700, 299} << Point{699, 280}
                                   << Point{700, 279} << Point{142, 11};
    }
    void segmentEndsAndArm()
    {
        QFETCH(int, tick);
        Screen run(1);
        run.playTo(tick);
        const Op *speed = rightSegment(run.window.ops, clBlack, tick);
        const Op *position = rightSegment(run.window.ops, clRed, tick);
        QVERIFY(speed && position);
        QTEST(speed->points[0], "speedFrom");
        QTEST(speed->points[1], "speedTo");
        QTEST(position->points[0], "positionFrom");
        QTEST(position->points[1], "positionTo");
        // The command holds 4.9 V, 100 pixels above its axis.
        QVERIFY(findOp(run.window.ops, [&](const Op &op) {
            return op.pen.color == clGreen && isLine(op, {tick + 49, 300}, {tick + 50, 300});
        }));
        // The end-stop warning lies under the arm.
        const int arm = indexOf(run.anim.ops, [](const Op &op) { return op.kind == Op::Kind::Polygon; });
        QVERIFY(arm >= 0);
        QTEST(run.anim.ops[arm].points[2], "armTip");
        QVERIFY(indexOf(run.anim.ops, [](const Op &op) { return isText(op, "d'une butée"); }) < arm);
    }
};

QTEST_MAIN(TestOpenLoop)
#include "tst_openloop.moc"
