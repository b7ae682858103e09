// The open-loop page frame by frame: the value row of a run played in order,
// what each part of the timeline adds, and where the trace segments land.

#include "pages/pages.h"
#include "render/qt/colors.h"
#include "render/qt/qpaintercanvas.h"

#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

using namespace lodrix;

namespace {

// One run of the page on recording surfaces, with a fresh model as the start
// button leaves it.
struct Run {
    RecordingCanvas window{Surface::Window};
    RecordingCanvas scene{Surface::Scene};
    RecordingCanvas anim{Surface::Anim};
    ModelState model;
    NumberFormat numbers;
    FrameContext ctx{{window, scene, anim}, model, numbers};

    explicit Run(std::string separator = ".") : numbers(std::move(separator)) {}

    // Draws tick n alone; the logs hold only its calls.
    void frame(int n)
    {
        window.ops.clear();
        scene.ops.clear();
        anim.ops.clear();
        DrawOpenLoopFrame(ctx, n);
    }

    // Every tick from the first drawn one up to n, in order.
    void playTo(int n)
    {
        for (int tick = 2; tick <= n; ++tick)
            frame(tick);
    }

    const OpLog &log(Surface s) const
    {
        return s == Surface::Window ? window.ops : s == Surface::Scene ? scene.ops : anim.ops;
    }
};

// The same run painted, for a few pixels that only the canvas rules decide.
struct PaintedRun {
    QPainterCanvas window{Surface::Window, QSize(800, 560)};
    QPainterCanvas scene{Surface::Scene, QSize(785, 225)};
    QPainterCanvas anim{Surface::Anim, QSize(360, 140)};
    ModelState model;
    NumberFormat numbers{","};
    FrameContext ctx{{window, scene, anim}, model, numbers};

    void playTo(int n)
    {
        for (int tick = 2; tick <= n; ++tick)
            DrawOpenLoopFrame(ctx, tick);
    }
};

const Op *findText(const OpLog &ops, std::string_view text)
{
    const auto it = std::find_if(ops.begin(), ops.end(),
                                 [&](const Op &op) { return op.kind == Op::Kind::Text && op.text == text; });
    return it == ops.end() ? nullptr : &*it;
}

// The segment of one trace on the right plot: the line one pixel wide in its
// colour that starts at the tick's x.
const Op *rightSegment(const OpLog &ops, Color color, int n)
{
    const auto it = std::find_if(ops.begin(), ops.end(), [&](const Op &op) {
        return op.kind == Op::Kind::Line && op.pen.color == color && op.pen.style == PenStyle::Solid &&
               op.points[0].x == n + 399 && op.points[1].x == n + 400;
    });
    return it == ops.end() ? nullptr : &*it;
}

// The values in the order drawn; the Ω beside the output stub shares their row
// and colour but not their face.
std::vector<std::string> valueRow(const OpLog &scene)
{
    std::vector<std::string> values;
    for (const Op &op : scene)
        if (op.kind == Op::Kind::Text && op.points.front().y == 140 && op.font.color == clHighlight &&
            op.font.face == FontFace::SansSerif)
            values.push_back(op.text);
    return values;
}

} // namespace

Q_DECLARE_METATYPE(lodrix::Surface)
Q_DECLARE_METATYPE(lodrix::Point)

class TestOpenLoop : public QObject {
    Q_OBJECT

private slots:
    void valueRowOfARunPlayedInOrder_data()
    {
        QTest::addColumn<int>("tick");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("row");
        // Everything shown rounds up as soon as it leaves zero.
        QTest::addRow("first tick, point")
            << 2 << "." << QStringList{"1000", "1000", "1000", "4.9", "4.9", "5", "0.01", "0.1", "20"};
        QTest::addRow("T1, comma") << 60 << "," << QStringList{"1000", "1000", "1000", "4,9", "4,9",
                                                               "93",   "0,06", "0,2",  "40"};
        // 201 x 1.2 = 241.2, truncated.
        QTest::addRow("tick 200, comma")
            << 200 << "," << QStringList{"1000", "1000", "1000", "4,9", "4,9", "141", "0,35", "1,2", "241"};
        QTest::addRow("last tick, comma")
            << 300 << "," << QStringList{"1000", "1000", "1000", "4,9", "4,9", "146", "0,59", "2", "402"};
        QTest::addRow("last tick, point")
            << 300 << "." << QStringList{"1000", "1000", "1000", "4.9", "4.9", "146", "0.59", "2", "402"};
    }

