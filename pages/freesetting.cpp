// Menu entry 5: the student's own corrector, gain, sampling period and step.
// The page reads like the other closed-loop lessons (diagram, arm, plots,
// values, texts, in the order of their frames), but every number comes from
// the simulated run, the plots are scaled to hold whatever the run does, and
// a small z-plane shows where the settings put the closed-loop poles.

#include "freesetting.h"

#include "closedloop.h"

#include "model/frequency.h"
#include "raster/textraster.h"
#include "render/arm.h"
#include "render/freqviews.h"
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
// Samples closer than this on the axis get no square: they would run together.
constexpr int sampleMarkMinPx = 6;
constexpr int sampleMarkSpan = 4; // samples over which their spacing is measured

constexpr PeriodMarks marks{{88, 350}, {122, 350}, {428, 350}, {452, 350}};
constexpr int periodMarkSizePt = 8;
// The plots' graduations, an eighth of the horizon each (render/plots.h).
constexpr int graduationCount = 8;
constexpr int leftGraduationPx = 40;
constexpr int rightGraduationPx = 30;

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
// Enlarged: over the right-hand plot, from its vertical axis to the
// window's edge, down to the row of the views' chooser.
constexpr ViewBox largeViews{396, 250, 404, 222};
constexpr int zTextSizePt = 6; // its texts' size, the set-point's name's too

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
// volts; the end tick has the last sample's.
double setPointAt(const SampledLoop &loop, int n)
{
    const int k = n >= endTick ? loop.sampleCount() : loop.periodAtTick(n);
    return lodrix::setPointAt(loop.settings(), k) / codesPerVolt;
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

// ---- The time axis. Both plots span the run's horizon whatever its
// period, and a kept run is drawn on it at its own times, as far as the
// horizon goes. Times are counted in grains, 1/320 of the shortest
// horizon, in which every period, sample instant and tick is whole: a tick
// of the run on screen is drawn where it always was.
constexpr double timeGrain = horizonChoices[0] / endTick;

long grainsOf(double seconds)
{
    return std::lround(seconds / timeGrain);
}

long periodGrains(const SampledLoop &loop)
{
    return grainsOf(loop.settings().period);
}

long tickGrains(const SampledLoop &loop)
{
    return grainsOf(loop.settings().horizon) / endTick;
}

struct TimeAxis {
    long horizon = 1; // grains

    // The right-hand plot's x of a time, as laboratoryTraceX of its tick.
    int traceX(long t) const { return laboratoryTraceX(0) + int(3 * endTick * t / (4 * horizon)); }
    // The left-hand plot's, a pixel a tick from its origin.
    int stairX(long t) const { return stairOriginX + int(endTick * t / horizon); }
    // The last tick of a run this axis holds.
    int lastTick(const SampledLoop &loop) const
    {
        return int(std::min<long>(endTick, horizon / tickGrains(loop)));
    }
};

TimeAxis axisOf(const SampledLoop &loop)
{
    return {std::max(1L, grainsOf(loop.settings().horizon))};
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

// The three bands, fitted to the run and to what the axis shows of every
// kept run, so that all are drawn to one scale.
struct Bands {
    Band command{commandTopY};
    Band speed{traceTopY};
    Band position{traceTopY};

    Bands(const SampledLoop &loop, std::span<const KeptRun> kept, const TimeAxis &axis)
    {
        holdRun(loop, true, axis);
        for (const KeptRun &k : kept)
            holdRun(k.loop, false, axis);
    }

private:
    void holdRun(const SampledLoop &loop, bool withSpeed, const TimeAxis &axis)
    {
        for (int k = 1; k <= loop.sampleCount() && periodGrains(loop) * (k - 1) < axis.horizon; ++k)
            command.hold(commandVolts(loop, k));
        for (int n = 0; n <= axis.lastTick(loop); ++n) {
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

// The names of graduations, over the kept runs and the set-point. A
// graduation is an eighth of the horizon: where that is the period the
// first two are named "T" and "2T" as on the lessons' pages, elsewhere the
// second and fourth by their times in seconds, centred on them.
void drawPeriodMarks(Canvas &window, const SampledLoop &loop, const NumberFormat &f)
{
    window.font = Font{.face = FontFace::SansSerif, .size = periodMarkSizePt, .color = clBlue, .bold = false};
    const FreeSettings &s = loop.settings();
    if (grainsOf(s.horizon) == graduationCount * periodGrains(loop)) {
        for (const auto &[at, text] : {std::pair{marks.leftT, "T"}, std::pair{marks.left2T, "2T"},
                                       std::pair{marks.rightT, "T"}, std::pair{marks.right2T, "2T"}})
            labelOver(window, at, text);
        return;
    }
    for (int g = 2; g <= 4; g += 2) {
        const std::string text = f.general(s.horizon * g / graduationCount) + " s";
        const int half = textWidth(window.font, text) / 2;
        for (const int x :
             {stairOriginX + 1 + leftGraduationPx * g, laboratoryTraceX(0) + rightGraduationPx * g})
            labelOver(window, {x - half, marks.leftT.y}, text);
    }
}

// The command staircase up to page tick n, with the level of each period
// written beside it when `labelled`, where it leaves the one before clear;
// periods narrower than the lessons' have a level written only where it
// changed, a graduation's width after the last.
void drawStaircase(Canvas &window, const SampledLoop &loop, const NumberFormat &f, const Band &band,
                   const TimeAxis &axis, Color color, int n, bool labelled)
{
    window.pen.width = 1;
    window.pen.color = color;
    window.line(leadInX, zeroY, stairOriginX, zeroY);
    int previous = zeroY;
    const long period = periodGrains(loop);
    // The run reached tick n; the axis ends at the horizon.
    const int reachedX = std::min(axis.stairX(tickGrains(loop) * n) + 1, axis.stairX(axis.horizon));
    const bool narrow = axis.stairX(period) - axis.stairX(0) < leftGraduationPx;
    int labelledTo = leadInX;
    int lastLabelX = leadInX - leftGraduationPx;
    std::string lastText;
    for (int k = 1; k <= loop.periodAtTick(std::min(n, endTick - 1)) + 1 && period * (k - 1) < axis.horizon;
         ++k) {
        const int level = band.y(commandVolts(loop, k));
        const int stepX = axis.stairX(period * (k - 1));
        window.pen.color = color;
        window.line(stepX, previous, stepX, level);
        window.line(stepX, level, std::min(axis.stairX(period * k), reachedX), level);
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
        const std::string text = rounded(f, commandVolts(loop, k), 1) + "V";
        const int labelX = stepX + stairLabelOffsetX;
        if (labelX < labelledTo || (narrow && (text == lastText || labelX < lastLabelX + leftGraduationPx)))
            continue;
        labelOver(window, {labelX, labelY}, text);
        labelledTo = labelX + textWidth(window.font, window.language().tr(text));
        lastLabelX = labelX;
        lastText = text;
    }
}

// A trace of the right-hand plot from tick 0 to tick n, or to the end of
// the axis.
void drawTrace(Canvas &window, const SampledLoop &loop, TickLaw law, const Band &band, const TimeAxis &axis,
               Color color, int n)
{
    const long tick = tickGrains(loop);
    window.pen.width = 1;
    window.pen.color = color;
    window.moveTo(axis.traceX(0), band.y(law(loop, 0)));
    for (int m = 1; m <= std::min(n, axis.lastTick(loop)); ++m)
        window.lineTo(axis.traceX(tick * m), band.y(law(loop, m)));
}

// A small square on the position trace at each sample the run has reached,
// where the samples are far enough apart to tell.
void drawSamples(Canvas &window, const SampledLoop &loop, const Band &band, const TimeAxis &axis, Color color,
                 int n)
{
    const long period = periodGrains(loop);
    if (axis.traceX(period * sampleMarkSpan) - axis.traceX(0) < sampleMarkMinPx * sampleMarkSpan)
        return;
    window.pen.color = color;
    window.brush.style = BrushStyle::Clear;
    for (int k = 1; k <= loop.sampleCount() && period * k <= tickGrains(loop) * n; ++k) {
        const int x = axis.traceX(period * k);
        const int y = band.y(sampleAt(loop, k));
        window.rectangle(x - sampleMarkHalfPx, y - sampleMarkHalfPx, x + sampleMarkHalfPx + 1,
                         y + sampleMarkHalfPx + 1);
    }
    window.brush.style = BrushStyle::Solid;
}

// The set-point's staircase over the whole run, dotted, named "E" at its end.
void drawSetPoint(Canvas &window, const SampledLoop &loop, const Band &band, const TimeAxis &axis)
{
    const FreeSettings &s = loop.settings();
    const long period = periodGrains(loop);
    window.pen = {setPointColor, 1, PenStyle::Dot};
    int previous = band.y(setPointAt(loop, 0));
    for (int k = 0; k < loop.sampleCount(); ++k) {
        const int level = band.y(lodrix::setPointAt(s, k) / codesPerVolt);
        const int x = axis.traceX(period * k);
        if (level != previous)
            window.line(x, previous, x, level);
        window.line(x, level, axis.traceX(period * (k + 1)), level);
        previous = level;
    }
    const int last = band.y(setPointAt(loop, endTick));
    const int endX = axis.traceX(axis.horizon);
    if (last != previous)
        window.line(endX, previous, endX, last);
    window.pen.style = PenStyle::Solid;
    window.font =
        Font{.face = FontFace::SansSerif, .size = zTextSizePt, .color = setPointColor, .bold = false};
    window.textOut(endX + setPointLabelDx, last + setPointLabelDy, "E");
}

void drawResponse(Canvas &window, const SampledLoop &loop, const NumberFormat &f, const Bands &bands,
                  const TimeAxis &axis, const Palette &colors, int n, bool labelled)
{
    drawStaircase(window, loop, f, bands.command, axis, colors.command, n, labelled);
    drawTrace(window, loop, speedAt, bands.speed, axis, colors.speed, n);
    drawTrace(window, loop, positionAt, bands.position, axis, colors.position, n);
    drawSamples(window, loop, bands.position, axis, colors.position, n);
}

// n: the last page tick the run has drawn; none before a start.
void drawPlots(Canvas &window, const SampledLoop &loop, std::span<const KeptRun> kept, const NumberFormat &f,
               std::optional<int> n)
{
    const TimeAxis axis = axisOf(loop);
    const Bands bands(loop, kept, axis);
    DrawPlotAxes(window, PlotFrameKind::Laboratory);
    DrawTextBlock(window, {speedAndPositionLegends});
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const Color color = keptColors[kept[i].colour];
        drawStaircase(window, kept[i].loop, f, bands.command, axis, color, endTick, false);
        drawTrace(window, kept[i].loop, positionAt, bands.position, axis, color, endTick);
    }
    drawSetPoint(window, loop, bands.position, axis);
    drawPeriodMarks(window, loop, f);
    drawResponse(window, loop, f, bands, axis, predictionColors, endTick, false);
    if (n)
        drawResponse(window, loop, f, bands, axis, runColors, *n, true);
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

// ---- The correctors the student designs: PI, PID, lead or lag, their own.

bool isDesigned(Corrector c)
{
    return c == Corrector::PI || c == Corrector::PID || c == Corrector::Lead || c == Corrector::Own;
}

// Whether the scene says, during a run, how far beyond the converter's limit
// the corrector asks: with the designed correctors, whose memory of the
// command is the point, and whenever anti-windup is off. The first three
// keep the picture they had.
bool showsWindup(const FreeSettings &s)
{
    return isDesigned(s.corrector) || !s.antiWindup;
}

// A polynomial in z with these coefficients, highest power first, each
// written as coefficient() does: "3.6z-3", "5.9z²-6z+1.5".
std::string polynomialText(const NumberFormat &f, std::span<const double> c)
{
    std::string text;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const std::size_t power = c.size() - 1 - i;
        if (c[i] == 0.0 && !(text.empty() && power == 0))
            continue;
        const std::string term = coefficient(f, c[i]);
        const std::string sign = text.empty() || term.starts_with('-') ? "" : "+";
        const bool unit = power > 0 && (term == "1" || term == "-1");
        text += sign + (unit ? term.substr(0, term.size() - 1) : term);
        text += power == 2 ? "z²" : power == 1 ? "z" : "";
    }
    return text;
}

// "Epu(kT)=3.6*Ep(kT)-3*Ep((k-1)T)+1*Epu((k-1)T)": the recurrence the
// computer runs, its zero terms left out; Epu* where it remembers what it
// computed rather than what it sent.
std::string recurrenceText(const NumberFormat &f, const DifferenceEquation &c, bool antiWindup)
{
    static constexpr const char *errors[] = {"*Ep(kT)", "*Ep((k-1)T)", "*Ep((k-2)T)"};
    static constexpr const char *commands[] = {"", "((k-1)T)", "((k-2)T)"};
    std::string text = "Epu(kT)=";
    bool first = true;
    const auto add = [&](double v, const std::string &what) {
        if (v == 0.0)
            return;
        text += (first ? coefficient(f, v) : signedTerm(f, v)) + what;
        first = false;
    };
    for (std::size_t i = 0; i < 3; ++i)
        add(c.b[i], errors[i]);
    for (std::size_t i = 1; i < 3; ++i)
        add(-c.a[i], std::string(antiWindup ? "*Epu" : "*Epu*") + commands[i]);
    return first ? text + "0" : text;
}

// The corrector box: its name and law, then C(z) with this run's numbers;
// the callout: its recurrence, as large as fits before the arm's picture.
void designedWording(Wording &w, const SampledLoop &loop, const NumberFormat &f, const Language &language)
{
    const FreeSettings &s = loop.settings();
    const DifferenceEquation c = correctorEquation(s);
    const std::string gain = rounded(f, s.gain, 2);
    // C(z) with this run's numbers, its numerator over its denominator: the
    // box has room for two short lines.
    std::string numerator;
    std::string denominator;
    switch (s.corrector) {
    case Corrector::PI:
        numerator = polynomialText(f, std::array{c.b[0], c.b[1]});
        denominator = "z-1";
        break;
    case Corrector::PID:
        numerator = polynomialText(f, c.b);
        denominator = "z²-z";
        break;
    case Corrector::Lead:
        numerator = gain + "(" + polynomialText(f, std::array{1.0, -s.leadZero}) + ")";
        denominator = polynomialText(f, std::array{1.0, -s.leadPole});
        break;
    default:
        numerator = polynomialText(f, c.b);
        denominator = polynomialText(f, c.a);
        break;
    }
    w.correctorLines = {numerator, "/(" + denominator + ")"};
    w.formula = recurrenceText(f, c, s.antiWindup);
    w.formulaX = compensationFormulaX;
    w.formulaSize = compensationFormulaSizePt;
    for (const int size : {8, twoStepFormulaSizePt}) {
        const Font font{.face = FontFace::SansSerif, .size = w.formulaSize};
        if (w.formulaX + textWidth(font, w.formula) <= keptRightX)
            break;
        w.formulaX = twoStepFormulaX;
        w.formulaSize = size;
    }
    w.choice = language.format("T=%1 et G=%2", {periodName(s.period), gain});
}

// "G stable pour T=T1 : de 0.1 à 17.3 (ici G=3)", every interval named, or
// that none is.
std::string stableGainWords(const SampledLoop &loop, const NumberFormat &f, const Language &language)
{
    const FreeSettings &s = loop.settings();
    const std::string period = periodName(s.period);
    const std::string gain = rounded(f, s.gain, 2);
    const std::vector<GainInterval> &intervals = loop.stableGains();
    if (intervals.empty())
        return language.format("Aucun gain stable pour T=%1 (ici G=%2)", {period, gain});
    std::string ranges;
    for (const GainInterval &g : intervals) {
        if (!ranges.empty())
            ranges += ", ";
        ranges += language.format("de %1 à %2", {rounded(f, g.low, 1), rounded(f, g.high, 1)});
    }
    return language.format("G stable pour T=%1 : %2 (ici G=%3)", {period, ranges, gain});
}

// (w + D)/C(1) with this run's numbers: "(E/(8T)+D)/G = (500+300)/8 = 100",
// the ramp rising by E in 0.8 s, 8T at T1.
std::string staticErrorFormula(const SampledLoop &loop, const NumberFormat &f, double error)
{
    const FreeSettings &s = loop.settings();
    const bool ramp = s.input == Input::Ramp;
    const double speed = loop.steadyCommand() - s.load; // codes/s
    std::string symbol = "D";
    std::string value = NumberFormat::integer(s.load);
    const std::string rise = "E/(" + NumberFormat::integer(rampSamples(s.period)) + "T)";
    if (ramp && s.load == 0) {
        symbol = rise;
        value = rounded(f, speed, 1);
    } else if (ramp) {
        symbol = "(" + rise + "+D)";
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
    case Corrector::PI:
    case Corrector::PID:
    case Corrector::Lead:
    case Corrector::Own:
        symbol += "/C(1)";
        break;
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
    if (*error == 0.0 && hasIntegrator(loop.settings()))
        return std::string(language.tr(ramp ? "Erreur de traînage prévue : nulle, le correcteur intègre."
                                            : "Erreur statique prévue : nulle, le correcteur intègre."));
    if (*error == 0.0)
        return std::string(
            language.tr(ramp ? "Erreur de traînage prévue : nulle." : "Erreur statique prévue : nulle."));
    return language.format(ramp ? "Erreur de traînage prévue : %1 codes."
                                : "Erreur statique prévue : %1 codes.",
                           {staticErrorFormula(loop, f, *error)});
}

Wording wordingOf(const SampledLoop &loop, const NumberFormat &f, const Language &language,
                  std::optional<int> n = std::nullopt)
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
    case Corrector::PI:
    case Corrector::PID:
    case Corrector::Lead:
    case Corrector::Own:
        designedWording(w, loop, f, language);
        break;
    }
    w.setPoint =
        language.format(s.input == Input::Ramp ? "Réglage libre : rampe de 0 à E=%1 en %2T sur la consigne."
                                               : "Réglage libre : échelon de 0 à E=%1 sur la consigne.",
                        {NumberFormat::integer(s.step), NumberFormat::integer(rampSamples(s.period))});
    if (s.load != 0)
        w.setPoint += language.format(" Charge D=%1 dès t=%2T.",
                                      {NumberFormat::integer(s.load), NumberFormat::integer(s.loadFrom)});
    w.staticError = staticErrorWords(loop, f, language);
    if (isDesigned(s.corrector))
        w.stability = stableGainWords(loop, f, language);
    else if (const auto gc = loop.criticalGain())
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
    if (n && showsWindup(s)) {
        // While the run is at a period whose command is at the limit: how far
        // beyond it the corrector asked.
        const SamplePeriod &p =
            *n >= endTick ? loop.lastSample() : loop.periods()[static_cast<std::size_t>(periodOf(*n) - 1)];
        if (p.saturated)
            w.saturation = language.format(
                s.antiWindup ? "Epu en butée : calculé %1, soit %2 au-delà de %3."
                             : "Sans anti-emballement : Epu calculé %1, %2 au-delà de %3, est retenu.",
                {rounded(f, p.wanted, 0), rounded(f, std::abs(p.wanted) - converterCodeLimit, 0),
                 NumberFormat::integer(p.wanted < 0 ? -converterCodeLimit : converterCodeLimit)});
    }
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
    if (s.load == 0 || s.loadFrom > loop.sampleCount() || n < loop.sampleTick(s.loadFrom))
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
    if (s.corrector == Corrector::PI || s.corrector == Corrector::PID)
        text += ", Ti=" + rounded(f, s.integralTime, 3);
    if (s.corrector == Corrector::PID)
        text += ", Td=" + rounded(f, s.derivativeTime, 3);
    if (s.corrector == Corrector::Lead)
        text += ", z0=" + rounded(f, s.leadZero, 2) + ", p0=" + rounded(f, s.leadPole, 2);
    return text + ", T=" + periodName(s.period);
}

// ", rampe, D=300 dès k=4, sur 1,6 s": what tells apart runs kept with the
// same corrector; a horizon other than 0.8 s is named.
std::string keptSetPointAndLoad(const SampledLoop &loop, const NumberFormat &f, const Language &language)
{
    const FreeSettings &s = loop.settings();
    std::string text;
    if (s.input == Input::Ramp)
        text += ", " + std::string(language.tr("rampe"));
    if (s.load != 0)
        text += language.format(", D=%1 dès k=%2",
                                {NumberFormat::integer(s.load), NumberFormat::integer(s.loadFrom)});
    if (s.horizon != defaultHorizon)
        text += language.format(", sur %1 s", {f.general(s.horizon)});
    return text;
}

// A designed corrector's coefficient fields stand above and below what the
// page chose (the shells place them at the form's rows 76 and 138): its lines
// go up between them.
int choiceRaise(const SampledLoop &loop)
{
    constexpr int raisedPx = 10;
    return isDesigned(loop.settings().corrector) ? raisedPx : 0;
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
        {"On choisit ici : ", choiceTitle.x, choiceTitle.y - choiceRaise(loop), sceneTextStyle},
        {w.choice, choiceLine.x, choiceLine.y - choiceRaise(loop), sceneTextStyle},
    };
    if (!w.saturation.empty())
        words.push_back(
            {w.saturation, settingsX, settingsTopY + 4 * settingsLinePx, {clRed, settingsSizePt}});
    // The legend of the kept runs, each in its colour, after its title on
    // the same line and the next: the corrector's formula comes below.
    std::vector<std::string> names;
    for (const KeptRun &k : kept)
        names.push_back(keptName(k.loop, f) + keptSetPointAndLoad(k.loop, f, language));
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
    case Corrector::PI:
    case Corrector::PID:
    case Corrector::Lead:
    case Corrector::Own:
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
    // The value row during the period, and the plant on the next sample.
    ModelState during;
    freeRunTick(during, loop, loop.sampleTick(period - 1));
    const PlantState next = loop.atSample(period);
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
        language.format(outcome, {rounded(f, next.rate / codesPerRadian * motorTurnsPerArmTurn, 0),
                                  rounded(f, next.position / codesPerRadian, 2),
                                  NumberFormat::integer(toCode(next.position))}),
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
    // The end tick's value row: the sample at the horizon.
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
    const std::string text =
        language.format("Après %1 périodes : X=%2 pour E=%3, l'écart vaut %4. %5",
                        {NumberFormat::integer(loop.sampleCount()), NumberFormat::integer(last.X),
                         NumberFormat::integer(last.E), NumberFormat::integer(last.Ep), verdict});
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
// The open loop in frequency for these settings: a run draws the same views
// at every tick, computed once for new settings.
const FrequencyResponse &responseOf(const FreeSettings &s)
{
    thread_local std::optional<std::pair<FreeSettings, FrequencyResponse>> cached;
    if (!cached || cached->first != s)
        cached.emplace(s, frequencyResponse(s));
    return cached->second;
}

void drawView(Canvas &window, const SampledLoop &loop, const NumberFormat &f, const FreeViews &views)
{
    const ViewBox box = freeViewBox(views.large);
    switch (views.shown) {
    case FreeView::Locus: {
        const ZPlaneBox plane{{box.left, box.top}, box.height, views.large ? box.width : 0};
        DrawZPlane(window, loop, f, plane);
        if (views.pointed)
            DrawLocusReadout(window, *views.pointed, loop.settings().period, f, plane);
        return;
    }
    case FreeView::Bode:
        DrawBodeView(window, responseOf(loop.settings()), f, box);
        return;
    case FreeView::Nyquist:
        DrawNyquistView(window, responseOf(loop.settings()), f, box);
        return;
    case FreeView::Black:
        DrawBlackView(window, responseOf(loop.settings()), f, box);
        return;
    case FreeView::PeriodGain:
        DrawPeriodGainView(window, loop.settings(), f, {{box.left, box.top}, box.width, box.height});
        return;
    }
}

void drawWindow(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept,
                std::optional<int> n, const FreeViews &views)
{
    Canvas &window = ctx.surfaces.window;
    window.pen = {clFace, 1, PenStyle::Solid};
    window.brush = {clFace, BrushStyle::Solid};
    ClearTextArea(window);
    drawPlots(window, loop, kept, ctx.numbers, n);
    // In its place the view stands clear of the texts; enlarged, over them.
    if (!views.large)
        drawView(window, loop, ctx.numbers, views);
    if (!n) {
        drawHint(window);
    } else {
        drawExplanation(window, loop, ctx.numbers, ctx.language, 1);
        if (*n >= loop.sampleTick(1))
            drawExplanation(window, loop, ctx.numbers, ctx.language, 2);
        if (*n >= endTick)
            drawConclusion(window, loop, ctx.numbers, ctx.language);
    }
    if (views.large)
        drawView(window, loop, ctx.numbers, views);
}

} // namespace

namespace {

struct ViewNames {
    FreeView view;
    const char *name;
    const char *label;
};
constexpr ViewNames viewNames[] = {
    {FreeView::Locus, "locus", "Lieu des pôles"}, {FreeView::Bode, "bode", "Bode"},
    {FreeView::Nyquist, "nyquist", "Nyquist"},    {FreeView::Black, "black", "Black"},
    {FreeView::PeriodGain, "period", "Gc(T)"},
};
static_assert(std::size(viewNames) == freeViewCount);

} // namespace

const char *freeViewName(FreeView view)
{
    return viewNames[static_cast<int>(view)].name;
}

std::optional<FreeView> freeViewNamed(std::string_view name)
{
    for (const ViewNames &v : viewNames)
        if (name == v.name)
            return v.view;
    return std::nullopt;
}

const char *freeViewLabel(FreeView view)
{
    return viewNames[static_cast<int>(view)].label;
}

ViewBox freeViewBox(bool large)
{
    const ZPlaneBox &z = freeSettingZPlane;
    return large ? largeViews : ViewBox{z.topLeft.x, z.topLeft.y, z.size, z.size};
}

std::size_t FreeKeptColour(std::span<const KeptRun> kept)
{
    for (std::size_t colour = 0; colour < keptRunLimit; ++colour)
        if (std::none_of(kept.begin(), kept.end(), [&](const KeptRun &k) { return k.colour == colour; }))
            return colour;
    return 0;
}

const char *freeViewAccessibleName(FreeView view)
{
    return view == FreeView::PeriodGain
               ? "Gc(T) : zone stable en période et gain ; un clic choisit T et G"
               : "Lieu des pôles : un clic ou les flèches sur une branche choisissent G";
}

void DrawFreeSettingFrame(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept, int n,
                          const FreeViews &views)
{
    Canvas &scene = ctx.surfaces.scene;
    const Wording wording = wordingOf(loop, ctx.numbers, ctx.language, n);

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
