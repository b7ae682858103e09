// Menu entry 2: the loop closed by a proportional corrector of gain 2.5, with
// the sampling period equal to the motor's time constant.

#include "closedloop.h"

#include <cmath>

namespace lodrix {

namespace {

using namespace closedloop;

constexpr CorrectorLine correctorLines[] = {
    {"Proportionnel", 130, 180},
    {"Gain : G=2.5", 130, 195},
};

// Radians; continuous at the period boundaries.
constexpr Law armAngle[] = {
    [](int n) { return -1.4 - 0.000675 * n; },           [](int n) { return -1.4263 - 0.00135 * (n - 40); },
    [](int n) { return -1.4789 - 0.00142 * (n - 80); },  [](int n) { return -1.5343 - 0.00125 * (n - 120); },
    [](int n) { return -1.583 - 0.00135 * (n - 160); },  [](int n) { return -1.6356 - 0.00095 * (n - 200); },
    [](int n) { return -1.6726 - 0.00067 * (n - 240); }, [](int n) { return -1.6987 - 0.00045 * (n - 280); },
};

// The command U falls from 2.4 V to 0.2 V.
constexpr StairPeriod commandSteps[] = {
    {{{40, 369}, {49, 369}}, {{49, 369}, {49, 270}}, 270, {"2.4V", 59, 272}},
    {{}, {{89, 270}, {89, 279}}, 279, {"2.2V", 99, 281}},
    {{}, {{129, 279}, {129, 297}}, 297, {"1.8V", 139, 299}},
    {{}, {{169, 297}, {169, 317}}, 317, {"1.3V", 179, 319}},
    {{}, {{209, 317}, {209, 334}}, 334, {"0.9V", 219, 336}},
    {{}, {{249, 334}, {249, 347}}, 347, {"0.6V", 259, 349}},
    {{}, {{289, 347}, {289, 356}}, 356, {"0.3V", 299, 342}},
    {{}, {{329, 356}, {329, 362}}, 362, {"0.2V", 339, 348}},
};

static_assert(stepsFollowLevels(commandSteps));

constexpr Staircase staircases[] = {
    {clGreen, commandSteps},
};

// Window pixels: the speed rises then decays back to the time axis.
constexpr Law speedTrace[] = {
    [](int n) { return 369 - 140 * (1 - std::exp(-(n - 1) / 60.01)); },
    [](int n) { return 305 - 0.45 * (n - 39); },
    [](int n) { return 287 + 0.133 * (n - 79); },
    [](int n) { return 292 + 0.378 * (n - 119); },
    [](int n) { return 307 + 0.425 * (n - 159); },
    [](int n) { return 324 + 0.371 * (n - 199); },
    [](int n) { return 339 + 0.295 * (n - 239); },
    [](int n) { return 351 + 0.209 * (n - 279); },
};

constexpr Law positionTrace[] = {
    [](int n) { return 370 - (30 * std::exp(-n / 80.01) + 0.5 * n - 30); },
    [](int n) { return 362 - 0.4 * (n - 39); },
    [](int n) { return 346 - 0.425 * (n - 79); },
    [](int n) { return 329 - 0.375 * (n - 119); },
    [](int n) { return 314 - 0.275 * (n - 159); },
    [](int n) { return 303 - 0.2 * (n - 199); },
    [](int n) { return 295 - 0.125 * (n - 239); },
    [](int n) { return 290 - 0.075 * (n - 279); },
};

constexpr Words steadyStateWords[] = {
    {"Régime permanent", 695, 255, redText},   {"V= O,98V", 715, 270, redText}, {"W1", 725, 335, blackSymbol},
    {"Régime permanent", 695, 320, blackText}, {"= 0", 740, 335, blackText},
};

constexpr Words sceneWords[] = {
    {"On choisit ici : ", 610, 90, sceneTextStyle},
    {"T=T1 et G=2,5", 610, 110, sceneTextStyle},
    {"Un échelon de position est appliqué sur la consigne E. Il varie de 0 à 200.", 50, 30, sceneTextStyle},
};

constexpr Words firstPeriodWords[] = {
    {"Première Période : Acquisition de X à t=0 : X=0, E=200 donc : Ep=E-X=200, Epu=2.5*Ep=500, "
     "U1=U=2.4V. La vitesse      évolue",
     10, 385, blackText},
    {"jusqu'à :      =46rad/s, la position :      =0.03rad, donc l'acquisition au coup suivant sera : X=18.",
     98, 400, blackText},
    {"W1", 568, 385, blackSymbol},
    {"W1", 139, 400, blackSymbol},
    {"q", 260, 396, blackTheta},
};

constexpr Words secondPeriodWords[] = {
    {"Deuxième Période : Acquisition de X à t=T : X=18, E=200 donc : Ep=E-X=182, Epu=2.5*Ep=455, "
     "U1=U=2.2V. La vitesse       évolue",
     10, 415, redText},
    {"jusqu'à :     =59rad/s, la position :       =0.08rad, donc l'acquisition au coup suivant sera : X=55.",
     98, 430, redText},
    {"W1", 582, 415, redSymbol},
    {"W1", 139, 430, redSymbol},
    {"q", 260, 426, redTheta},
};

constexpr Style conclusionStyle{clBlue, 6};
constexpr Words windowConclusion[] = {
    {"En Régime Permanent (pas tout à fait visisible ici) :     U1=U=0, la commande étant nulle le moteur "
     "est arrêté,",
     5, 450, conclusionStyle},
    {"la position    = 0,29rad, V=0.98V, X=200, l'erreur de position est nulle", 257, 470, conclusionStyle},
    {"q", 307, 466, {clBlue, 12, FontFace::Symbol}},
};

constexpr Words sceneConclusion[] = {
    {"Le bras de robot tourne de 0,29 radians. Le temps de réponse est d'environ", 50, 55, sceneTextStyle},
    {"8 périodes (0,8 secondes). Le processus étant intégrateur, la variable d'écart", 50, 70,
     sceneTextStyle},
    {"Ep tend vers 0 en régime permanent (erreur de position).", 50, 85, sceneTextStyle},
    {"On peut chercher à améliorer le temps de réponse (voir rubrique suivante du menu).", 50, 115,
     sceneTextStyle},
};

constexpr Conclusion conclusions[] = {
    {Surface::Window, {windowConclusion, 6}},
    {Surface::Scene, {sceneConclusion}},
};

constexpr PageData page{
    .diagram = {correctorLines},
    .formula = std::nullopt,
    .armAngle = armAngle,
    .marks = {{92, 350}, {125, 350}, {438, 345}, {475, 350}},
    .legends = {speedAndPositionLegends},
    .staircases = staircases,
    .speed = {clBlack, speedTrace, speedSampling},
    .position = {clRed, positionTrace, positionSampling},
    .notes = {{}, {steadyStateWords}},
    .pieces = commandThenTraces,
    .sceneTexts = {sceneWords},
    .firstPeriod = {firstPeriodWords, explanationSizeAfterPt},
    .secondPeriod = {secondPeriodWords, explanationSizeAfterPt},
    .conclusions = conclusions,
};

} // namespace

void DrawProportionalFrame(FrameContext &ctx, int n)
{
    closedloop::DrawFrame(ctx, page, n);
}

} // namespace lodrix
