// Menu entry 5: the student's own corrector, gain, sampling period and step.
// The page reads like the other closed-loop lessons (diagram, arm, plots,
// values, texts, in the order of their frames), but every number comes from
// the simulated run, the plots are scaled to hold whatever the run does, and
// a small z-plane shows where the settings put the closed-loop poles.

#include "freesetting.h"

#include "closedloop.h"

#include "raster/textraster.h"
#include "render/arm.h"
#include "render/loopdiagram.h"
#include "render/periodgain.h"
#include "render/plots.h"
#include "render/zplane.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lodrix {

namespace {

using namespace closedloop;

// ---- Plots. Both share the lessons' zero level and their tallest level
// above it, and keep room below for negative values down to the
// explanations; the run, its prediction and the kept runs are scaled
// together into that band, and a value beyond it is held on the band's edge.
constexpr int zeroY = 369;
constexpr int commandTopY = 270;
constexpr int traceTopY = 285; // under the legends
constexpr int bottomY = 399;
constexpr int leadInX = 40;
constexpr int stairLabelOffsetX = 10;
constexpr int stairLabelSizePt = 8;
constexpr int textCellPx = 13; // an 8-point line
constexpr int sampleMarkHalfPx = 2;

constexpr PeriodMarks marks{{88, 350}, {122, 350}, {428, 350}, {452, 350}};
constexpr int periodMarkSizePt = 8;

// The prediction is drawn first, pale; the run covers it in the lessons'
// colours. Each kept run has a colour of its own, in its legend too.
constexpr Color paleGreen = 0xA0E0A0;
constexpr Color paleGrey = 0xB0B0B0;
constexpr Color palePink = 0xA0A0FF;
constexpr Color keptColors[] = {0x0080FF, 0xC000A0, 0x909000}; // orange, purple, teal
static_assert(std::size(keptColors) == keptRunLimit);

struct Palette {
    Color command;
    Color speed;
    Color position;
};
constexpr Palette runColors{clGreen, clBlack, clRed};
constexpr Palette predictionColors{paleGreen, paleGrey, palePink};

// The set-point as the computer acquires it, dotted under the position, its
// name at the end of the time axis.
constexpr Color setPointColor = clNavy;
constexpr int setPointLabelDx = 3;
constexpr int setPointLabelDy = -7;

// ---- The z-plane, right of the plots.
constexpr ZPlaneBox zPlane{{650, 250}, 150};
constexpr int zTextSizePt = 6; // its texts' size, the set-point's name's too
// The switch to the other view, at the right end of the box's title row.
constexpr int switchWidthPx = 44;
constexpr int switchHeightPx = 13;

// ---- Texts.
// Below "Régulateur" in the corrector box, as the lessons write theirs.
constexpr int correctorLineX = 130;
constexpr int correctorLineY = 180;
constexpr int correctorLinePx = 15;
constexpr int correctorLineSizePt = 6;
// The pole-compensation formula as its lesson places it; the two-step one is
// longer than that lesson's and smaller, to end before the arm's picture.
constexpr int compensationFormulaX = 108;
constexpr int compensationFormulaSizePt = 10;
constexpr int twoStepFormulaX = 1;
constexpr int twoStepFormulaSizePt = 6;
constexpr int settingsX = 10; // the scene's free top-left corner
constexpr int settingsTopY = 5;
constexpr int settingsSizePt = 8;
constexpr int settingsLinePx = 14;
constexpr int keptTopY = 76;
constexpr int keptLinePx = 14;
constexpr int keptRightX = 435; // where the arm's picture begins
constexpr int keptGapPx = 6;
constexpr int keptIndentPx = 10;
constexpr Point choiceTitle{610, 90}; // where the other lessons say what they chose
constexpr Point choiceLine{610, 110};
constexpr int explanationX = 10;
constexpr int firstPeriodY = 415;
constexpr int secondPeriodY = 445;
constexpr int explanationLinePx = 15;
constexpr Point conclusionAt{10, 475};

constexpr double armRestAngle = -1.4; // rad: where the lessons' arm starts

// ---- The load, an arrow up into the motor's box from under it while it
// acts, its value beside it; the feedback line runs under both.
constexpr Color loadColor = 0x0050C0; // a dark orange, apart from the signals' colours
constexpr int loadArrowX = 444;
constexpr int loadArrowTailY = 224; // the scene's last row
constexpr int loadArrowTipY = 210;  // just under the motor's box
constexpr int loadHeadPx = 4;
constexpr Point loadLabel{449, 210};
constexpr int loadLabelSizePt = 8;

std::string rounded(const NumberFormat &f, double v, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return f.general(std::round(v * scale) / scale);
}

// A coefficient to three significant digits, at most two decimals: the
// two-step formula must end before the arm's picture even at T1/4.
std::string coefficient(const NumberFormat &f, double v)
{
    const double magnitude = std::abs(v);
    return rounded(f, v, magnitude >= 100.0 ? 0 : magnitude >= 10.0 ? 1 : 2);
}

// A term of a sum: "+8.59" or "-5".
std::string signedTerm(const NumberFormat &f, double v)
{
    const std::string s = coefficient(f, v);
    return s.starts_with('-') ? s : "+" + s;
}

// ---- Laws of the page tick, read from the run.

double commandVolts(const SampledLoop &loop, int period)
{
    return loop.periods()[static_cast<std::size_t>(period - 1)].Epu * voltsPerCode;
}

double speedAt(const SampledLoop &loop, int n)
{
    return loop.atTick(n).rate / codesPerRadian * motorTurnsPerArmTurn;
}

// V, the sensor's image of the position.
double positionAt(const SampledLoop &loop, int n)
{
    return loop.atTick(n).position / codesPerVolt;
}

// The set-point held over the period of tick n, in the position plot's
// volts; the end tick has the ramp's last value, E.
double setPointAt(const SampledLoop &loop, int n)
{
    return lodrix::setPointAt(loop.settings(), n / ticksPerPeriod) / codesPerVolt;
}

// The code acquired at sample k, in the position plot's volts.
double sampleAt(const SampledLoop &loop, int k)
{
    return toCode(loop.atSample(k).position) / codesPerVolt;
}

using TickLaw = double (*)(const SampledLoop &, int);

bool saturates(const SampledLoop &loop)
{
    const auto &periods = loop.periods();
    return std::any_of(periods.begin(), periods.end(), [](const SamplePeriod &p) { return p.saturated; });
}

// A plot's band, from topY down to bottomY about the zero level, and the
// pixels per unit that fit the values it must hold.
class Band {
public:
    explicit Band(int top) : topY_(top) {}

