#pragma once
// The three closed-loop lessons draw the same things in the same order on every
// tick: diagram, arm, plot frame, the period's plot pieces, the value row of
// the model values the tick replayed, and the texts. A page is therefore only data: its
// texts, its staircases, the laws of its arm and traces per sampling period,
// and the order in which its plot pieces are drawn.

#include "pages.h"

#include "model/periods.h"
#include "render/loopdiagram.h"
#include "render/plots.h"

#include <optional>
#include <span>
#include <string_view>

namespace lodrix::closedloop {

// A closed form of the page tick n: an arm angle in radians, or a trace's y
// in window pixels before truncation.
using Law = double (*)(int n);
// One law per sampling period, period 1 first.
using PeriodLaws = std::span<const Law, periodCount>;

struct Style {
    Color color = clBlack;
    int size = 8; // points
    FontFace face = FontFace::SansSerif;
};

// A text in its own font.
struct Words {
    std::string_view text;
    int x = 0;
    int y = 0;
    Style style;
};

// Texts drawn one after the other on one canvas. Afterwards the canvas is back
// in "MS sans Serif" and, when sizeAfter is given, at that size: later texts
// written in the canvas's current font depend on it.
struct TextBlock {
    std::span<const Words> words;
    int sizeAfter = 0; // points; 0 keeps the last text's size
};

// A fixed label of a staircase; an empty text only sets the label colour.
struct StairLabel {
    std::string_view text;
    int x = 0;
    int y = 0;
};

// What one period adds to a staircase on every tick of its window: the
// lead-in (period 1), the step from the previous level, one pixel at the
// period's level and the label. An empty line (both ends at the origin) is not
// drawn.
struct StairPeriod {
    PlacedLine leadIn;
    PlacedLine step;
    int levelY = 0;
    StairLabel label;
};

struct Staircase {
    Color color; // pen and label
    std::span<const StairPeriod, periodCount> periods;
};

// Left-plot x of tick 0: tick n's staircase pixel starts at stairOriginX + n,
// and period k steps at x = stairOriginX + 40(k - 1), one pixel left of its
// graduation.
constexpr int stairOriginX = 49;

constexpr bool isEmpty(const PlacedLine &line)
{
    return line.from == Point{} && line.to == Point{};
}

// A staircase is drawn one period at a time, so each step must leave from the
// level the previous period drew, where the period starts.
constexpr bool stepsFollowLevels(std::span<const StairPeriod, periodCount> periods)
{
    for (int k = 1; k < periodCount; ++k) {
        const PlacedLine &step = periods[k].step;
        if (isEmpty(step))
            continue;
        const int stepX = stairOriginX + ticksPerPeriod * k;
        if (step.from != Point{stepX, periods[k - 1].levelY} || step.to.x != stepX)
            return false;
    }
    return true;
}

// The samples a trace segment joins: on tick n, from (n + x, law(n + from)) to
// (n + x + 1, law(n + to)), with the law of n's period.
struct SegmentRule {
    int x = 0;
    int from = 0;
    int to = 0;
};

struct TraceSampling {
    SegmentRule period1;
    SegmentRule period2;
    SegmentRule later; // periods 3 to 8
};

struct Trace {
    Color color;
    PeriodLaws laws;
    TraceSampling sampling;
};

// Beside the right-hand plot on every tick of the last period.
struct SteadyStateNotes {
    PlacedLine dotted; // black, dotted; empty for none
    TextBlock texts;
};

// The plot pieces of a tick, in the page's drawing order.
enum class PieceKind { StairLines, StairLabel, Speed, Position, SteadyStateNotes };

struct Piece {
    PieceKind kind;
    int staircase = 0; // index into PageData::staircases for the stair pieces
};

struct Formula {
    std::string_view text;
    int x;
    int size; // points
};

struct Conclusion {
    Surface surface; // Window or Scene
    TextBlock texts;
};

struct PageData {
    DiagramVariant diagram;
    std::optional<Formula> formula;
    PeriodLaws armAngle; // radians; period 8's law also draws the end tick
    PeriodMarks marks;
    TextBlock legends;
    std::span<const Staircase> staircases;
    Trace speed;
    Trace position;
    SteadyStateNotes notes;
    std::span<const Piece> pieces;
    TextBlock sceneTexts; // after the value row, on every tick
    TextBlock firstPeriod;
    TextBlock secondPeriod;
    std::span<const Conclusion> conclusions; // at the end tick, in order
};

// The explanations of the first two periods are black then red, with their
// Greek letters in Symbol and theta at 12 points; the legends and the notes
// use the black ones too.
inline constexpr Style blackText{clBlack};
inline constexpr Style blackSymbol{clBlack, 8, FontFace::Symbol};
inline constexpr Style blackTheta{clBlack, 12, FontFace::Symbol};
inline constexpr Style redText{clRed};
inline constexpr Style redSymbol{clRed, 8, FontFace::Symbol};
inline constexpr Style redTheta{clRed, 12, FontFace::Symbol};
// Explanations leave the window font at this size.
constexpr int explanationSizeAfterPt = 10;

// The legends of the plot frame on the proportional and the pole-compensation
// pages. "W1" in Symbol shows as Omega1.
inline constexpr Words speedAndPositionLegends[] = {
    {"Commande U", 60, 254, {clGreen}},
    {"V=image de la position", 410, 254, redText},
    {"et vitesse", 410, 269, blackText},
    {"W1", 460, 269, blackSymbol},
};

// The proportional and the pole-compensation pages draw and sample their plots
// alike. The first period's position segment sits one pixel right of the others.
inline constexpr TraceSampling speedSampling{{399, -1, 0}, {399, 1, 0}, {399, 1, 0}};
inline constexpr TraceSampling positionSampling{{400, -1, 0}, {399, 0, 0}, {399, 0, 0}};
inline constexpr Piece commandThenTraces[] = {
    {PieceKind::StairLines},       {PieceKind::StairLabel}, {PieceKind::Speed},
    {PieceKind::SteadyStateNotes}, {PieceKind::Position},
};

// The font of the fixed scene texts; the scene conclusions of two pages are
// written in it because the scene still holds it.
constexpr Style sceneTextStyle{clBlue, 10};

// Draws the texts of a block in their fonts, and leaves the canvas as the
// block says.
void DrawTextBlock(Canvas &canvas, const TextBlock &block);

// Draws page tick n (2 to 320) of a closed-loop page.
void DrawFrame(FrameContext &ctx, const PageData &page, int n);

} // namespace lodrix::closedloop
