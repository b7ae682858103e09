#include "loopdiagram.h"

#include <cmath>
#include <iterator>
#include <string>

namespace lodrix {

namespace {

struct Box {
    Point topLeft;
    Point bottomRight; // excluded
};

constexpr int captionSizePt = 6;
constexpr int junctionSignSizePt = 15;
constexpr int signalNameSizePt = 10;
constexpr int shaftSymbolSizePt = 12;
constexpr int valueSizePt = 10;
constexpr int valueRowY = 140;

// Taller than the 225-pixel scene on purpose: the canvas clips the rest.
constexpr Box sceneClear{{0, 0}, {785, 265}};
constexpr Box correctorBox{{120, 160}, {200, 210}};
constexpr Box junction{{40, 160}, {90, 210}};

// The junction's cross, then the digital arrows up to the converter's output.
// The heads start at the tip so that the tip itself is painted.
constexpr PlacedLine digitalStrokes[] = {
    {{47, 167}, {83, 203}},   // cross
    {{83, 167}, {47, 203}},   //
    {{10, 185}, {40, 185}},   // E into the junction
    {{40, 185}, {33, 178}},   //
    {{40, 185}, {33, 192}},   //
    {{90, 185}, {120, 185}},  // Ep into the corrector
    {{120, 185}, {113, 178}}, //
    {{120, 185}, {113, 192}}, //
    {{200, 185}, {230, 185}}, // Epu into the converter
    {{230, 185}, {223, 178}}, //
    {{230, 185}, {223, 192}}, //
    {{760, 185}, {780, 185}}, // X out of the analog-to-digital converter
};

// Up into the junction's minus input, drawn whether or not X is fed back.
constexpr PlacedLine feedbackArrow[] = {
    {{65, 223}, {65, 208}},
    {{65, 208}, {58, 215}},
    {{65, 208}, {72, 215}},
};

constexpr PlacedLine feedbackDown{{780, 185}, {780, 223}};
constexpr PlacedLine feedbackReturn{{780, 223}, {65, 223}};

// With the loop cut, X gets a head of its own; it ends in the tip.
constexpr PlacedLine openOutputHead[] = {
    {{773, 178}, {780, 185}},
    {{773, 192}, {780, 185}},
};

constexpr PlacedLine analogArrows[] = {
    {{290, 185}, {320, 185}}, // U1 into the amplifier
    {{320, 185}, {313, 178}}, //
    {{320, 185}, {313, 192}}, //
    {{400, 185}, {430, 185}}, // U into the motor
    {{430, 185}, {423, 178}}, //
    {{430, 185}, {423, 192}}, //
    {{670, 185}, {700, 185}}, // V into the converter
    {{700, 185}, {693, 178}}, //
    {{700, 185}, {693, 192}}, //
};

constexpr Box analogBoxes[] = {
    {{320, 160}, {400, 210}}, // amplifier
    {{430, 160}, {490, 210}}, // motor
    {{520, 160}, {580, 210}}, // reducer
    {{610, 160}, {670, 210}}, // sensor
};

constexpr Box converterBoxes[] = {
    {{230, 160}, {290, 210}}, // digital-to-analog
    {{700, 160}, {760, 210}}, // analog-to-digital
};

constexpr Box fastShaft{{490, 180}, {520, 190}};

constexpr Box slowShafts[] = {
    {{545, 140}, {555, 160}}, // output stub, continued upwards by the arm's shaft
    {{580, 180}, {610, 190}}, // reducer to sensor
};

constexpr PlacedText junctionSigns[] = {
    {"+", 45, 173},
    {"-", 62, 185},
};

constexpr PlacedText correctorCaption{"Régulateur", 130, 165};

// The other boxes' captions; the variant's corrector lines come before them.
constexpr PlacedText boxCaptions[] = {
    {"Convertis.", 235, 165},    //
    {"Num./An.", 237, 185},      //
    {"Amplificateur", 330, 165}, //
    {"de puissance", 325, 180},  //
    {"(gain=1)", 340, 195},      //
    {"Moteur à", 440, 165},      //
    {"courant", 442, 180},       //
    {"continu", 442, 195},       //
    {"Réducteur", 525, 175},     //
    {"Capteur ", 620, 170},      //
    {"de position", 615, 185},   //
    {"Convertis.", 705, 165},    //
    {"An./Num.", 707, 185},      //
};

constexpr ColoredText fixedSignalNames[] = {
    {"U1", 293, 160, clBlack},
    {"U", 410, 160, clGreen},
    {"V", 680, 160, clRed},
    {"X", 770, 160, clBlack},
};

constexpr ColoredText openLoopZero{"0", 75, 210, clRed};

// Symbol face: Ω beside the output stub, Ω1 above the fast shaft, θ above
// the shaft to the sensor.
constexpr PlacedText shaftSymbols[] = {
    {"W", 560, 140},
    {"W1", 495, 160},
    {"q", 585, 160},
};

void drawBox(Canvas &canvas, const Box &b)
{
    canvas.rectangle(b.topLeft.x, b.topLeft.y, b.bottomRight.x, b.bottomRight.y);
}

void drawBoxes(Canvas &canvas, std::span<const Box> boxes)
{
    for (const Box &b : boxes)
        drawBox(canvas, b);
}

void setPenAndBrush(Canvas &canvas, Color color)
{
    canvas.pen.color = color;
    canvas.brush.color = color;
}

struct ValueColumn {
    int x;
    const char *name; // as a screen reader says it
    const char *unit;
    std::string (*text)(const ModelState &, const NumberFormat &);
};

// The value row in the order of the signals along the loop.
constexpr ValueColumn valueColumns[] = {
    {10, "E", "", [](const ModelState &s, const NumberFormat &) { return NumberFormat::integer(s.E); }},
    {90, "Ep", "", [](const ModelState &s, const NumberFormat &) { return NumberFormat::integer(s.Ep); }},
    {200, "Epu", "", [](const ModelState &s, const NumberFormat &) { return NumberFormat::integer(s.Epu); }},
    {290, "U1", " V", [](const ModelState &s, const NumberFormat &f) { return f.general(s.U1); }},
    {400, "U", " V", [](const ModelState &s, const NumberFormat &f) { return f.general(s.U); }},
    {470, "Ω1", " rad/s",
     [](const ModelState &s, const NumberFormat &f) { return f.general(std::ceil(s.Omega1)); }},
    {590, "θ", " rad", [](const ModelState &s, const NumberFormat &f) { return f.general(s.thetaAff); }},
    {670, "V", " V", [](const ModelState &s, const NumberFormat &f) { return f.general(s.V); }},
    {755, "X", "", [](const ModelState &s, const NumberFormat &) { return NumberFormat::integer(s.X); }},
};
static_assert(std::size(valueColumns) == 9);

// The sensor's "V" comes last, at the page's own x.
constexpr PlacedText units[] = {
    {"V", 310, valueRowY},
    {"V", 420, valueRowY},
    {"rad/s", 492, valueRowY},
    {"rad", 617, valueRowY},
};

constexpr int calloutSizePt = 6;
constexpr int formulaY = 120;
constexpr PlacedText calloutTitle{"Le calcul effectué à chaque période d'échantillonnage :", 100, 100};
// Down into the corrector; the heads end in the tip.
constexpr PlacedLine calloutArrow[] = {
    {{170, 135}, {170, 150}},
    {{163, 143}, {170, 150}},
    {{177, 143}, {170, 150}},
};

} // namespace

void DrawText(Canvas &canvas, const PlacedText &text)
{
    canvas.textOut(text.x, text.y, text.text);
}

void DrawTexts(Canvas &canvas, std::span<const PlacedText> texts)
{
    for (const PlacedText &t : texts)
        DrawText(canvas, t);
}

void DrawText(Canvas &canvas, const ColoredText &text)
{
    canvas.font.color = text.color;
    canvas.textOut(text.x, text.y, text.text);
}

void DrawTexts(Canvas &canvas, std::span<const ColoredText> texts)
{
    for (const ColoredText &t : texts)
        DrawText(canvas, t);
}

void DrawLine(Canvas &canvas, const PlacedLine &line)
{
    canvas.line(line.from.x, line.from.y, line.to.x, line.to.y);
}

void DrawLines(Canvas &canvas, std::span<const PlacedLine> lines)
{
    for (const PlacedLine &l : lines)
        DrawLine(canvas, l);
}

void DrawLoopDiagram(Canvas &scene, const DiagramVariant &variant)
{
    scene.pen.width = 1;
    setPenAndBrush(scene, clFace);
    scene.brush.style = BrushStyle::Solid;
    drawBox(scene, sceneClear);

    scene.pen.color = clRed;
    scene.brush.color = clWhite;
    drawBox(scene, correctorBox);
    scene.ellipse(junction.topLeft.x, junction.topLeft.y, junction.bottomRight.x, junction.bottomRight.y);

    DrawLines(scene, digitalStrokes);
    if (variant.loopClosed) {
        DrawLine(scene, feedbackDown);
        DrawLines(scene, feedbackArrow);
        DrawLine(scene, feedbackReturn);
    } else {
        DrawLines(scene, openOutputHead);
        DrawLines(scene, feedbackArrow);
    }

    scene.pen.color = clBlue;
    DrawLines(scene, analogArrows);
    scene.brush.color = clWhite;
    drawBoxes(scene, analogBoxes);

    scene.brush.color = clYellow;
    scene.pen.color = clRed;
    drawBoxes(scene, converterBoxes);

    setPenAndBrush(scene, clAqua);
    drawBox(scene, fastShaft);

    setPenAndBrush(scene, clYellow);
    drawBoxes(scene, slowShafts);

    scene.brush.color = clRed;

    scene.font.color = clRed;
    scene.font.size = junctionSignSizePt;
    DrawTexts(scene, junctionSigns);

    scene.font.face = FontFace::SansSerif;
    scene.font.color = clBlue;
    scene.font.size = captionSizePt;
    DrawText(scene, correctorCaption);
    DrawTexts(scene, variant.correctorLines);
    DrawTexts(scene, boxCaptions);

    scene.font.size = signalNameSizePt;
    const ColoredText variableSignalNames[] = {
        {"E", 10, 160, variant.eLabelColor},
        {"Ep", 93, 160, clBlue},
        {"Epu", variant.epuLabelX, 160, clMaroon},
    };
    DrawTexts(scene, variableSignalNames);
    DrawTexts(scene, fixedSignalNames);
    if (!variant.loopClosed)
        DrawText(scene, openLoopZero);

    scene.font.color = clHighlight;
    scene.font.size = shaftSymbolSizePt;
    scene.font.face = FontFace::Symbol;
    DrawTexts(scene, shaftSymbols);
    scene.font.face = FontFace::SansSerif;
}

void DrawValueRow(Canvas &scene, const ModelState &values, Color valueColor, int vUnitX,
                  const NumberFormat &numbers)
{
    scene.font.face = FontFace::SansSerif;
    scene.font.size = valueSizePt;
    scene.font.color = valueColor;
    for (const ValueColumn &c : valueColumns)
        scene.textOut(c.x, valueRowY, c.text(values, numbers));

    scene.font.color = clBlack;
    DrawTexts(scene, units);
    scene.textOut(vUnitX, valueRowY, "V");
}

std::string valueRowText(const ModelState &values, const NumberFormat &numbers)
{
    std::string text;
    for (const ValueColumn &c : valueColumns) {
        if (!text.empty())
            text += ", ";
        text += c.name;
        text += " = ";
        text += c.text(values, numbers);
        text += c.unit;
    }
    return text;
}

std::string surfaceDescription(std::string_view lesson, bool pageDrawn, const ModelState &values,
                               const NumberFormat &numbers, const Language &language)
{
    const std::string_view title = lesson.empty() ? language.tr("Aucune leçon choisie") : lesson;
    if (!pageDrawn)
        return std::string(title);
    return language.format("%1 : %2", {title, valueRowText(values, numbers)});
}

void DrawFormulaCallout(Canvas &scene, std::string_view formula, int formulaX, int formulaSize)
{
    scene.font.color = clRed;
    scene.font.size = calloutSizePt;
    DrawText(scene, calloutTitle);
    scene.font.size = formulaSize;
    scene.textOut(formulaX, formulaY, formula);

    scene.pen.color = clRed;
    DrawLines(scene, calloutArrow);

    scene.font.color = clBlue;
    scene.font.size = calloutSizePt;
}

} // namespace lodrix
