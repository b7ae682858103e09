#include "closedloop.h"

#include "render/arm.h"

namespace lodrix::closedloop {

namespace {

constexpr Color valueRowColor = clBlack;
constexpr int valueRowVUnitX = 700;
constexpr int stairLabelSizePt = 8;
constexpr int firstPeriodLastTick = ticksPerPeriod - 1;
constexpr int secondPeriodLastTick = 2 * ticksPerPeriod - 1;

void drawLineIfAny(Canvas &canvas, const PlacedLine &line)
{
    if (!isEmpty(line))
        canvas.line(line.from.x, line.from.y, line.to.x, line.to.y);
}

void drawStairLines(Canvas &window, const Staircase &stairs, int period, int n)
{
    const StairPeriod &p = stairs.periods[period - 1];
    window.pen.width = 1;
    window.pen.color = stairs.color;
    drawLineIfAny(window, p.leadIn);
    drawLineIfAny(window, p.step);
    PlotSegment(window, stairs.color, n + stairOriginX, p.levelY, p.levelY);
}

void drawStairLabel(Canvas &window, const Staircase &stairs, int period)
{
    const StairLabel &label = stairs.periods[period - 1].label;
    window.font.size = stairLabelSizePt;
    window.font.color = stairs.color;
    if (!label.text.empty())
        window.textOut(label.x, label.y, label.text);
}

const SegmentRule &ruleOf(const TraceSampling &sampling, int period)
{
    if (period == 1)
        return sampling.period1;
    if (period == 2)
        return sampling.period2;
    return sampling.later;
}

void drawTraceSegment(Canvas &window, const Trace &trace, int period, int n)
{
    const Law law = trace.laws[period - 1];
    const SegmentRule &rule = ruleOf(trace.sampling, period);
    // Each end is truncated on its own, as every y drawn from a law.
    const int y0 = static_cast<int>(law(n + rule.from));
    const int y1 = static_cast<int>(law(n + rule.to));
    PlotSegment(window, trace.color, n + rule.x, y0, y1);
}

void drawSteadyStateNotes(Canvas &window, const SteadyStateNotes &notes)
{
    if (!isEmpty(notes.dotted)) {
        window.pen.color = clBlack;
        window.pen.style = PenStyle::Dot;
        drawLineIfAny(window, notes.dotted);
        window.pen.style = PenStyle::Solid;
    }
    DrawTextBlock(window, notes.texts);
}

void drawPiece(Canvas &window, const PageData &page, const Piece &piece, int period, int n)
{
    switch (piece.kind) {
    case PieceKind::StairLines:
        drawStairLines(window, page.staircases[piece.staircase], period, n);
        break;
    case PieceKind::StairLabel:
        drawStairLabel(window, page.staircases[piece.staircase], period);
        break;
    case PieceKind::Speed:
        drawTraceSegment(window, page.speed, period, n);
        break;
    case PieceKind::Position:
        drawTraceSegment(window, page.position, period, n);
        break;
    case PieceKind::SteadyStateNotes:
        if (period == periodCount)
            drawSteadyStateNotes(window, page.notes);
        break;
    }
}

} // namespace

void DrawTextBlock(Canvas &canvas, const TextBlock &block)
{
    for (const Words &w : block.words) {
        canvas.font.color = w.style.color;
        canvas.font.size = w.style.size;
        canvas.font.face = w.style.face;
        canvas.textOut(w.x, w.y, w.text);
    }
    canvas.font.face = FontFace::SansSerif;
    if (block.sizeAfter != 0)
        canvas.font.size = block.sizeAfter;
}

void DrawFrame(FrameContext &ctx, const PageData &page, int n)
{
    Canvas &window = ctx.surfaces.window;
    Canvas &scene = ctx.surfaces.scene;

    DrawLoopDiagram(scene, page.diagram);
    if (page.formula)
        DrawFormulaCallout(scene, page.formula->text, page.formula->x, page.formula->size);
    DrawArm(ctx.surfaces.anim, scene, page.armAngle[armPeriodOf(n) - 1](n));

    DrawPlotAxes(window, PlotFrameKind::ClosedLoop, &page.marks);
    DrawTextBlock(window, page.legends);
    // The end tick belongs to no period: it adds nothing to the plots.
    if (const int period = periodOf(n); period != 0) {
        for (const Piece &piece : page.pieces)
            drawPiece(window, page, piece, period, n);
    }

    DrawValueRow(scene, ctx.model, valueRowColor, valueRowVUnitX, ctx.numbers);
    DrawTextBlock(scene, page.sceneTexts);

    if (n <= firstPeriodLastTick)
        DrawTextBlock(window, page.firstPeriod);
    else if (n <= secondPeriodLastTick)
        DrawTextBlock(window, page.secondPeriod);

    if (n >= endTick) {
        for (const Conclusion &c : page.conclusions)
            DrawTextBlock(c.surface == Surface::Scene ? scene : window, c.texts);
    }
}

} // namespace lodrix::closedloop