    void valueRowOfARunPlayedInOrder()
    {
        QFETCH(int, tick);
        QFETCH(QString, separator);
        QFETCH(QStringList, row);
        Run run(separator.toStdString());
        run.playTo(tick);
        QStringList shown;
        for (const std::string &s : valueRow(run.scene.ops))
            shown << QString::fromStdString(s);
        QCOMPARE(shown, row);
        QCOMPARE(run.model.thetaPrec, run.model.theta);
    }

    // Texts that a part of the timeline adds, on either side of its first tick.
    void timeline_data()
    {
        QTest::addColumn<int>("tick");
        QTest::addColumn<Surface>("surface");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shown");
        QTest::addRow("curve names until T1") << 59 << Surface::Window << "vitesse" << true;
        QTest::addRow("curve names gone at T1") << 60 << Surface::Window << "position" << false;
        QTest::addRow("T1 label not before T1") << 59 << Surface::Window << "T1=0.1s" << false;
        QTest::addRow("T1 label from T1") << 60 << Surface::Window << "63%" << true;
        QTest::addRow("no conclusion at 279")
            << 279 << Surface::Window << "Le système en boucle ouverte est intégrateur," << false;
        QTest::addRow("conclusion from 280")
            << 280 << Surface::Window << "Le système en boucle ouverte est intégrateur," << true;
        QTest::addRow("model formula from 280")
            << 280 << Surface::Window << "Le modèle en boucle ouverte est de la forme : V/U = 1/p(1+T1p)"
            << true;
        QTest::addRow("no end stop at 280") << 280 << Surface::Anim << "Le mécanisme doit être muni" << false;
        QTest::addRow("end stop from 281") << 281 << Surface::Anim << "de sa zone de mesure." << true;
        QTest::addRow("end stop on the last tick")
            << 300 << Surface::Anim << "Le mécanisme doit être muni" << true;
        QTest::addRow("scene note every tick")
            << 2 << Surface::Scene << "La consigne numérique est fixée à 1000 (à partir de t=0)" << true;
    }

    void timeline()
    {
        QFETCH(int, tick);
        QFETCH(Surface, surface);
        QFETCH(QString, text);
        QFETCH(bool, shown);
        Run run;
        run.frame(tick);
        QCOMPARE(findText(run.log(surface), text.toStdString()) != nullptr, shown);
    }

    void t1MarkerIsDottedFromT1On()
    {
        Run run;
        run.frame(59);
        QVERIFY(std::none_of(run.window.ops.begin(), run.window.ops.end(),
                             [](const Op &op) { return op.pen.style == PenStyle::Dot; }));

        run.frame(60);
        std::vector<std::vector<Point>> dotted;
        for (const Op &op : run.window.ops)
            if (op.kind == Op::Kind::Line && op.pen.style == PenStyle::Dot) {
                QCOMPARE(op.pen.color, clPurple);
                dotted.push_back(op.points);
            }
        QCOMPARE(dotted,
                 (std::vector<std::vector<Point>>{{{460, 400}, {460, 336}}, {{400, 336}, {460, 336}}}));
        // The traces after it are solid again.
        QCOMPARE(run.window.pen.style, PenStyle::Solid);
        QVERIFY(rightSegment(run.window.ops, clBlack, 60));
    }

    void t1LabelsInTheSpeedLegendsFont()
    {
        Run run;
        run.frame(60);
        QCOMPARE(findText(run.window.ops, "T1=0.1s")->font, (Font{FontFace::SansSerif, 8, clBlack}));
        QCOMPARE(findText(run.window.ops, "63%")->points.front(), (Point{375, 336}));
    }

    void conclusionsLeaveTheFullSpeedMark()
    {
        Run run;
        run.frame(300);
        const Op *full = findText(run.window.ops, "100%");
        QVERIFY(full);
        QCOMPARE(full->font, (Font{FontFace::SansSerif, 6, clNavy}));
        const Op &mark = run.window.ops.back();
        QCOMPARE(mark.points, (std::vector<Point>{{395, 300}, {405, 300}}));
        QCOMPARE(mark.pen.color, clBlue);
    }