    void hold(double v)
    {
        highest_ = std::max(highest_, v);
        lowest_ = std::min(lowest_, v);
    }

    int y(double v) const
    {
        double px = std::numeric_limits<double>::infinity();
        if (highest_ > 0.0)
            px = std::min(px, (zeroY - topY_) / highest_);
        if (lowest_ < 0.0)
            px = std::min(px, (bottomY - zeroY) / -lowest_);
        if (std::isinf(px))
            px = 1.0;
        // Truncated as every y the lessons draw.
        return static_cast<int>(std::clamp(zeroY - v * px, double(topY_), double(bottomY)));
    }

private:
    int topY_;
    double highest_ = 0.0;
    double lowest_ = 0.0;
};

// The three bands, fitted to the run and every kept run, so that all are
// drawn to one scale.
struct Bands {
    Band command{commandTopY};
    Band speed{traceTopY};
    Band position{traceTopY};

    Bands(const SampledLoop &loop, std::span<const KeptRun> kept)
    {
        holdRun(loop, true);
        for (const KeptRun &k : kept)
            holdRun(k.loop, false);
    }

private:
    void holdRun(const SampledLoop &loop, bool withSpeed)
    {
        for (int k = 1; k <= periodCount; ++k)
            command.hold(commandVolts(loop, k));
        for (int n = 0; n <= endTick; ++n) {
            if (withSpeed)
                speed.hold(speedAt(loop, n));
            position.hold(positionAt(loop, n));
            position.hold(setPointAt(loop, n));
        }
    }
};

// ---- Window: the plots. The page draws them whole on every frame: the kept
// runs, then the prediction, then the run as far as tick n.

// A label in the canvas's font over a ground of the window's colour: no
// line drawn before it, a kept run's or the set-point's, runs through it.
void labelOver(Canvas &window, Point at, std::string_view text)
{
    const Pen pen = window.pen;
    const Brush brush = window.brush;
    window.pen = {clFace, 1, PenStyle::Solid};
    window.brush = {clFace, BrushStyle::Solid};
    const int width = textWidth(window.font, window.language().tr(text));
    window.rectangle(at.x, at.y + 1, at.x + width, at.y + textCellPx);
    window.pen = pen;
    window.brush = brush;
    window.textOut(at.x, at.y, text);
}

// The "T" and "2T" of the first two graduations, over the kept runs and the
// set-point.
void drawPeriodMarks(Canvas &window)
{
    window.font = Font{.face = FontFace::SansSerif, .size = periodMarkSizePt, .color = clBlue, .bold = false};
    for (const auto &[at, text] : {std::pair{marks.leftT, "T"}, std::pair{marks.left2T, "2T"},
                                   std::pair{marks.rightT, "T"}, std::pair{marks.right2T, "2T"}})
        labelOver(window, at, text);
}

// The command staircase up to page tick n, with the level of each period
// written beside it when `labelled`.
void drawStaircase(Canvas &window, const SampledLoop &loop, const NumberFormat &f, const Band &band,
                   Color color, int n, bool labelled)
{
    window.pen.width = 1;
    window.pen.color = color;
    window.line(leadInX, zeroY, stairOriginX, zeroY);
    int previous = zeroY;
    for (int k = 1; k <= periodOf(std::min(n, endTick - 1)); ++k) {
        const int level = band.y(commandVolts(loop, k));
        const int stepX = stairOriginX + ticksPerPeriod * (k - 1);
        const int lastTick = std::min(n, ticksPerPeriod * k - 1);
        window.pen.color = color;
        window.line(stepX, previous, stepX, level);
        window.line(stepX, level, stairOriginX + lastTick + 1, level);
        previous = level;
        if (!labelled)
            continue;
        // Below its level, or above it where the text would cross the time axis.
        int labelY = level + 2;
        if (level <= zeroY && labelY + textCellPx >= zeroY)
            labelY = level - textCellPx - 1;
        window.font.face = FontFace::SansSerif;
        window.font.size = stairLabelSizePt;
        window.font.color = color;
        labelOver(window, {stepX + stairLabelOffsetX, labelY}, rounded(f, commandVolts(loop, k), 1) + "V");
    }
}

// A trace of the right-hand plot from tick 0 to tick n.
void drawTrace(Canvas &window, const SampledLoop &loop, TickLaw law, const Band &band, Color color, int n)
{
    window.pen.width = 1;
    window.pen.color = color;
    window.moveTo(laboratoryTraceX(0), band.y(law(loop, 0)));
    for (int m = 1; m <= n; ++m)
        window.lineTo(laboratoryTraceX(m), band.y(law(loop, m)));
}

// A small square on the position trace at each sample the run has reached.
void drawSamples(Canvas &window, const SampledLoop &loop, const Band &band, Color color, int n)
{
    window.pen.color = color;
    window.brush.style = BrushStyle::Clear;
    for (int k = 1; k <= periodCount && ticksPerPeriod * k <= n; ++k) {
        const int x = laboratoryTraceX(ticksPerPeriod * k);
        const int y = band.y(sampleAt(loop, k));
        window.rectangle(x - sampleMarkHalfPx, y - sampleMarkHalfPx, x + sampleMarkHalfPx + 1,
                         y + sampleMarkHalfPx + 1);
    }
    window.brush.style = BrushStyle::Solid;
}

// The set-point's staircase over the whole run, dotted, named "E" at its end.
void drawSetPoint(Canvas &window, const SampledLoop &loop, const Band &band)
{
    window.pen = {setPointColor, 1, PenStyle::Dot};
    int previous = band.y(setPointAt(loop, 0));
    for (int k = 0; k < periodCount; ++k) {
        const int level = band.y(setPointAt(loop, ticksPerPeriod * k));
        const int x = laboratoryTraceX(ticksPerPeriod * k);
        if (level != previous)
            window.line(x, previous, x, level);
        window.line(x, level, laboratoryTraceX(ticksPerPeriod * (k + 1)), level);
        previous = level;
    }
    const int last = band.y(setPointAt(loop, endTick));
    const int endX = laboratoryTraceX(endTick);
    if (last != previous)
        window.line(endX, previous, endX, last);
    window.pen.style = PenStyle::Solid;
    window.font =
        Font{.face = FontFace::SansSerif, .size = zTextSizePt, .color = setPointColor, .bold = false};
    window.textOut(endX + setPointLabelDx, last + setPointLabelDy, "E");
}

void drawResponse(Canvas &window, const SampledLoop &loop, const NumberFormat &f, const Bands &bands,
                  const Palette &colors, int n, bool labelled)
{
    drawStaircase(window, loop, f, bands.command, colors.command, n, labelled);
    drawTrace(window, loop, speedAt, bands.speed, colors.speed, n);
    drawTrace(window, loop, positionAt, bands.position, colors.position, n);
    drawSamples(window, loop, bands.position, colors.position, n);
}

// n: the last page tick the run has drawn; none before a start.
void drawPlots(Canvas &window, const SampledLoop &loop, std::span<const KeptRun> kept, const NumberFormat &f,
               std::optional<int> n)
{
    const Bands bands(loop, kept);
    DrawPlotAxes(window, PlotFrameKind::Laboratory);
    DrawTextBlock(window, {speedAndPositionLegends});
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const Color color = keptColors[kept[i].colour];
        drawStaircase(window, kept[i].loop, f, bands.command, color, endTick, false);
        drawTrace(window, kept[i].loop, positionAt, bands.position, color, endTick);
    }
    drawSetPoint(window, loop, bands.position);
    drawPeriodMarks(window);
    drawResponse(window, loop, f, bands, predictionColors, endTick, false);
    if (n)
        drawResponse(window, loop, f, bands, runColors, *n, true);
}

