// Menu entry 5: the student's own corrector, gain, sampling period and step.
// The page reads like the other closed-loop lessons (diagram, arm, plots,
// values, texts, in the order of their frames), but every number comes from
// the simulated run, the plots are scaled to hold whatever the run does, and
// a small z-plane shows where the settings put the closed-loop poles.

#include "freesetting.h"

#include "closedloop.h"

#include "render/arm.h"
#include "render/loopdiagram.h"
#include "render/plots.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace lodrix {

namespace {

using namespace closedloop;

// ---- Plots. Both share the lessons' zero level and their tallest level
// above it, and keep room below for negative values down to the
// explanations; whatever a run does is scaled into that band, and a value
// beyond it is held on the band's edge.
constexpr int zeroY = 369;
constexpr int commandTopY = 270;
constexpr int traceTopY = 285; // under the legends
constexpr int bottomY = 399;
constexpr int leadInX = 40;
constexpr int traceOriginX = 400; // right plot; tick n's value sits at x = 400 + n, as on the other pages
constexpr int stairLabelOffsetX = 10;
constexpr int stairLabelSizePt = 8;
constexpr int textCellPx = 13; // an 8-point line

constexpr PeriodMarks marks{{88, 350}, {122, 350}, {438, 350}, {472, 350}};

// ---- The z-plane, in the scene's free top-left corner, beside the texts.
constexpr int zLeft = 8;
constexpr int zTop = 8;
constexpr int zSize = 90;
constexpr int zCentreX = zLeft + zSize / 2;
constexpr int zCentreY = zTop + zSize / 2;
constexpr int unitCirclePx = 36;
constexpr int crossHalfPx = 3;
constexpr Point zLabel{10, 100};
constexpr int zLabelSizePt = 6;

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
constexpr int settingsX = 110; // right of the z-plane
constexpr int settingsTopY = 5;
constexpr int settingsSizePt = 8;
constexpr int settingsLinePx = 15;
constexpr Point choiceTitle{610, 90}; // where the other lessons say what they chose
constexpr Point choiceLine{610, 110};
constexpr int explanationX = 10;
constexpr int firstPeriodY = 415;
constexpr int secondPeriodY = 445;
constexpr int explanationLinePx = 15;
constexpr Point conclusionAt{10, 475};
constexpr int firstPeriodLastTick = ticksPerPeriod - 1;
constexpr int secondPeriodLastTick = 2 * ticksPerPeriod - 1;

constexpr double armRestAngle = -1.4; // rad: where the lessons' arm starts

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

using TickLaw = double (*)(const SampledLoop &, int);

bool saturates(const SampledLoop &loop)
{
    const auto &periods = loop.periods();
    return std::any_of(periods.begin(), periods.end(), [](const SamplePeriod &p) { return p.saturated; });
}

// A plot's band, from topY down to bottomY about the zero level, and the
// pixels per unit that fit a run's values in it.
struct Band {
    int topY = 0;
    double pxPerUnit = 1.0;

    Band(int top, double highest, double lowest) : topY(top)
    {
        double px = std::numeric_limits<double>::infinity();
        if (highest > 0.0)
            px = std::min(px, (zeroY - topY) / highest);
        if (lowest < 0.0)
            px = std::min(px, (bottomY - zeroY) / -lowest);
        if (!std::isinf(px))
            pxPerUnit = px;
    }