    void traceSegmentEnds_data()
    {
        QTest::addColumn<int>("tick");
        QTest::addColumn<Point>("speedEnd");
        QTest::addColumn<Point>("positionEnd");
        QTest::addRow("first tick") << 2 << Point{402, 397} << Point{402, 399};
        // The speed curve meets the corner of the dotted marker.
        QTest::addRow("T1") << 60 << Point{460, 336} << Point{460, 388};
        QTest::addRow("last tick") << 300 << Point{700, 299} << Point{700, 279};
    }

    void traceSegmentEnds()
    {
        QFETCH(int, tick);
        QFETCH(Point, speedEnd);
        QFETCH(Point, positionEnd);
        Run run;
        run.frame(tick);
        const Op *speed = rightSegment(run.window.ops, clBlack, tick);
        const Op *position = rightSegment(run.window.ops, clRed, tick);
        QVERIFY(speed && position);
        QCOMPARE(speed->points[1], speedEnd);
        QCOMPARE(position->points[1], positionEnd);
        QCOMPARE(speed->pen.width, 1);
        // The command holds 4.9 V, 100 pixels above its axis.
        const auto command = std::find_if(run.window.ops.begin(), run.window.ops.end(), [&](const Op &op) {
            return op.kind == Op::Kind::Line && op.pen.color == clGreen && op.points[0].x == tick + 49;
        });
        QVERIFY(command != run.window.ops.end());
        QCOMPARE(command->points, (std::vector<Point>{{tick + 49, 300}, {tick + 50, 300}}));
    }

    // x 400 is the axis: the first drawn tick starts one pixel right of it,
    // both traces from the baseline.
    void firstTickStartsRightOfTheAxis()
    {
        Run run;
        run.frame(2);
        QCOMPARE(rightSegment(run.window.ops, clBlack, 2)->points[0], (Point{401, 399}));
        QCOMPARE(rightSegment(run.window.ops, clRed, 2)->points[0], (Point{401, 399}));
    }

    void armTurnsPastTheHub()
    {
        Run run;
        run.frame(300);
        const auto arm = std::find_if(run.anim.ops.begin(), run.anim.ops.end(),
                                      [](const Op &op) { return op.kind == Op::Kind::Polygon; });
        QVERIFY(arm != run.anim.ops.end());
        QCOMPARE(arm->points[2], (Point{142, 11}));
        QCOMPARE(arm->points[3], (Point{142, 21}));
        // The end-stop warning lies under the arm.
        QVERIFY(findText(run.anim.ops, "d'une butée pour éviter au") < &*arm);
    }

    void paintedPixels()
    {
        PaintedRun run;
        run.playTo(300);
        const QImage &window = run.window.image();
        const QImage &scene = run.scene.image();
        const QRgb face = toQColor(clFace).rgb();
        // The last position segment stops short of its end point.
        QCOMPARE(window.pixel(699, 280), toQColor(clRed).rgb());
        QCOMPARE(window.pixel(700, 279), face);
        // Where the n = 60 speed segment ended, the next one starts: plotted,
        // and not by the dotted marker, whose two strokes both stop short of it.
        QCOMPARE(window.pixel(460, 336), toQColor(clBlack).rgb());
        // The marker rises from the axis in runs of three dots.
        QCOMPARE(window.pixel(460, 338), toQColor(clPurple).rgb());
        QCOMPARE(window.pixel(460, 337), face);
        // The corrector box excludes its right edge.
        QCOMPARE(scene.pixel(199, 170), toQColor(clRed).rgb());
        QCOMPARE(scene.pixel(200, 170), face);
    }

    void frameOrderOnTheScene()
    {
        Run run;
        run.frame(2);
        const OpLog &ops = run.scene.ops;
        const auto copy =
            std::find_if(ops.begin(), ops.end(), [](const Op &op) { return op.kind == Op::Kind::Copy; });
        const auto firstValue = std::find_if(ops.begin(), ops.end(), [](const Op &op) {
            return op.kind == Op::Kind::Text && op.points.front().y == 140 &&
                   op.font.face == FontFace::SansSerif;
        });
        QVERIFY(copy != ops.end() && firstValue != ops.end());
        QVERIFY(copy < firstValue);
        QVERIFY(findText(ops, "0"));
        const Op &last = ops.back();
        QCOMPARE(last.text, std::string("La consigne numérique est fixée à 1000 (à partir de t=0)"));
        QCOMPARE(last.font, (Font{FontFace::SansSerif, 10, clBlue}));
    }
};

QTEST_MAIN(TestOpenLoop)
#include "tst_openloop.moc"
