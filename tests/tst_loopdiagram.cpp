// The block diagram, the value row and the formula callout, seen through the
// calls they make on a recording canvas.

#include "render/loopdiagram.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace lodrix;

namespace {

constexpr CorrectorLine openLoopLines[] = {{"proportionnel", 128, 180}, {"gain G=1", 132, 195}};
constexpr CorrectorLine poleLines[] = {{"(6.8z-2.5)/z", 130, 180}};

const Op *findText(const OpLog &ops, std::string_view text, Point at)
{
    const auto it = std::find_if(ops.begin(), ops.end(), [&](const Op &op) {
        return op.kind == Op::Kind::Text && op.text == text && op.points.front() == at;
    });
    return it == ops.end() ? nullptr : &*it;
}

bool hasLine(const OpLog &ops, Point from, Point to)
{
    return std::any_of(ops.begin(), ops.end(), [&](const Op &op) {
        return op.kind == Op::Kind::Line && op.points[0] == from && op.points[1] == to;
    });
}

std::vector<std::string> textsIn(const OpLog &ops)
{
    std::vector<std::string> texts;
    for (const Op &op : ops)
        if (op.kind == Op::Kind::Text)
            texts.push_back(op.text);
    return texts;
}

// Strings of the value row in the order drawn, in the value colour only.
std::vector<std::string> valueStrings(const OpLog &ops, Color valueColor)
{
    std::vector<std::string> values;
    for (const Op &op : ops)
        if (op.kind == Op::Kind::Text && op.points.front().y == 140 && op.font.color == valueColor)
            values.push_back(op.text);
    return values;
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

    void openLoopCutsTheFeedbackButKeepsTheMinusInput()
    {
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene, {.correctorLines = openLoopLines, .loopClosed = false});

        for (const Op &op : scene.ops) {
            if (op.kind != Op::Kind::Line)
                continue;
            const Point a = op.points[0], b = op.points[1];
            QVERIFY2(!(a.x == 780 && b.x == 780 && std::max(a.y, b.y) > 185), "feedback leaves at x 780");
            QVERIFY2(!(a.y == 223 && b.y == 223), "return line at y 223");
        }
        QVERIFY(hasLine(scene.ops, {65, 223}, {65, 208}));
        QVERIFY(hasLine(scene.ops, {65, 208}, {58, 215}));
        QVERIFY(hasLine(scene.ops, {773, 178}, {780, 185}));
        const Op *zero = findText(scene.ops, "0", {75, 210});
        QVERIFY(zero);
        QCOMPARE(zero->font.color, clRed);
    }