    int y(double v) const
    {
        // Truncated as every y the lessons draw.
        return static_cast<int>(std::clamp(zeroY - v * pxPerUnit, double(topY), double(bottomY)));
    }
};

Band traceBand(const SampledLoop &loop, TickLaw law)
{
    double highest = 0.0;
    double lowest = 0.0;
    for (int n = -1; n < endTick; ++n) {
        const double v = law(loop, n);
        highest = std::max(highest, v);
        lowest = std::min(lowest, v);
    }
    return {traceTopY, highest, lowest};
}

Band commandBand(const SampledLoop &loop)
{
    double highest = 0.0;
    double lowest = 0.0;
    for (int k = 1; k <= periodCount; ++k) {
        highest = std::max(highest, commandVolts(loop, k));
        lowest = std::min(lowest, commandVolts(loop, k));
    }
    return {commandTopY, highest, lowest};
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
    std::string stability;
    std::string verdict;
    std::string saturation;
};

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
    w.setPoint = language.format("Réglage libre : échelon de 0 à E=%1 sur la consigne.",
                                 {NumberFormat::integer(s.step)});
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

void drawZPlane(Canvas &scene, const SampledLoop &loop)
{
    scene.pen = {clBlack, 1, PenStyle::Solid};
    scene.brush = {clWhite, BrushStyle::Solid};
    scene.rectangle(zLeft, zTop, zLeft + zSize, zTop + zSize);
    scene.pen.style = PenStyle::Dot;
    scene.line(zLeft + 1, zCentreY, zLeft + zSize - 1, zCentreY);
    scene.line(zCentreX, zTop + 1, zCentreX, zTop + zSize - 1);
    scene.pen.style = PenStyle::Solid;
    scene.brush.style = BrushStyle::Clear;
    scene.ellipse(zCentreX - unitCirclePx, zCentreY - unitCirclePx, zCentreX + unitCirclePx + 1,
                  zCentreY + unitCirclePx + 1);
    scene.brush.style = BrushStyle::Solid;

    // A pole beyond the picture is held on its edge, crossed in red like
    // every pole outside the circle.
    const int low = zLeft + 1 + crossHalfPx;
    const int high = zLeft + zSize - 2 - crossHalfPx;
    for (const Complex &z : loop.poles()) {
        scene.pen.color = std::abs(z) < 1.0 ? clBlue : clRed;
        const auto at = [&](double v) { return std::clamp(v, double(low), double(high)); };
        const int x = static_cast<int>(std::lround(at(zCentreX + z.real() * unitCirclePx)));
        const int y = static_cast<int>(std::lround(at(zCentreY - z.imag() * unitCirclePx)));
        scene.line(x - crossHalfPx, y - crossHalfPx, x + crossHalfPx + 1, y + crossHalfPx + 1);
        scene.line(x + crossHalfPx, y - crossHalfPx, x - crossHalfPx - 1, y + crossHalfPx + 1);
    }

    scene.font.face = FontFace::SansSerif;
    scene.font.size = zLabelSizePt;
    scene.font.color = clBlue;
    scene.textOut(zLabel.x, zLabel.y, "Pôles en z");
}

void drawSettingsTexts(Canvas &scene, const SampledLoop &loop, const Wording &w)
{
    const Style verdictStyle{loop.stable() ? clGreen : clRed, settingsSizePt};
    const Style plain{clBlue, settingsSizePt};
    std::vector<Words> words = {
        {w.setPoint, settingsX, settingsTopY, plain},
        {w.stability, settingsX, settingsTopY + settingsLinePx, plain},
        {w.verdict, settingsX, settingsTopY + 2 * settingsLinePx, verdictStyle},
        {"On choisit ici : ", choiceTitle.x, choiceTitle.y, sceneTextStyle},
        {w.choice, choiceLine.x, choiceLine.y, sceneTextStyle},
    };
    if (!w.saturation.empty())
        words.push_back(
            {w.saturation, settingsX, settingsTopY + 3 * settingsLinePx, {clRed, settingsSizePt}});
    DrawTextBlock(scene, {words});
    drawZPlane(scene, loop);
}

// ---- Window: the plots.

void drawCommand(Canvas &window, const SampledLoop &loop, const NumberFormat &f, int period, int n)
{
    const Band band = commandBand(loop);
    const int level = band.y(commandVolts(loop, period));
    const int previous = period == 1 ? zeroY : band.y(commandVolts(loop, period - 1));
    const int stepX = stairOriginX + ticksPerPeriod * (period - 1);
    window.pen.width = 1;
    window.pen.color = clGreen;
    if (period == 1)
        window.line(leadInX, zeroY, stairOriginX, zeroY);
    window.line(stepX, previous, stepX, level);
    PlotSegment(window, clGreen, stairOriginX + n, level, level);

    // Below its level, or above it where the text would cross the time axis.
    int labelY = level + 2;
    if (level <= zeroY && labelY + textCellPx >= zeroY)
        labelY = level - textCellPx - 1;
    window.font.size = stairLabelSizePt;
    window.font.color = clGreen;
    window.textOut(stepX + stairLabelOffsetX, labelY, rounded(f, commandVolts(loop, period), 1) + "V");
}

void drawTrace(Canvas &window, Color color, const SampledLoop &loop, TickLaw law, int n)
{
    const Band band = traceBand(loop, law);
    const auto segment = [&](int m) {
        PlotSegment(window, color, traceOriginX - 1 + m, band.y(law(loop, m - 1)), band.y(law(loop, m)));
    };
    // The first tick of a run, or of a step press, also draws the tick
    // before it, which no frame draws: the trace has no gap.
    if (n == 2)
        segment(1);
    else if (n % ticksPerPeriod == 1)
        segment(n - 1);
    segment(n);
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
    // What the value row shows when the period ends, on the next sample.
    ModelState end;
    freeRunTick(end, loop, ticksPerPeriod * period - 1);
    const char *acquisition =
        period == 1 ? "Première période : acquisition de X à t=0 : X=%1, E=%2 donc Ep=E-X=%3, %4, U1=U=%5V."
                    : "Deuxième période : acquisition de X à t=T : X=%1, E=%2 donc Ep=E-X=%3, %4, U1=U=%5V.";
    const char *outcome = period == 1
                              ? "Jusqu'à t=T la vitesse du moteur atteint %1 rad/s et le bras %2 rad, "
                                "donc l'acquisition au coup suivant sera : X=%3."
                              : "Jusqu'à t=2T la vitesse du moteur atteint %1 rad/s et le bras %2 rad, "
                                "donc l'acquisition au coup suivant sera : X=%3.";
    return {
        language.format(acquisition, {NumberFormat::integer(p.X), NumberFormat::integer(loop.settings().step),
                                      NumberFormat::integer(p.Ep), commandWords(loop, f, language, period),
                                      f.general(end.U1)}),
        language.format(outcome, {f.general(std::ceil(end.Omega1)), f.general(end.thetaAff),
                                  NumberFormat::integer(end.X)}),
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

void drawConclusion(Canvas &window, const SampledLoop &loop, const Language &language)
{
    const std::int32_t x = toCode(loop.atSample(periodCount).position);
    const std::int32_t e = loop.settings().step;
    const char *verdict = !loop.stable() ? "La boucle est instable : l'écart ne s'amortit pas."
                          : saturates(loop)
                              ? "La commande a saturé : la réponse est plus lente que ne le disent les pôles."
                              : "La boucle est stable : l'écart s'amortit.";
    const std::string text = language.format("Après 8 périodes : X=%1 pour E=%2, l'écart vaut %3. %4",
                                             {NumberFormat::integer(x), NumberFormat::integer(e),
                                              NumberFormat::integer(e - x), language.tr(verdict)});
    const Words words[] = {{text, conclusionAt.x, conclusionAt.y, {clBlue, 8}}};
    DrawTextBlock(window, {words});
}

} // namespace

void DrawFreeSettingFrame(FrameContext &ctx, const SampledLoop &loop, int n)
{
    Canvas &window = ctx.surfaces.window;
    Canvas &scene = ctx.surfaces.scene;
    const Wording wording = wordingOf(loop, ctx.numbers, ctx.language);

    drawDiagram(scene, wording, false);
    DrawArm(ctx.surfaces.anim, scene, armRestAngle - loop.atTick(n).position / codesPerRadian);

    DrawPlotAxes(window, PlotFrameKind::ClosedLoop, &marks);
    DrawTextBlock(window, {speedAndPositionLegends});
    // The end tick belongs to no period: it adds nothing to the plots.
    if (const int period = periodOf(n); period != 0) {
        drawCommand(window, loop, ctx.numbers, period, n);
        drawTrace(window, clBlack, loop, speedAt, n);
        drawTrace(window, clRed, loop, positionAt, n);
    }

    freeRunTick(ctx.model, loop, n);
    DrawValueRow(scene, ctx.model, clBlack, 700, ctx.numbers);
    drawSettingsTexts(scene, loop, wording);

    if (n <= firstPeriodLastTick)
        drawExplanation(window, loop, ctx.numbers, ctx.language, 1);
    else if (n <= secondPeriodLastTick)
        drawExplanation(window, loop, ctx.numbers, ctx.language, 2);

    if (n >= endTick)
        drawConclusion(window, loop, ctx.language);
}

void DrawFreeSettingIdle(FrameContext &ctx, const SampledLoop &loop)
{
    DrawIdlePicture(ctx);
    Canvas &scene = ctx.surfaces.scene;
    const Wording wording = wordingOf(loop, ctx.numbers, ctx.language);
    drawDiagram(scene, wording, true);
    drawSettingsTexts(scene, loop, wording);
}

} // namespace lodrix