// ---- What the page writes about these settings, made once per frame. The
// texts made with this run's numbers are written from French patterns that
// the language translates; the fixed ones are translated as they are drawn.

struct Wording {
    std::vector<std::string> correctorLines;
    std::string formula;
    int formulaX = 0;
    int formulaSize = 0;
    std::string choice;
    std::string setPoint;
    std::string staticError;
    std::string stability;
    std::string verdict;
    std::string saturation;
};

// (w + D)/C(1) with this run's numbers: "(E/(8T)+D)/G = (500+300)/8 = 100".
std::string staticErrorFormula(const SampledLoop &loop, const NumberFormat &f, double error)
{
    const FreeSettings &s = loop.settings();
    const bool ramp = s.input == Input::Ramp;
    const double speed = loop.steadyCommand() - s.load; // codes/s
    std::string symbol = "D";
    std::string value = NumberFormat::integer(s.load);
    if (ramp && s.load == 0) {
        symbol = "E/(8T)";
        value = rounded(f, speed, 1);
    } else if (ramp) {
        symbol = "(E/(8T)+D)";
        value = "(" + rounded(f, speed, 1) + signedTerm(f, s.load) + ")";
    }
    switch (s.corrector) {
    case Corrector::Proportional:
        symbol += "/G";
        break;
    case Corrector::PoleCompensation:
        symbol += "/(G(1-a))";
        break;
    case Corrector::TwoStep:
        // C(1) = 2/(3T): written as a product, the quotient of a quotient reads badly.
        return "3T*" + symbol + "/2 = 3*" + rounded(f, s.period, 3) + "*" + value +
               "/2 = " + rounded(f, error, 1);
    }
    return symbol + " = " + value + "/" + rounded(f, loop.dcGain(), 2) + " = " + rounded(f, error, 1);
}

