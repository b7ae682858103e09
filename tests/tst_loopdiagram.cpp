// The block diagram, the value row and the formula callout, seen through the
// calls they make on a recording canvas and the pixels they paint.

#include "raster/rastercanvas.h"
#include "render/loopdiagram.h"
#include "surfaces.h"

#include <QTest>

using namespace lodrix;

namespace {

constexpr CorrectorLine poleLines[] = {{"(6.8z-2.5)/z", 130, 180}, {"second line", 130, 195}};

bool hasLine(const OpLog &ops, Point from, Point to)
{
    return findOp(ops, [&](const Op &op) { return isLine(op, from, to); });
}

} // namespace

class TestLoopDiagram : public QObject {
    Q_OBJECT

private slots:
    void clearsTheWholeSceneFirst()
    {
        RecordingCanvas scene(Surface::Scene);
        scene.brush.style = BrushStyle::Clear;
        DrawLoopDiagram(scene, {});
        const Op &first = scene.ops.front();
        QCOMPARE(first.kind, Op::Kind::Rect);
        QCOMPARE(first.points[0], (Point{0, 0}));
        QVERIFY(first.points[1].x >= 785 && first.points[1].y >= 225);
        QCOMPARE(first.pen.color, clFace);
        QCOMPARE(first.brush, (Brush{clFace, BrushStyle::Solid}));
    }

    // The open loop cuts the feedback where X leaves and writes a red "0" at
    // the comparator's minus input: painted, the return line along the
    // bottom is there only when the loop is closed, the "0" only when open.
    void feedback()
    {
        RasterCanvas closed(Surface::Scene, 785, 225);
        RasterCanvas open(Surface::Scene, 785, 225);
        DrawLoopDiagram(closed, {.correctorLines = {}, .loopClosed = true});
        DrawLoopDiagram(open, {.correctorLines = {}, .loopClosed = false});
        auto at = [](const RasterCanvas &c, int x, int y) { return c.pixels()[y * c.width() + x]; };
        for (int x : {100, 400, 700}) {
            QVERIFY(at(closed, x, 223) != toArgb(clFace));
            QCOMPARE(at(open, x, 223), toArgb(clFace));
        }
        auto redNearMinus = [&](const RasterCanvas &c) {
            int red = 0;
            for (int y = 205; y < 225; ++y) {
                for (int x = 70; x < 90; ++x)
                    red += at(c, x, y) == toArgb(clRed);
            }
            return red;
        };
        QVERIFY(redNearMinus(open) > redNearMinus(closed));
    }

    // The variant's lines go inside the corrector box, right under its title,
    // in the captions' font.
    void correctorLinesFollowTheTitle()
    {
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene, {.correctorLines = poleLines});
        const int title = textIndex(scene.ops, "Régulateur", {130, 165});
        QVERIFY(title >= 0);
        for (std::size_t i = 0; i < std::size(poleLines); ++i) {
            const Op &line = scene.ops[title + 1 + i];
            QCOMPARE(line.text, std::string(poleLines[i].text));
            QCOMPARE(line.font, (Font{FontFace::SansSerif, 6, clBlue}));
        }
        QVERIFY(isText(scene.ops[title + 1 + std::size(poleLines)], "Convertis."));
    }

    void shaftSymbolsUseTheSymbolFaceAndLeaveTheTextFont()
    {
        RecordingCanvas scene(Surface::Scene);
        scene.font.face = FontFace::Symbol; // whatever a page left on the previous tick
        DrawLoopDiagram(scene, {});
        for (const char *letter : {"W", "W1", "q"}) {
            const Op *symbol = findOp(scene.ops, [&](const Op &op) { return op.text == letter; });
            QVERIFY(symbol);
            QCOMPARE(symbol->font, (Font{FontFace::Symbol, 12, clHighlight}));
        }
        QCOMPARE(scene.ops.back().text, std::string("q"));
        QCOMPARE(scene.font, (Font{FontFace::SansSerif, 12, clHighlight}));
        // The captions never inherit the old face.
        QCOMPARE(findText(scene.ops, "Régulateur")->font.face, FontFace::SansSerif);
    }

    // No two boxes of the diagram overlap, with either corrector's lines.
    void boxesDoNotOverlap()
    {
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene, {.correctorLines = poleLines});
        std::vector<std::pair<Point, Point>> boxes;
        for (std::size_t i = 1; i < scene.ops.size(); ++i) { // after the clearing box
            if (scene.ops[i].kind == Op::Kind::Rect)
                boxes.emplace_back(scene.ops[i].points[0], scene.ops[i].points[1]);
        }
        QVERIFY(boxes.size() >= 4);
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                const auto &[a0, a1] = boxes[i];
                const auto &[b0, b1] = boxes[j];
                const bool apart = a1.x <= b0.x || b1.x <= a0.x || a1.y <= b0.y || b1.y <= a0.y;
                QVERIFY2(apart, qPrintable(QStringLiteral("boxes %1 and %2 overlap").arg(i).arg(j)));
            }
        }
    }

    // What a screen reader is told of the scene: the lesson, then its values
    // once a frame is drawn, with the numbers as the value row writes them.
    void surfaceDescriptions_data()
    {
        addColumns<QString, bool, QString>({"lesson", "drawn", "expected"});
        QTest::addRow("no lesson yet") << QString() << false << QStringLiteral("Aucune leçon choisie");
        QTest::addRow("chosen, idle")
            << QStringLiteral("Présentation") << false << QStringLiteral("Présentation");
        QTest::addRow("running") << QStringLiteral("Boucle fermée : réglage libre") << true
                                 << QStringLiteral(
                                        "Boucle fermée : réglage libre : E = 200, Ep = 15, Epu = 30, "
                                        "U1 = 0,15 V, U = 1,5 V, Ω1 = 4 rad/s, θ = 0,2 rad, "
                                        "V = 0,67 V, X = 185");
    }

    void surfaceDescriptions()
    {
        QFETCH(QString, lesson);
        QFETCH(bool, drawn);
        const ModelState values{.E = 200,
                                .Ep = 15,
                                .Epu = 30,
                                .X = 185,
                                .U1 = 0.15,
                                .U = 1.5,
                                .Omega1 = 3.2,
                                .thetaAff = 0.2,
                                .V = 0.67};
        QTEST(QString::fromStdString(
                  surfaceDescription(lesson.toStdString(), drawn, values, NumberFormat(","))),
              "expected");
    }

    void formulaCallout()
    {
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene, {.correctorLines = poleLines});
        scene.ops.clear();
        DrawFormulaCallout(scene, "Epu(kT) = 6.8*Ep(kT) -2.5*Ep((k-1)T)", 108, 10);
        const int title =
            textIndex(scene.ops, "Le calcul effectué à chaque période d'échantillonnage :", {100, 100});
        const int formula = textIndex(scene.ops, "Epu(kT) = 6.8*Ep(kT) -2.5*Ep((k-1)T)", {108, 120});
        QVERIFY(title >= 0 && formula >= 0);
        QCOMPARE(scene.ops[title].font, (Font{FontFace::SansSerif, 6, clRed}));
        QCOMPARE(scene.ops[formula].font, (Font{FontFace::SansSerif, 10, clRed}));
        QVERIFY(hasLine(scene.ops, {170, 135}, {170, 150}));
        // The page's next scene texts are blue captions.
        QCOMPARE(scene.font, (Font{FontFace::SansSerif, 6, clBlue}));
    }
};

QTEST_GUILESS_MAIN(TestLoopDiagram)
#include "tst_loopdiagram.moc"