    void closedLoopFeedsXBack()
    {
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene, {});
        QVERIFY(hasLine(scene.ops, {780, 185}, {780, 223}));
        QVERIFY(hasLine(scene.ops, {780, 223}, {65, 223}));
        QVERIFY(hasLine(scene.ops, {65, 223}, {65, 208}));
        QVERIFY(!hasLine(scene.ops, {773, 178}, {780, 185}));
        QVERIFY(!findText(scene.ops, "0", {75, 210}));
    }

    void variantLabels_data()
    {
        QTest::addColumn<bool>("twoStep");
        QTest::addColumn<int>("epuX");
        QTest::addColumn<Color>("eColor");
        QTest::addRow("idle") << false << 203 << clGreen;
        QTest::addRow("presentation") << false << 205 << clGreen;
        QTest::addRow("two-step") << true << 203 << clRed;
    }

    void variantLabels()
    {
        QFETCH(bool, twoStep);
        QFETCH(int, epuX);
        QFETCH(Color, eColor);
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene,
                        {.correctorLines = {}, .eLabelColor = twoStep ? clRed : clGreen, .epuLabelX = epuX});
        const Op *e = findText(scene.ops, "E", {10, 160});
        QVERIFY(e);
        QCOMPARE(e->font.color, eColor);
        QCOMPARE(e->font.size, 10);
        const Op *epu = findText(scene.ops, "Epu", {epuX, 160});
        QVERIFY(epu);
        QCOMPARE(epu->font.color, clMaroon);
    }

    // The variant's lines go inside the corrector box, right under its title,
    // in the captions' font.
    void correctorLinesFollowTheTitle_data()
    {
        QTest::addColumn<bool>("pole");
        QTest::addRow("open loop") << false;
        QTest::addRow("pole compensation") << true;
    }

    void correctorLinesFollowTheTitle()
    {
        QFETCH(bool, pole);
        const std::span<const CorrectorLine> lines =
            pole ? std::span<const CorrectorLine>(poleLines) : std::span<const CorrectorLine>(openLoopLines);
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene, {.correctorLines = lines});
        const auto texts = textsIn(scene.ops);
        const auto title = std::find(texts.begin(), texts.end(), "Régulateur");
        QVERIFY(title != texts.end());
        for (std::size_t i = 0; i < lines.size(); ++i)
            QCOMPARE(*(title + 1 + i), std::string(lines[i].text));
        QCOMPARE(*(title + 1 + lines.size()), std::string("Convertis."));
        const Op *first = findText(scene.ops, lines[0].text, {lines[0].x, lines[0].y});
        QCOMPARE(first->font, (Font{FontFace::SansSerif, 6, clBlue}));
    }

    void shaftSymbolsUseTheSymbolFaceAndLeaveTheTextFont()
    {
        RecordingCanvas scene(Surface::Scene);
        scene.font.face = FontFace::Symbol; // whatever a page left on the previous tick
        DrawLoopDiagram(scene, {});
        for (const char *letter : {"W", "W1", "q"}) {
            const auto it = std::find_if(scene.ops.begin(), scene.ops.end(),
                                         [&](const Op &op) { return op.text == letter; });
            QVERIFY(it != scene.ops.end());
            QCOMPARE(it->font, (Font{FontFace::Symbol, 12, clHighlight}));
        }
        QCOMPARE(scene.ops.back().text, std::string("q"));
        QCOMPARE(scene.font, (Font{FontFace::SansSerif, 12, clHighlight}));
        // The captions never inherit the old face.
        QCOMPARE(findText(scene.ops, "Régulateur", {130, 165})->font.face, FontFace::SansSerif);
    }

    void valueRowFormats_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<double>("omega");
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("speedText");
        QTest::addColumn<QString>("voltText");
        QTest::addColumn<QString>("uText");
        QTest::addRow("speed rounded up, comma") << "," << 4.79 << 0.1 << "5"
                                                 << "0,1"
                                                 << "4,9";
        QTest::addRow("whole volts, point") << "." << 145.02 << 2.0 << "146"
                                            << "2"
                                            << "4.9";
        QTest::addRow("slightly negative speed") << "," << -0.4 << -0.25 << "0"
                                                 << "-0,25"
                                                 << "4,9";
    }

    void valueRowFormats()
    {
        QFETCH(QString, separator);
        QFETCH(double, omega);
        QFETCH(double, v);
        QFETCH(QString, speedText);
        QFETCH(QString, voltText);
        QFETCH(QString, uText);
        ModelState s{.E = 1000, .Ep = -12, .Epu = 7, .X = 402, .U1 = 4.9, .U = 4.9, .Omega1 = omega};
        s.V = v;
        s.thetaAff = 0.59;
        RecordingCanvas scene(Surface::Scene);
        DrawValueRow(scene, s, clHighlight, 690, NumberFormat(separator.toStdString()));

        const std::vector<std::string> expected{"1000",
                                                "-12",
                                                "7",
                                                uText.toStdString(),
                                                uText.toStdString(),
                                                speedText.toStdString(),
                                                "0" + separator.toStdString() + "59",
                                                voltText.toStdString(),
                                                "402"};
        QCOMPARE(valueStrings(scene.ops, clHighlight), expected);
    }

    void valueRowUnitsAreBlackAfterTheValues()
    {
        RecordingCanvas scene(Surface::Scene);
        DrawValueRow(scene, {}, clBlack, 700, NumberFormat());
        QCOMPARE(scene.ops.size(), std::size_t(14));
        const Op &sensorUnit = scene.ops.back();
        QCOMPARE(sensorUnit.text, std::string("V"));
        QCOMPARE(sensorUnit.points.front(), (Point{700, 140}));
        for (std::size_t i = 9; i < scene.ops.size(); ++i)
            QCOMPARE(scene.ops[i].font.color, clBlack);
        QVERIFY(findText(scene.ops, "rad/s", {492, 140}));
    }

    void formulaCallout()
    {
        RecordingCanvas scene(Surface::Scene);
        DrawLoopDiagram(scene, {.correctorLines = poleLines});
        scene.ops.clear();
        DrawFormulaCallout(scene, "Epu(kT) = 6.8*Ep(kT) -2.5*Ep((k-1)T)", 108, 10);

        const Op *title =
            findText(scene.ops, "Le calcul effectué à chaque période d'échantillonnage :", {100, 100});
        QVERIFY(title);
        QCOMPARE(title->font, (Font{FontFace::SansSerif, 6, clRed}));
        const Op *formula = findText(scene.ops, "Epu(kT) = 6.8*Ep(kT) -2.5*Ep((k-1)T)", {108, 120});
        QVERIFY(formula);
        QCOMPARE(formula->font, (Font{FontFace::SansSerif, 10, clRed}));
        QVERIFY(hasLine(scene.ops, {170, 135}, {170, 150}));
        QCOMPARE(scene.ops.back().pen.color, clRed);
        // The page's next scene texts are blue captions.
        QCOMPARE(scene.font, (Font{FontFace::SansSerif, 6, clBlue}));
    }
};

QTEST_GUILESS_MAIN(TestLoopDiagram)
#include "tst_loopdiagram.moc"
