// The open-loop step response: the corrector is a gain of 1, the set-point
// stays at 1000 and the motor gets a constant 4.9 V. The speed rises with the
// time constant T1 while the arm ramps away; the page ends on the verdict
// that the open loop integrates.

#include "pages.h"

#include "model/plant.h"
#include "render/arm.h"
#include "render/loopdiagram.h"
#include "render/plots.h"

#include <cmath>

namespace lodrix {

namespace {

// Ticks of the run (1/600 s of the model's time each): T1 = 0.1 s spans 60.
constexpr double tauTicks = 60.01;
constexpr int t1Ticks = 60;
constexpr int conclusionTick = 280;
constexpr int endStopWarningTick = 281;

constexpr CorrectorLine correctorLines[] = {
    {"proportionnel", 128, 180},
    {"gain G=1", 132, 195},
};

constexpr DiagramVariant diagram{
    .correctorLines = correctorLines, .loopClosed = false, .eLabelColor = clGreen, .epuLabelX = 203};

constexpr int valueVUnitX = 690;

// What the page tells about its settings, on the scene under the model.
constexpr int sceneNoteSizePt = 10;
constexpr PlacedText sceneNotes[] = {
    {"Le gain de la régulation proportionnelle est choisi à G=1", 20, 80},
    {"La consigne numérique est fixée à 1000 (à partir de t=0)", 20, 100},
};

// Written on the arm bitmap once the arm has swung far enough to worry about.
constexpr PlacedText endStopWarning[] = {
    {"Le mécanisme doit être muni", 210, 50},
    {"d'une butée pour éviter au", 210, 65},
    {"capteur de position de sortir", 210, 80},
    {"de sa zone de mesure.", 210, 95},
};

constexpr ColoredText legends[] = {
    {"Commande U", 70, 260, clGreen}, {"4,9V", 55, 285, clGreen},        {"V=image de", 410, 255, clRed},
    {"la position", 410, 270, clRed}, {"et vitesse", 410, 285, clBlack},
};
// Symbol face: shows as Ω1 after "et vitesse".
constexpr ColoredText speedSymbolLegend{"W1", 460, 285, clBlack};

// 4.9 V is drawn 100 pixels above the time axis.
constexpr int timeAxisY = 400;
constexpr int commandLevelY = 300;
constexpr PlacedLine commandStep[] = {
    {{40, timeAxisY}, {50, timeAxisY}},
    {{50, timeAxisY}, {50, commandLevelY}},
};

// Until T1 the curves are named beside their start; the names then stay.
constexpr ColoredText curveNames[] = {
    {"vitesse", 405, 338, clBlack},
    {"position", 420, 375, clRed},
};
constexpr PlacedLine speedLeadIn{{390, timeAxisY}, {400, timeAxisY}};

// T1 on the time axis and 63 % of full speed, meeting on the speed curve.
constexpr int t1MarkerX = 460;
constexpr int speedAtT1Y = 336;
constexpr PlacedLine t1Marker[] = {
    {{t1MarkerX, timeAxisY}, {t1MarkerX, speedAtT1Y}},
    {{400, speedAtT1Y}, {t1MarkerX, speedAtT1Y}},
};
constexpr PlacedText t1Labels[] = {
    {"T1=0.1s", 465, 401},
    {"63%", 375, speedAtT1Y},
};

constexpr int conclusionSizePt = 8;
constexpr PlacedText conclusion[] = {
    {"Le système en boucle ouverte est intégrateur,", 500, 250},
    {"la position évolue suivant une rampe à vitesse ", 500, 265},
    {"constante en régime permanent.", 500, 280},
};
constexpr int modelSizePt = 12;
constexpr PlacedText modelFormula{"Le modèle en boucle ouverte est de la forme : V/U = 1/p(1+T1p)", 100, 450};
constexpr int fullSpeedSizePt = 6;
constexpr int fullSpeedY = 300;
constexpr PlacedText fullSpeedLabel{"100%", 370, fullSpeedY};
constexpr PlacedLine fullSpeedMark{{395, fullSpeedY}, {405, fullSpeedY}};

// Plot x of tick n's segment: the left plot starts at x 50, the right at 400.
constexpr int commandX(int n)
{
    return n + 49;
}
constexpr int rightPlotX(int n)
{
    return n + 399;
}

// The arm swings from -1.4 rad (tip behind, slightly left of the hub) at the
// motor's ramping speed, scaled for the picture.
double armAngle(int n)
{
    return -1.4 - 0.00167 * n * (1.0 - std::exp(-n / tauTicks));
}

// Full speed (146 rad/s) is 100 pixels above the baseline 399.
int speedTrace(int m)
{
    return static_cast<int>(399.0 - 100.0 * (1.0 - std::exp(-m / tauTicks)));
}

// The integral of the speed: half a pixel per tick once T1 has passed.
int positionTrace(int m)
{
    return static_cast<int>(400.0 - (30.0 * std::exp(-m / tauTicks) + 0.5 * m - 30.0));
}

void drawLegends(Canvas &window)
{
    DrawTexts(window, legends);
    window.font.face = FontFace::Symbol;
    DrawText(window, speedSymbolLegend);
    window.font.face = FontFace::SansSerif;
}

void drawTraces(Canvas &window, int n)
{
    window.pen.color = clGreen;
    window.pen.width = 1;
    DrawLines(window, commandStep);
    PlotSegment(window, clGreen, commandX(n), commandLevelY, commandLevelY);

    if (n < t1Ticks) {
        DrawTexts(window, curveNames);
        window.pen.color = clBlack;
        window.pen.width = 1;
        DrawLine(window, speedLeadIn);
    } else {
        window.pen.color = clPurple;
        window.pen.style = PenStyle::Dot;
        DrawLines(window, t1Marker);
        window.pen.style = PenStyle::Solid;
    }

    // The speed trace lags one tick behind the position trace.
    PlotSegment(window, clBlack, rightPlotX(n), speedTrace(n - 2), speedTrace(n - 1));
    PlotSegment(window, clRed, rightPlotX(n), positionTrace(n - 1), positionTrace(n));
}

// In the black of the speed legend, which nothing after it changes from T1 on.
void drawT1Labels(Canvas &window, int n)
{
    if (n >= t1Ticks)
        DrawTexts(window, t1Labels);
}

void drawConclusion(Canvas &window, int n)
{
    if (n < conclusionTick)
        return;
    window.font.color = clRed;
    window.font.size = conclusionSizePt;
    DrawTexts(window, conclusion);
    window.font.size = modelSizePt;
    window.font.color = clBlue;
    DrawText(window, modelFormula);
    window.font.size = fullSpeedSizePt;
    window.font.color = clNavy;
    DrawText(window, fullSpeedLabel);
    window.pen.color = clBlue;
    DrawLine(window, fullSpeedMark);
}

void drawEndStopWarning(Canvas &anim)
{
    anim.font.color = clBlack;
    DrawTexts(anim, endStopWarning);
}

} // namespace

void DrawOpenLoopFrame(FrameContext &ctx, int n)
{
    Canvas &scene = ctx.surfaces.scene;
    Canvas &window = ctx.surfaces.window;

    DrawLoopDiagram(scene, diagram);
    if (n >= endStopWarningTick)
        DrawArm(ctx.surfaces.anim, scene, armAngle(n), drawEndStopWarning);
    else
        DrawArm(ctx.surfaces.anim, scene, armAngle(n));

    // In the highlight colour the diagram leaves for its shaft symbols.
    DrawValueRow(scene, ctx.model, clHighlight, valueVUnitX, ctx.numbers);

    DrawPlotAxes(window, PlotFrameKind::OpenLoop);
    drawLegends(window);
    drawTraces(window, n);
    drawT1Labels(window, n);
    drawConclusion(window, n);

    scene.font.color = clBlue;
    scene.font.size = sceneNoteSizePt;
    DrawTexts(scene, sceneNotes);
}

} // namespace lodrix