// The error the theory gives for these settings: on a step, the static
// error; on a ramp, the trailing error.
std::string staticErrorWords(const SampledLoop &loop, const NumberFormat &f, const Language &language)
{
    const bool ramp = loop.settings().input == Input::Ramp;
    const std::optional<double> error = loop.staticError();
    if (!loop.stable())
        return std::string(language.tr(ramp ? "Erreur de traînage prévue : infinie, la boucle est instable."
                                            : "Erreur statique prévue : infinie, la boucle est instable."));
    if (!error)
        return language.format(
            "Erreur de traînage prévue : infinie, il faudrait Epu=%1, au-delà de %2.",
            {rounded(f, loop.steadyCommand(), 0), NumberFormat::integer(converterCodeLimit)});
    if (*error == 0.0)
        return std::string(
            language.tr(ramp ? "Erreur de traînage prévue : nulle." : "Erreur statique prévue : nulle."));
    return language.format(ramp ? "Erreur de traînage prévue : %1 codes."
                                : "Erreur statique prévue : %1 codes.",
                           {staticErrorFormula(loop, f, *error)});
}

Wording wordingOf(const SampledLoop &loop, const NumberFormat &f, const Language &language)
{
    const FreeSettings &s = loop.settings();
    const SampledPlant &p = loop.plant();
    Wording w;
    const std::string gain = rounded(f, s.gain, 2);
    const std::string period = periodName(s.period);
    switch (s.corrector) {
    case Corrector::Proportional:
        w.correctorLines = {"Proportionnel", language.format("Gain : G=%1", {gain})};
        w.choice = language.format("T=%1 et G=%2", {period, gain});
        break;
    case Corrector::PoleCompensation: {
        const std::string ga = rounded(f, s.gain * p.a, 2);
        w.correctorLines = {"(" + gain + "z-" + ga + ")/z"};
        w.formula = "Epu(kT) = " + gain + "*Ep(kT) -" + ga + "*Ep((k-1)T)";
        w.formulaX = compensationFormulaX;
        w.formulaSize = compensationFormulaSizePt;
        w.choice = language.format("T=%1 et G=%2", {period, gain});
        break;
    }
    case Corrector::TwoStep: {
        // The recurrence of the corrector's D(z), as the two-step lesson writes it.
        const double r = p.b0 / p.b1;
        const double k = 1.0 / (2.0 * p.b1);
        w.correctorLines = {"Deux coups"};
        w.formula = "Epu(kT)=" + coefficient(f, -(0.5 + r)) + "*Epu((k-1)T)" + signedTerm(f, -0.5 * r) +
                    "*Epu((k-2)T)" + signedTerm(f, k) + "*Ep(kT)" + signedTerm(f, (1.0 - p.a) * k) +
                    "*Ep((k-1)T)" + signedTerm(f, -p.a * k) + "*Ep((k-2)T)";
        w.formulaX = twoStepFormulaX;
        w.formulaSize = twoStepFormulaSizePt;
        w.choice = "T=" + period;
        break;
    }
    }
    w.setPoint =
        language.format(s.input == Input::Ramp ? "Réglage libre : rampe de 0 à E=%1 en 8T sur la consigne."
                                               : "Réglage libre : échelon de 0 à E=%1 sur la consigne.",
                        {NumberFormat::integer(s.step)});
    if (s.load != 0)
        w.setPoint += language.format(" Charge D=%1 dès t=%2T.",
                                      {NumberFormat::integer(s.load), NumberFormat::integer(s.loadFrom)});
    w.staticError = staticErrorWords(loop, f, language);
    if (const auto gc = loop.criticalGain())
        w.stability =
            language.format("Gain critique pour T=%1 : Gc=%2 (ici G=%3)", {period, rounded(f, *gc, 1), gain});
    else
        w.stability = "Deux coups : X atteint E en 2 périodes si Epu ne sature pas.";
    w.verdict = loop.stable() ? "Boucle stable : tous les pôles sont dans le cercle unité."
                              : "Boucle instable : un pôle au moins est hors du cercle unité.";
    if (saturates(loop))
        w.saturation = language.format(
            "La commande sature : Epu est limité à %1..%2.",
            {NumberFormat::integer(-converterCodeLimit), NumberFormat::integer(converterCodeLimit)});
    return w;
}

