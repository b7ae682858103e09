// Menu entry 4: the two-step (dead-beat) corrector. The sampled code X reaches
// the set-point 140 at the second sample and stays there, while the arm keeps
// swinging about 0.205 rad between the samples.

#include "closedloop.h"

#include <cmath>

namespace lodrix {

namespace {

using namespace closedloop;

// Radians: linear for two periods, then a damped half sine per period about
// -1.605 (0.08 rad of argument per tick).
constexpr Law armAngle[] = {
    [](int n) { return -1.4 - 0.00261 * n; },
    [](int n) { return -1.502 - 0.00264 * (n - 40); },
    [](int n) { return -1.605 + 0.0174 * std::sin(0.08 * (80 - n)); },
    [](int n) { return -1.605 + 0.00874 * std::sin(0.08 * (120 - n)); },
    [](int n) { return -1.605 + 0.00674 * std::sin(0.08 * (160 - n)); },
    [](int n) { return -1.605 + 0.00474 * std::sin(0.08 * (200 - n)); },
    [](int n) { return -1.605 + 0.00274 * std::sin(0.08 * (240 - n)); },
    [](int n) { return -1.605 + 0.00074 * std::sin(0.08 * (280 - n)); },
};

constexpr Words legendWords[] = {
    {"Commande U", 60, 254, {clGreen}},
    {"Consigne E", 135, 254, redText},
    {"et X (image numérique de la position)", 135, 269, blackText},
    {"V=image de la position", 410, 254, redText},
    {"et vitesse", 410, 269, blackText},
    {"W1", 460, 269, blackSymbol},
};

// The command alternates in sign; its negative levels run below the time axis.
constexpr StairPeriod commandSteps[] = {
    {{{40, 369}, {49, 369}}, {{49, 369}, {49, 270}}, 270, {"9.3V", 59, 272}},
    {{}, {{89, 270}, {89, 376}}, 376, {"-0.5V", 99, 378}},
    {{}, {{129, 376}, {129, 404}}, 404, {"-3.2V", 139, 390}},
    {{}, {{169, 404}, {169, 347}}, 347, {"2.2V", 179, 333}},
    {{}, {{209, 347}, {209, 386}}, 386, {"-1.5V", 219, 388}},
    {{}, {{249, 386}, {249, 359}}, 359, {"1V", 259, 345}},
    {{}, {{289, 359}, {289, 377}}, 377, {"-0.7V", 299, 379}},
    {{}, {{329, 377}, {329, 365}}, 365, {"0.5V", 339, 351}},
};
static_assert(stepsFollowLevels(commandSteps));

// The code settles at 140 at the third period, one pixel under the set-point.
constexpr StairPeriod codeSteps[] = {
    {{{40, 371}, {49, 371}}, {}, 371, {"0", 65, 356}},
    {{}, {{89, 371}, {89, 335}}, 335, {"70", 100, 321}},
    {{}, {{129, 335}, {129, 301}}, 301, {"140", 140, 303}},
    {{}, {}, 301, {}},
    {{}, {}, 301, {}},
    {{}, {}, 301, {}},
    {{}, {}, 301, {}},
    {{}, {}, 301, {}},
};
static_assert(stepsFollowLevels(codeSteps));

constexpr StairPeriod setPointSteps[] = {
    {{}, {{49, 369}, {49, 300}}, 300, {"140", 28, 295}},
    {{}, {}, 300, {}},
    {{}, {}, 300, {}},
    {{}, {}, 300, {}},
    {{}, {}, 300, {}},
    {{}, {}, 300, {}},
    {{}, {}, 300, {}},
    {{}, {}, 300, {}},
};
static_assert(stepsFollowLevels(setPointSteps));

enum StaircaseIndex { command, code, setPoint };
constexpr Staircase staircases[] = {
    {clGreen, commandSteps},
    {clBlack, codeSteps},
    {clRed, setPointSteps},
};

// The set-point goes over the code and the speed, and its label over the
// position trace.
constexpr Piece pieces[] = {
    {PieceKind::StairLines, command},
    {PieceKind::StairLabel, command},
    {PieceKind::StairLines, code},
    {PieceKind::StairLabel, code},
    {PieceKind::Speed},
    {PieceKind::SteadyStateNotes},
    {PieceKind::StairLines, setPoint},
    {PieceKind::Position},
    {PieceKind::StairLabel, setPoint},
};

// Window pixels. These curves are the page's own: the first period rises with
// 60.01 ticks where the value row's speed uses 40.01.
constexpr Law speedTrace[] = {
    [](int n) { return 369 - 180 * (1 - std::exp(-n / 60.01)); },
    [](int n) { return 284 + 1.54 * (n - 39); },
    [](int n) { return 343 + 1.225 * (n - 79); },
    [](int n) { return 392 - 0.85 * (n - 119); },
    [](int n) { return 357 + 0.564 * (n - 159); },
    [](int n) { return 380 - 0.385 * (n - 199); },
    [](int n) { return 364 + 0.256 * (n - 239); },
    [](int n) { return 374 - 0.179 * (n - 279); },
};

// From period 3 the position swings about y = 283, half a sine per period.
constexpr Law positionTrace[] = {
    [](int n) { return 370 - (30 * std::exp(-n / 38.01) + 1.65 * n - 30); },
    [](int n) { return 327 - 1.12 * (n - 39); },
    [](int n) { return 283 - 6 * std::sin(3.14 * 0.025 * (n - 79)); },
    [](int n) { return 283 + 5 * std::sin(3.14 * 0.025 * (n - 119)); },
    [](int n) { return 283 - 4 * std::sin(3.14 * 0.025 * (n - 159)); },
    [](int n) { return 283 + 3 * std::sin(3.14 * 0.025 * (n - 199)); },
    [](int n) { return 283 - 2 * std::sin(3.14 * 0.025 * (n - 239)); },
    [](int n) { return 283 + 1 * std::sin(3.14 * 0.025 * (n - 279)); },
};

constexpr TraceSampling twoStepSpeedSampling{{399, -2, -1}, {399, -1, 0}, {399, 0, -1}};
constexpr TraceSampling twoStepPositionSampling{{400, -1, 0}, {399, 0, -1}, {399, 0, -1}};

// "(q" in Symbol reads "(θ".
constexpr Words steadyStateWords[] = {
    {"Régime permanent", 695, 260, redText},
    {"V=O,68V", 720, 275, redText},
    {"= 0.205 rad)", 715, 290, blackText},
    {"(q", 700, 290, blackSymbol},
    {"W1", 725, 390, blackSymbol},
    {"Régime permanent", 695, 375, blackText},
    {"= 0", 740, 390, blackText},
};

constexpr Words sceneWords[] = {
    {"On choisit ici : ", 610, 90, sceneTextStyle},
    {"T=T1", 630, 110, sceneTextStyle},
};

constexpr Words firstPeriodWords[] = {
    {"Première Période : Acquisition de X à t=0 : X=0, E=140 donc : Ep=E-X=140, Epu=1892, U1=U=9.3V. La "
     "vitesse      évolue",
     10, 415, blackText},
    {"jusqu'à :      =176rad/s, la position :      =0.1rad, donc l'acquisition au coup suivant sera : X=70.",
     98, 430, blackText},
    {"W1", 536, 415, blackSymbol},
    {"W1", 139, 430, blackSymbol},
    {"q", 270, 426, blackTheta},
};

constexpr Words secondPeriodWords[] = {
    {"Deuxième Période : Acquisition de X à t=T : X=70, E=140 donc : Ep=E-X=70, Epu=-112, U1=U=-0.5V. La "
     "vitesse       évolue",
     10, 445, redText},
    {"jusqu'à :     =54rad/s, la position :       =0.2rad, donc l'acquisition au coup suivant sera : X=140.",
     98, 460, redText},
    {"W1", 545, 445, redSymbol},
    {"W1", 139, 460, redSymbol},
    {"q", 264, 456, redTheta},
};

constexpr Style sceneConclusionStyle{clBlue, 8};
constexpr Words sceneConclusion[] = {
    {"Cette réponse ne donne pas de résultat satisfaisant.", 50, 5, sceneConclusionStyle},
    {"L'étude de  la réponse indicielle en boucle fermée", 50, 20, sceneConclusionStyle},
    {"montre que X atteint le régime permanent en deux coups,", 50, 35, sceneConclusionStyle},
    {"ce qui n'est pas le cas pour la position qui présente", 50, 50, sceneConclusionStyle},
    {"une oscillation amortie.", 50, 65, sceneConclusionStyle},
};

// Beside the X staircase, then beside the position trace.
constexpr Style windowConclusionStyle{clBlack, 6};
constexpr Words windowConclusion[] = {
    {": pour X, le régime permanent semble ", 180, 303, windowConclusionStyle},
    {"atteint au bout de 2 périodes...", 185, 318, windowConclusionStyle},
    {"...ce qui n'est qu'une apparence, car la position", 500, 303, windowConclusionStyle},
    {"évolue autour de la valeur 0,205 rad en passant", 500, 318, windowConclusionStyle},
    {"toujours par ce même point aux instants kT.", 500, 333, windowConclusionStyle},
};

constexpr Conclusion conclusions[] = {
    {Surface::Scene, {sceneConclusion}},
    {Surface::Window, {windowConclusion}},
};

constexpr PageData page{
    .diagram = {{}, true, clRed, 203},
    .formula =
        Formula{"Epu(kT) = -1.19*Epu((k-1)T)-0.35*Epu((k-2)T)+13.51*Ep(kT)+8.51*Ep((k-1)T)-5*Ep((k-2)T)", 1,
                8},
    .armAngle = armAngle,
    .marks = {{81, 350}, {115, 350}, {438, 350}, {470, 350}},
    .legends = {legendWords},
    .staircases = staircases,
    .speed = {clBlack, speedTrace, twoStepSpeedSampling},
    .position = {clRed, positionTrace, twoStepPositionSampling},
    .notes = {{{480, 283}, {680, 283}}, {steadyStateWords}},
    .pieces = pieces,
    .sceneTexts = {sceneWords},
    .firstPeriod = {firstPeriodWords, explanationSizeAfterPt},
    .secondPeriod = {secondPeriodWords, explanationSizeAfterPt},
    .conclusions = conclusions,
};

} // namespace

void DrawTwoStepFrame(FrameContext &ctx, int n)
{
    closedloop::DrawFrame(ctx, page, n);
}

} // namespace lodrix
