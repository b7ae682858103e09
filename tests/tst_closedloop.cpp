// The three closed-loop pages, played tick by tick through the dispatcher as
// the window plays them, continuously or one period per press.

#include "render/arm.h"
#include "surfaces.h"

#include <QTest>

#include <cmath>
#include <set>

using namespace lodrix;

namespace {

enum Mode { continuous = 0, stepByStep = 1 };

// The value row's columns, by the x of their text: E Ep Epu U1 U speed angle V X.
constexpr int valueRowY = 140;
constexpr int valueColumns[] = {10, 90, 200, 290, 400, 470, 590, 670, 755};
constexpr int codeColumnX = valueColumns[8];

QStringList shownValues(const OpLog &scene)
{
    QStringList row;
    for (int x : valueColumns) {
        const Op *op = findOp(scene, [&](const Op &o) {
            return o.kind == Op::Kind::Text && o.points[0] == Point{x, valueRowY};
        });
        row << (op ? QString::fromStdString(op->text) : QStringLiteral("<none>"));
    }
    return row;
}

} // namespace

class TestClosedLoop : public QObject {
    Q_OBJECT
private slots:
    // The numbers the lesson texts quote, at one tick or over a range where
    // they hold still, and where the two modes part. "*" is not checked.
    void valueRow_data()
    {
        addColumns<int, int, int, int, QString>({"entry", "mode", "first", "last", "expected"});
        const auto at = [](const char *name, int entry, Mode mode, int first, int last, const char *row) {
            QTest::addRow("%s", name) << entry << int(mode) << first << last << row;
        };
        //                                                      E   Ep  Epu U1 U  speed angle V X
        at("2, end of period 1", 2, continuous, 39, 39, "* 200 500 2,4 2,4 46 0,03 0,09 18");
        at("2, end of period 2", 2, continuous, 79, 79, "* 182 455 2,2 2,2 59 0,08 0,27 55");
        at("2, end tick repeats 319", 2, continuous, 319, 320, "* 15 38 0,2 0,2 9 0,28 0,9 185");
        at("2 step, last periods", 2, stepByStep, 319, 320, "* * * * * * 0,29 0,96 197");
        at("3, end of period 1", 3, continuous, 39, 39, "200 200 1360 6,7 6,7 126 0,07 0,24 50");
        at("3, small command shows 0 V", 3, continuous, 120, 159, "* * 12 0 0 * * * *");
        at("3, frozen from period 6", 3, continuous, 200, 200, "* 2 -9 0 0 5 0,29 0,98 200");
        at("3, settled", 3, continuous, 240, 320, "* * * 0 0 0 0,29 0,98 200");
        at("4, end of period 1", 4, continuous, 39, 39, "140 140 1892 9,3 9,3 176 0,1 0,34 70");
        at("4, end of period 2", 4, continuous, 79, 79, "* 70 -112 -0,5 -0,5 54 0,2 * 138");
        at("4 step, end of period 2", 4, stepByStep, 79, 79, "* * * * * * * * 140");
        at("4, negative speed", 4, continuous, 119, 119, "* 0 -649 -3,2 -3,2 -40 * 0,66 140");
        at("4, end tick repeats 319", 4, continuous, 319, 320, "140 0 93 0,5 0,5 6 0,21 0,68 140");
    }
    void valueRow()
    {
        QFETCH(int, entry);
        QFETCH(int, mode);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, expected);
        const QStringList wanted = expected.split(' ');
        Screen run(entry, mode);
        run.playTo(last, [&](int tick) {
            if (tick < first)
                return;
            const QStringList shown = shownValues(run.scene.ops);
            for (qsizetype i = 0; i < shown.size(); ++i)
                QVERIFY2(wanted[i] == "*" || shown[i] == wanted[i],
                         qPrintable(QStringLiteral("tick %1: %2").arg(tick).arg(shown.join(' '))));
        });
    }

    // The end tick draws the arm with period 8's law and the conclusions, and
    // adds nothing to the plots.
    void endTickFrame_data()
    {
        // sceneSize: the first two keep the fixed texts' font.
        addColumns<int, double, QString, QString, int>(
            {"entry", "armAngle", "windowConclusion", "sceneConclusion", "sceneSize"});
        QTest::addRow("proportional") << 2 << -1.7167 << "En Régime Permanent (pas tout à fait visisible ici)"
                                      << "On peut chercher à améliorer" << 10;
        QTest::addRow("pole compensation") << 3 << -1.69 << "En Régime Permanent :     U1=U=0"
                                           << "La réponse est un peu plus rapide" << 10;
        QTest::addRow("two-step") << 4 << -1.605 + 0.00074 * std::sin(-3.2)
                                  << "atteint au bout de 2 périodes..."
                                  << "Cette réponse ne donne pas de résultat satisfaisant." << 8;
    }
    void endTickFrame()
    {
        QFETCH(int, entry);
        QFETCH(double, armAngle);
        QFETCH(QString, windowConclusion);
        QFETCH(QString, sceneConclusion);
        QFETCH(int, sceneSize);
        Screen run(entry);
        run.playTo(319);
        QVERIFY(!findText(run.window.ops, windowConclusion.toStdString()));
        run.playTo(endTick);

        QVERIFY(findText(run.window.ops, windowConclusion.toStdString()));
        const Op *scene = findText(run.scene.ops, sceneConclusion.toStdString());
        QVERIFY(scene);
        QCOMPARE(scene->font, (Font{FontFace::SansSerif, sceneSize, clBlue}));
        // Only the frame's blue axes: no trace, staircase or note.
        for (const Op &op : run.window.ops)
            QVERIFY(op.kind != Op::Kind::Line || op.pen.color == clBlue);
        QVERIFY(!findText(run.window.ops, "Régime permanent"));

        const Op *arm = findOp(run.anim.ops, [](const Op &op) { return op.kind == Op::Kind::Polygon; });
        QVERIFY(arm);
        const ArmTip tip = armTip(armAngle);
        QCOMPARE(arm->points[2], (Point{tip.x, tip.yTop}));
        QCOMPARE(arm->points[3], (Point{tip.x, tip.yBottom}));
    }

    // Texts redrawn on every tick of their window only.
    void textsAtChosenTicks_data()
    {
        addColumns<int, int, Surface, QString, bool>({"entry", "tick", "surface", "text", "shown"});
        const auto at = [](int entry, int tick, Surface surface, const char *text, bool shown) {
            QTest::addRow("%d tick %d %s%s", entry, tick, shown ? "" : "no ", text)
                << entry << tick << surface << text << shown;
        };
        for (int entry : {2, 3, 4}) {
            at(entry, 39, Surface::Window, "Première Période", true);
            at(entry, 40, Surface::Window, "Première Période", false);
            at(entry, 40, Surface::Window, "Deuxième Période", true);
        }
        // Period 7 of the pole-compensation page sets the label colour but
        // writes no label; period 8 writes "0V".
        at(3, 250, Surface::Window, "0V", false);
        at(3, 250, Surface::Window, "-0.04V", false);
        at(3, 290, Surface::Window, "0V", true);
        at(2, 279, Surface::Window, "V= O,98V", false);
        at(2, 280, Surface::Window, "V= O,98V", true);
        at(2, 100, Surface::Scene, "Le calcul effectué", false);
        at(3, 100, Surface::Scene, "Epu(kT) = 6.8*Ep(kT) -2.5*Ep((k-1)T)", true);
        at(4, 100, Surface::Scene, "Epu(kT) = -1.19*Epu((k-1)T)", true);
    }
    void textsAtChosenTicks()
    {
        QFETCH(int, entry);
        QFETCH(int, tick);
        QFETCH(Surface, surface);
        QFETCH(QString, text);
        Screen run(entry);
        run.playTo(tick);
        QTEST(findText(run.log(surface), text.toStdString()) != nullptr, "shown");
    }

    // The Greek letters of the first explanation fall in the blank runs left
    // for them; the explanation leaves the window font at 10 points.
    void explanationGreekLetters()
    {
        Screen run(2);
        run.playTo(39);
        const OpLog &ops = run.window.ops;
        const int omega = textIndex(ops, "W1", {568, 385});
        const int theta = textIndex(ops, "q", {260, 396});
        QVERIFY(omega >= 0 && theta >= 0);
        QCOMPARE(ops[omega].font, (Font{FontFace::Symbol, 8}));
        QCOMPARE(ops[theta].font.size, 12);
        const Op &line = *findText(ops, "Première Période");
        QVERIFY(line.text.ends_with("La vitesse      évolue"));
        QCOMPARE(run.window.font, (Font{FontFace::SansSerif, 10}));
        // Painted, the blanks before "évolue" leave x 566 to 583 clear, and
        // Ω1 inks no column outside them.
        RasterCanvas canvas(Surface::Window, 800, 20, clWhite);
        const auto inkedColumns = [&] {
            std::set<int> columns;
            for (int i = 0; i < 800 * 20; ++i)
                if (canvas.pixels()[i] != toArgb(clWhite))
                    columns.insert(i % 800);
            return columns;
        };
        canvas.font = line.font;
        canvas.textOut(line.points[0].x, 2, line.text);
        const std::set<int> text = inkedColumns();
        const auto after = text.lower_bound(566);
        QVERIFY(*std::prev(after) >= 564 && *after >= 584 && *text.rbegin() < 640);
        canvas.font = ops[omega].font;
        canvas.textOut(ops[omega].points[0].x, 2, ops[omega].text);
        for (int x : inkedColumns())
            QVERIFY(text.count(x) || (x >= 566 && x < 584));
    }

    // Chosen staircase pieces and trace segments, the trace ends checked by
    // hand against the page laws.
    void plotPieces_data()
    {
        addColumns<int, int, uint, Point, Point>({"entry", "tick", "color", "from", "to"});
        const auto at = [](const char *name, int entry, int tick, Color color, Point from, Point to) {
            QTest::addRow("%s", name) << entry << tick << uint(color) << from << to;
        };
        // The lead-in at the zero line and the first rise, on every tick of period 1.
        at("2 lead-in", 2, 2, clGreen, {40, 369}, {49, 369});
        at("2 first rise", 2, 30, clGreen, {49, 369}, {49, 270});
        // The period-6 step stops at 370 while its pixels sit at 369.
        at("3 period 6 step", 3, 220, clGreen, {249, 371}, {249, 370});
        at("4 X reaches 140", 4, 81, clBlack, {129, 335}, {129, 301});
        // 369 - 140 (1 - e^(-1/60.01)) = 366.69 and at n = 1 the rise is still 0.
        at("2 speed rises from the axis", 2, 2, clBlack, {401, 369}, {402, 366});
        // Later periods join f(n + 1) to f(n): 305 - 0.45 * 3 and 305 - 0.45 * 2.
        at("2 speed period 2", 2, 41, clBlack, {440, 303}, {441, 304});
        // The first period's position runs one pixel right of the speed.
        at("4 position period 1", 4, 2, clRed, {402, 369}, {403, 368});
        // Later positions are one flat pixel: 362 - 0.4 * 11 = 357.6.
        at("2 position period 2", 2, 50, clRed, {449, 357}, {450, 357});
        // From tick 200 the position is flat at 307.
        at("3 position flat", 3, 250, clRed, {649, 307}, {650, 307});
        // Two-step, period 3: f(n) then f(n - 1): 343 + 1.225 * 21 and * 20.
        at("4 speed period 3", 4, 100, clBlack, {499, 368}, {500, 367});
        // Two-step position from period 2 joins g(n) to g(n - 1): 327 - 1.12 * 11 and * 10.
        at("4 position period 2", 4, 50, clRed, {449, 314}, {450, 315});
    }
    void plotPieces()
    {
        QFETCH(int, entry);
        QFETCH(int, tick);
        QFETCH(uint, color);
        QFETCH(Point, from);
        QFETCH(Point, to);
        Screen run(entry);
        run.playTo(tick);
        const Op *line = findOp(run.window.ops, [&](const Op &op) {
            return isLine(op, from, to) && op.pen.color == Color(color);
        });
        QVERIFY(line);
        QCOMPARE(line->pen.width, 1);
    }

    // The two-step page draws its pieces in its own order: the set-point over
    // the code and the speed, its label over the position trace.
    void twoStepDrawingOrder_data()
    {
        QTest::addColumn<int>("tick");
        QTest::addRow("period 1") << 10;
        QTest::addRow("period 8") << 300;
    }
    void twoStepDrawingOrder()
    {
        QFETCH(int, tick);
        Screen run(4);
        run.playTo(tick);
        const OpLog &ops = run.window.ops;
        const int u = lineFrom(ops, clGreen, tick + 49);
        const int x = lineFrom(ops, clBlack, tick + 49);
        const int speed = lineFrom(ops, clBlack, tick + 399);
        const int e = lineFrom(ops, clRed, tick + 49);
        const int position = lineFrom(ops, clRed, tick + (tick < ticksPerPeriod ? 400 : 399));
        QVERIFY(u >= 0 && u < x && x < speed && speed < e && e < position);
        if (tick < ticksPerPeriod) {
            QVERIFY(textIndex(ops, "140", {28, 295}) > position);
            return;
        }
        QVERIFY(textIndex(ops, "140", {28, 295}) < 0);
        const int notes = textIndex(ops, "Régime permanent", {695, 260});
        QVERIFY(speed < notes && notes < e);
        const Op *dotted = findOp(ops, [](const Op &op) { return op.pen.style == PenStyle::Dot; });
        QVERIFY(dotted && isLine(*dotted, {480, 283}, {680, 283}));
        QCOMPARE(run.window.pen.style, PenStyle::Solid);
        const int paren = textIndex(ops, "(q", {700, 290});
        QVERIFY(paren >= 0);
        QCOMPARE(ops[paren].font.face, FontFace::Symbol);
    }

    // The scene above the plots: the set-point label, the value row in black
    // and the fixed texts after it.
    void sceneTexts_data()
    {
        addColumns<int, uint, QString, Point>({"entry", "eColor", "fixedText", "fixedAt"});
        QTest::addRow("proportional") << 2 << uint(clGreen) << "Un échelon de position" << Point{50, 30};
        QTest::addRow("pole compensation") << 3 << uint(clGreen) << "Un échelon de position" << Point{30, 15};
        QTest::addRow("two-step: red E") << 4 << uint(clRed) << "T=T1" << Point{630, 110};
    }
    void sceneTexts()
    {
        QFETCH(int, entry);
        QFETCH(uint, eColor);
        QFETCH(QString, fixedText);
        QFETCH(Point, fixedAt);
        Screen run(entry);
        run.playTo(100);
        const OpLog &ops = run.scene.ops;
        const int e = textIndex(ops, "E", {10, 160});
        const int code = textIndex(ops, "", {codeColumnX, valueRowY});
        const int fixed = textIndex(ops, fixedText.toStdString(), fixedAt);
        QVERIFY(e >= 0 && code >= 0 && fixed > code);
        QCOMPARE(ops[e].font.color, Color(eColor));
        QCOMPARE(ops[code].font.color, clBlack);
        QVERIFY(textIndex(ops, "V", {700, valueRowY}) >= 0);
        QCOMPARE(ops[fixed].font, (Font{FontFace::SansSerif, 10, clBlue}));
    }

    // The painted end picture of a continuous run, at a few chosen pixels.
    void paintedEndPicture_data()
    {
        addColumns<int, QPoint, uint>({"entry", "pixel", "color"});
        QTest::addRow("2 staircase period 2") << 2 << QPoint(100, 279) << uint(clGreen);
        QTest::addRow("3 period 6 level") << 3 << QPoint(260, 369) << uint(clGreen);
        QTest::addRow("4 X at 301") << 4 << QPoint(300, 301) << uint(clBlack);
        QTest::addRow("4 E at 300") << 4 << QPoint(300, 300) << uint(clRed);
        QTest::addRow("4 U below axis") << 4 << QPoint(150, 404) << uint(clGreen);
        QTest::addRow("4 boundary column painted") << 4 << QPoint(129, 300) << uint(clRed);
    }
    void paintedEndPicture()
    {
        QFETCH(int, entry);
        QFETCH(QPoint, pixel);
        QFETCH(uint, color);
        Screen<RasterCanvas> run(entry);
        run.playTo(endTick);
        QCOMPARE(run.window.pixels()[pixel.y() * run.window.width() + pixel.x()], toArgb(Color(color)));
    }
};

QTEST_MAIN(TestClosedLoop)
#include "tst_closedloop.moc"