// ---- Scene.

void drawDiagram(Canvas &scene, const Wording &w, bool asIdle)
{
    std::vector<CorrectorLine> lines;
    int y = correctorLineY;
    for (const std::string &text : w.correctorLines) {
        lines.push_back({text, correctorLineX, y});
        y += correctorLinePx;
    }
    if (asIdle) {
        // The idle diagram is already drawn, its corrector box blank.
        scene.font.face = FontFace::SansSerif;
        scene.font.color = clBlue;
        scene.font.size = correctorLineSizePt;
        DrawTexts(scene, lines);
    } else {
        DrawLoopDiagram(scene, {lines});
    }
    if (!w.formula.empty())
        DrawFormulaCallout(scene, w.formula, w.formulaX, w.formulaSize);
}

// The load, from the sample instant of its period on.
void drawLoad(Canvas &scene, const SampledLoop &loop, int n)
{
    const FreeSettings &s = loop.settings();
    if (s.load == 0 || n < ticksPerPeriod * s.loadFrom)
        return;
    scene.pen = {loadColor, 1, PenStyle::Solid};
    for (int dx : {0, 1}) // two pixels wide, to read against the diagram's lines
        scene.line(loadArrowX + dx, loadArrowTailY, loadArrowX + dx, loadArrowTipY);
    scene.line(loadArrowX, loadArrowTipY, loadArrowX - loadHeadPx, loadArrowTipY + loadHeadPx);
    scene.line(loadArrowX + 1, loadArrowTipY, loadArrowX + 1 + loadHeadPx, loadArrowTipY + loadHeadPx);
    scene.font = Font{.face = FontFace::SansSerif, .size = loadLabelSizePt, .color = loadColor, .bold = true};
    scene.textOut(loadLabel.x, loadLabel.y, "D=" + NumberFormat::integer(s.load));
    scene.font.bold = false; // the scene's other texts, on this frame and the next, are not
}

