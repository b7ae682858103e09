// Menu entry 3: a corrector that compensates the motor's pole and adds a
// delay, Epu(kT) = 6.8 Ep(kT) - 2.5 Ep((k-1)T). The arm settles in five periods.

#include "closedloop.h"

#include <cmath>

namespace lodrix {

namespace {

using namespace closedloop;

constexpr CorrectorLine correctorLines[] = {
    {"(6.8z-2.5)/z", 130, 180},
};

// Radians; the arm stands still from tick 200 on.
constexpr Law armAngle[] = {
    [](int n) { return -1.4 - 0.00187 * n; },
    [](int n) { return -1.473 - 0.00277 * (n - 40); },
    [](int n) { return -1.581 - 0.00174 * (n - 80); },
    [](int n) { return -1.649 - 0.00079 * (n - 120); },
    [](int n) { return -1.68 - 0.00026 * (n - 160); },
    [](int) { return -1.69; },
    [](int) { return -1.69; },
    [](int) { return -1.69; },
};

// 99 pixels stand for 6.7 V, so the small later commands crowd the time axis
// at y = 369. Period 6 steps down to 370 yet draws its level at 369, and
// period 7 has no label: both as the lesson draws them.
constexpr StairPeriod commandSteps[] = {
    {{{40, 369}, {49, 369}}, {{49, 369}, {49, 270}}, 270, {"6.7V", 59, 272}},
    {{}, {{89, 270}, {89, 332}}, 332, {"2.5V", 99, 334}},
    {{}, {{129, 332}, {129, 359}}, 359, {"0.7V", 139, 345}},
    {{}, {{169, 359}, {169, 369}}, 369, {"0.06V", 179, 355}},
    {{}, {{209, 369}, {209, 371}}, 371, {"-0.07V", 219, 355}},
    {{}, {{249, 371}, {249, 370}}, 369, {"-0.04V", 259, 355}},
    {{}, {}, 369, {}},
    {{}, {}, 369, {"0V", 339, 355}},
};
static_assert(stepsFollowLevels(commandSteps));

constexpr Staircase staircases[] = {
    {clGreen, commandSteps},
};

// Window pixels; from tick 200 the speed lies on the time axis.
constexpr Law speedTrace[] = {
    [](int n) { return 369 - 180 * (1 - std::exp(-(n - 1) / 60.01)); },
    [](int n) { return 284 + 0.56 * (n - 39); },
    [](int n) { return 306 + 0.846 * (n - 79); },
    [](int n) { return 339 + 0.513 * (n - 119); },
    [](int n) { return 360 + 0.23 * (n - 159); },
    [](int) { return 369.0; },
    [](int) { return 369.0; },
    [](int) { return 369.0; },
};

constexpr Law positionTrace[] = {
    [](int n) { return 370 - (30 * std::exp(-n / 38.01) + 1.15 * n - 30); },
    [](int n) { return 346 - 0.487 * (n - 39); },
    [](int n) { return 327 - 0.308 * (n - 79); },
    [](int n) { return 315 - 0.128 * (n - 119); },
    [](int n) { return 310 - 0.05 * (n - 159); },
    [](int) { return 307.0; },
    [](int) { return 307.0; },
    [](int) { return 307.0; },
};

constexpr Words steadyStateWords[] = {
    {"Régime permanent", 695, 275, redText},   {"V= O,98V", 715, 290, redText}, {"W1", 725, 335, blackSymbol},
    {"Régime permanent", 695, 320, blackText}, {"= 0", 740, 335, blackText},
};

constexpr Words sceneWords[] = {
    {"On choisit ici : ", 610, 90, sceneTextStyle},
    {"T=T1 et G=2,5", 610, 110, sceneTextStyle},
    {"Un échelon de position est appliqué sur la consigne E. Il varie de 0 à 200.", 30, 15, sceneTextStyle},
};

constexpr Words firstPeriodWords[] = {
    {"Première Période : Acquisition de X à t=0 : X=0, E=200 donc : Ep=E-X=200, Epu=6.8*200=1360, "
     "U1=U=6.7V. La vitesse      évolue",
     10, 385, blackText},
    {"jusqu'à :      =126rad/s, la position :      =0.07rad, donc l'acquisition au coup suivant sera : X=50.",
     98, 400, blackText},
    {"W1", 580, 385, blackSymbol},
    {"W1", 139, 400, blackSymbol},
    {"q", 270, 396, blackTheta},
};

constexpr Words secondPeriodWords[] = {
    {"Deuxième Période : Acquisition de X à t=T : X=50, E=200 donc : Ep=E-X=150, "
     "Epu=(6.8*150)-(2.5*200)=516, U1=U=2.5V. La vitesse       évolue",
     10, 415, redText},
    {"jusqu'à :     =94rad/s, la position :       =0.18rad, donc l'acquisition au coup suivant sera : X=124.",
     98, 430, redText},
    {"W1", 640, 415, redSymbol},
    {"W1", 139, 430, redSymbol},
    {"q", 264, 426, redTheta},
};

constexpr Style conclusionStyle{clBlue, 6};
constexpr Words windowConclusion[] = {
    {"En Régime Permanent :     U1=U=0, la commande étant nulle le moteur est arrêté,", 50, 450,
     conclusionStyle},
    {"la position    = 0,29rad, V=0.98V, X=200, l'erreur de position est nulle", 175, 470, conclusionStyle},
    {"q", 224, 466, {clBlue, 12, FontFace::Symbol}},
};

constexpr Words sceneConclusion[] = {
    {"Le bras de robot tourne de 0,29 radians. Le temps de réponse est d'environ", 50, 35, sceneTextStyle},
    {"5 périodes (0,5 seconde). Le processus étant intégrateur, la variable d'écart", 50, 50, sceneTextStyle},
    {"Ep tend vers 0 en régime permanent (erreur de position).", 50, 65, sceneTextStyle},
    {"La réponse est un peu plus rapide qu'en correction proportionnelle.", 50, 80, sceneTextStyle},
};

constexpr Conclusion conclusions[] = {
    {Surface::Window, {windowConclusion, 6}},
    {Surface::Scene, {sceneConclusion}},
};

constexpr PageData page{
    .diagram = {correctorLines},
    .formula = Formula{"Epu(kT) = 6.8*Ep(kT) -2.5*Ep((k-1)T)", 108, 10},
    .armAngle = armAngle,
    .marks = {{88, 350}, {115, 350}, {438, 350}, {475, 350}},
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

void DrawPoleCompensationFrame(FrameContext &ctx, int n)
{
    closedloop::DrawFrame(ctx, page, n);
}

} // namespace lodrix