// "PC, G=6.8, T=T1": the corrector as a link names it, and its settings.
std::string keptName(const SampledLoop &loop, const NumberFormat &f)
{
    const FreeSettings &s = loop.settings();
    std::string text = settingText(*findSetting("corrector"), s);
    if (s.corrector != Corrector::TwoStep)
        text += ", G=" + rounded(f, s.gain, 2);
    return text + ", T=" + periodName(s.period);
}

// ", rampe, D=300 dès k=4": what tells apart runs kept with the same corrector.
std::string keptSetPointAndLoad(const SampledLoop &loop, const Language &language)
{
    const FreeSettings &s = loop.settings();
    std::string text;
    if (s.input == Input::Ramp)
        text += ", " + std::string(language.tr("rampe"));
    if (s.load != 0)
        text += language.format(", D=%1 dès k=%2",
                                {NumberFormat::integer(s.load), NumberFormat::integer(s.loadFrom)});
    return text;
}

void drawSettingsTexts(Canvas &scene, const SampledLoop &loop, std::span<const KeptRun> kept,
                       const Wording &w, const NumberFormat &f, const Language &language)
{
    const Style verdictStyle{loop.stable() ? clGreen : clRed, settingsSizePt};
    const Style plain{clBlue, settingsSizePt};
    std::vector<Words> words = {
        {w.setPoint, settingsX, settingsTopY, plain},
        {w.stability, settingsX, settingsTopY + settingsLinePx, plain},
        {w.verdict, settingsX, settingsTopY + 2 * settingsLinePx, verdictStyle},
        {w.staticError, settingsX, settingsTopY + 3 * settingsLinePx, plain},
        {"On choisit ici : ", choiceTitle.x, choiceTitle.y, sceneTextStyle},
        {w.choice, choiceLine.x, choiceLine.y, sceneTextStyle},
    };
    if (!w.saturation.empty())
        words.push_back(
            {w.saturation, settingsX, settingsTopY + 4 * settingsLinePx, {clRed, settingsSizePt}});
    // The legend of the kept runs, each in its colour, after its title on
    // the same line and the next: the corrector's formula comes below.
    std::vector<std::string> names;
    for (const KeptRun &k : kept)
        names.push_back(keptName(k.loop, f) + keptSetPointAndLoad(k.loop, language));
    if (!kept.empty()) {
        constexpr std::string_view title = "Courbes gardées (K) :";
        words.push_back({title, settingsX, keptTopY, plain});
        const Font font{.face = FontFace::SansSerif, .size = settingsSizePt};
        Point at{settingsX + textWidth(font, language.tr(title)) + keptGapPx, keptTopY};
        for (std::size_t i = 0; i < names.size(); ++i) {
            const int width = textWidth(font, names[i]);
            if (at.x + width > keptRightX) {
                at = {settingsX + keptIndentPx, at.y + keptLinePx};
            }
            words.push_back({names[i], at.x, at.y, {keptColors[kept[i].colour], settingsSizePt}});
            at.x += width + keptGapPx;
        }
    }
    DrawTextBlock(scene, {words});
}

// ---- Window: the texts.

// "Epu=2.5*182=455", with the corrector's own terms.
std::string commandWords(const SampledLoop &loop, const NumberFormat &f, const Language &language, int period)
{
    const FreeSettings &s = loop.settings();
    const SamplePeriod &p = loop.periods()[static_cast<std::size_t>(period - 1)];
    const std::string gain = rounded(f, s.gain, 2);
    std::string text = "Epu=";
    switch (s.corrector) {
    case Corrector::Proportional:
        text += gain + "*" + NumberFormat::integer(p.Ep) + "=";
        break;
    case Corrector::PoleCompensation: {
        // Before the step the error was 0: the first period is proportional.
        if (period == 1) {
            text += gain + "*" + NumberFormat::integer(p.Ep) + "=";
            break;
        }
        const std::int32_t before = loop.periods()[static_cast<std::size_t>(period - 2)].Ep;
        text += gain + "*(" + NumberFormat::integer(p.Ep) + "-" + rounded(f, loop.plant().a, 2) + "*" +
                NumberFormat::integer(before) + ")=";
        break;
    }
    case Corrector::TwoStep:
        break;
    }
    if (p.saturated)
        return text +
               language.format("%1, limité à %2", {rounded(f, p.wanted, 0), NumberFormat::integer(p.Epu)});
    return text + NumberFormat::integer(p.Epu);
}

std::vector<std::string> periodExplanation(const SampledLoop &loop, const NumberFormat &f,
                                           const Language &language, int period)
{
    const SamplePeriod &p = loop.periods()[static_cast<std::size_t>(period - 1)];
    // The value row during the period, and on the next sample.
    ModelState during;
    freeRunTick(during, loop, ticksPerPeriod * (period - 1));
    ModelState end;
    freeRunTick(end, loop, ticksPerPeriod * period);
    const char *acquisition =
        period == 1 ? "Première période : acquisition de X à t=0 : X=%1, E=%2 donc Ep=E-X=%3, %4, U1=U=%5V."
                    : "Deuxième période : acquisition de X à t=T : X=%1, E=%2 donc Ep=E-X=%3, %4, U1=U=%5V.";
    const char *outcome = period == 1
                              ? "Jusqu'à t=T la vitesse du moteur atteint %1 rad/s et le bras %2 rad, "
                                "donc l'acquisition au coup suivant sera : X=%3."
                              : "Jusqu'à t=2T la vitesse du moteur atteint %1 rad/s et le bras %2 rad, "
                                "donc l'acquisition au coup suivant sera : X=%3.";
    return {
        language.format(acquisition,
                        {NumberFormat::integer(p.X), NumberFormat::integer(p.E), NumberFormat::integer(p.Ep),
                         commandWords(loop, f, language, period), f.general(during.U1)}),
        language.format(outcome,
                        {rounded(f, end.Omega1, 0), rounded(f, end.theta, 2), NumberFormat::integer(end.X)}),
    };
}

void drawExplanation(Canvas &window, const SampledLoop &loop, const NumberFormat &f, const Language &language,
                     int period)
{
    const std::vector<std::string> lines = periodExplanation(loop, f, language, period);
    const Style style = period == 1 ? blackText : redText;
    const int y = period == 1 ? firstPeriodY : secondPeriodY;
    const Words words[] = {
        {lines[0], explanationX, y, style},
        {lines[1], explanationX, y + explanationLinePx, style},
    };
    DrawTextBlock(window, {words, explanationSizeAfterPt});
}

void drawConclusion(Canvas &window, const SampledLoop &loop, const NumberFormat &f, const Language &language)
{
    // The end tick's value row: the sample at 8T.
    const SamplePeriod &last = loop.lastSample();
    const std::optional<double> expected = loop.staticError();
    std::string verdict;
    if (!loop.stable())
        verdict = language.tr("La boucle est instable : l'écart ne s'amortit pas.");
    else if (saturates(loop))
        verdict = language.tr("La commande a saturé : la réponse est plus lente que ne le disent les pôles.");
    else if (expected && *expected != 0.0)
        verdict = language.format("La boucle est stable : l'écart tend vers l'erreur prévue, %1.",
                                  {rounded(f, *expected, 1)});
    else
        verdict = language.tr("La boucle est stable : l'écart s'amortit.");
    const std::string text = language.format("Après 8 périodes : X=%1 pour E=%2, l'écart vaut %3. %4",
                                             {NumberFormat::integer(last.X), NumberFormat::integer(last.E),
                                              NumberFormat::integer(last.Ep), verdict});
    const Words words[] = {{text, conclusionAt.x, conclusionAt.y, {clBlue, 8}}};
    DrawTextBlock(window, {words});
}

// Before a start: how to read the picture and what to do with it.
void drawHint(Canvas &window)
{
    const Words words[] = {
        {"Aperçu : la réponse prévue est tracée en clair ; « Démarrer Animation » la joue par-dessus.",
         explanationX,
         firstPeriodY,
         {clBlue, 8}},
        {"Déplacez le gain : la réponse, les pôles et le verdict suivent. K garde une courbe, Maj+K les "
         "efface.",
         explanationX,
         firstPeriodY + explanationLinePx,
         {clBlue, 8}},
    };
    DrawTextBlock(window, {words});
}

// The whole text area, drawn again on every frame: the plots as far as tick
// n (none before a start), the z-plane and the texts the run has reached.
// The shown view of the box, with its switch to the other one.
void drawViews(FrameContext &ctx, const SampledLoop &loop, const FreeViews &views)
{
    Canvas &window = ctx.surfaces.window;
    if (views.shown == FreeView::PeriodGain) {
        DrawPeriodGainView(window, loop.settings(), ctx.numbers, {zPlane.topLeft, zPlane.size, zPlane.size});
    } else {
        DrawZPlane(window, loop, ctx.numbers, zPlane);
        if (views.pointed)
            DrawLocusReadout(window, *views.pointed, loop.settings().period, ctx.numbers, zPlane);
    }
    const std::string_view label = views.shown == FreeView::PeriodGain ? "Lieu »" : "Gc(T) »";
    window.font = Font{.face = FontFace::SansSerif, .size = zTextSizePt, .color = clNavy, .bold = false};
    const int w = textWidth(window.font, window.language().tr(label));
    const int right = zPlane.topLeft.x + zPlane.size - 3;
    window.pen = {clWhite, 1, PenStyle::Solid};
    window.brush = {clWhite, BrushStyle::Solid};
    window.rectangle(right - w - 2, zPlane.topLeft.y + 1, right + 1, zPlane.topLeft.y + switchHeightPx);
    window.textOut(right - w, zPlane.topLeft.y + 1, label);
    window.pen.color = clBlack;
}

void drawWindow(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept,
                std::optional<int> n, const FreeViews &views)
{
    Canvas &window = ctx.surfaces.window;
    window.pen = {clFace, 1, PenStyle::Solid};
    window.brush = {clFace, BrushStyle::Solid};
    ClearTextArea(window);
    drawPlots(window, loop, kept, ctx.numbers, n);
    drawViews(ctx, loop, views);
    if (!n) {
        drawHint(window);
        return;
    }
    drawExplanation(window, loop, ctx.numbers, ctx.language, 1);
    if (*n >= ticksPerPeriod)
        drawExplanation(window, loop, ctx.numbers, ctx.language, 2);
    if (*n >= endTick)
        drawConclusion(window, loop, ctx.numbers, ctx.language);
}

} // namespace

std::size_t FreeKeptColour(std::span<const KeptRun> kept)
{
    for (std::size_t colour = 0; colour < keptRunLimit; ++colour)
        if (std::none_of(kept.begin(), kept.end(), [&](const KeptRun &k) { return k.colour == colour; }))
            return colour;
    return 0;
}

ZPlaneBox FreeViewBox()
{
    return zPlane;
}

bool OnFreeViewSwitch(Point p)
{
    const int right = zPlane.topLeft.x + zPlane.size;
    return p.x >= right - switchWidthPx && p.x < right && p.y >= zPlane.topLeft.y &&
           p.y < zPlane.topLeft.y + switchHeightPx;
}

const char *FreeViewName(FreeView view)
{
    return view == FreeView::PeriodGain
               ? "Gc(T) : zone stable en période et gain ; un clic choisit T et G"
               : "Lieu des pôles : un clic ou les flèches sur une branche choisissent G";
}

void DrawFreeSettingFrame(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept, int n,
                          const FreeViews &views)
{
    Canvas &scene = ctx.surfaces.scene;
    const Wording wording = wordingOf(loop, ctx.numbers, ctx.language);

    drawDiagram(scene, wording, false);
    drawLoad(scene, loop, n);
    DrawArm(ctx.surfaces.anim, scene, armRestAngle - loop.atTick(n).position / codesPerRadian);
    DrawValueRow(scene, ctx.model, clBlack, 700, ctx.numbers);
    drawSettingsTexts(scene, loop, kept, wording, ctx.numbers, ctx.language);

    drawWindow(ctx, loop, kept, n, views);
}

void DrawFreeSettingIdle(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept,
                         const FreeViews &views)
{
    DrawIdlePicture(ctx);
    Canvas &scene = ctx.surfaces.scene;
    const Wording wording = wordingOf(loop, ctx.numbers, ctx.language);
    drawDiagram(scene, wording, true);
    drawSettingsTexts(scene, loop, kept, wording, ctx.numbers, ctx.language);
    drawWindow(ctx, loop, kept, std::nullopt, views);
}

} // namespace lodrix
