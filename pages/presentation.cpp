// Menu entry 0: the servo loop introduced. The arm turns above the reducer
// while the sensor's wiper turns with it and its voltage is read out; fifteen
// lines below the scene explain the loop and the system's model sits in the
// scene's top left corner. Every frame draws the whole picture again.

#include "pages.h"

#include "render/arm.h"
#include "render/loopdiagram.h"

#include <cstddef>
#include <iterator>
#include <span>
#include <string_view>

namespace lodrix {

namespace {

struct SceneText {
    std::string_view text;
    int x;
    int y;
    Font font;
};

constexpr DiagramVariant presentationDiagram{
    .correctorLines = {}, .loopClosed = true, .eLabelColor = clGreen, .epuLabelX = 205};

// Laws of the frame c (-2 on the first frame, -100 on the last). The wiper
// turns a little faster than the arm: from the -10V terminal over the top of
// the track to the +10V one while the arm goes from left to right.
double armAngle(int c)
{
    return 0.025 * c; // rad
}

double wiperAngle(int c)
{
    return 0.03 * c; // rad
}

// The sensor voltage -5 - c/10 V, in tenths of a volt: kept in integers, its
// whole part is exact on the frames where it is a whole number of volts.
constexpr int sensorTenthsOfVolt(int c)
{
    return -50 - c;
}

// The voltage read out beside the dial: the whole part of the sensor voltage.
constexpr int sensorReading(int c)
{
    const int tenths = sensorTenthsOfVolt(c);
    const int whole = tenths / 10;
    return tenths % 10 < 0 ? whole - 1 : whole; // toward minus infinity
}

static_assert(sensorReading(-2) == -5 && sensorReading(-100) == 5, "the reading climbs from -5 V to +5 V");

// Around the dial, in green: the shafts' warning on the left, the sensor's
// caption below and the terminal voltages.
constexpr PlacedText dialTexts[] = {
    {"Attention : les deux", 1, 60},
    {"arbres jaunes", 1, 75},
    {"tournent à la ", 1, 90},
    {"même vitesse", 1, 105},
    {"(réduite)", 1, 120},
    {"Capteur potentiométrique : mesure", 140, 110},
    {"la position angulaire de l'arbre lent.", 140, 125},
    {"-10V", 160, 90},
    {"+10V", 265, 90},
};

constexpr PlacedText readingCaption[] = {
    {"Tension V", 260, 30},
    {"(sortie du capteur) :", 250, 45},
};

constexpr Point readingAt{270, 60};
constexpr PlacedText readingUnit{"V", 280, 60};

// From the sensor box up to the slow shaft's symbol, just below the arm's bitmap.
constexpr PlacedLine sensorArrow[] = {
    {{640, 160}, {640, 140}},
    {{640, 140}, {633, 147}},
    {{640, 140}, {647, 147}},
};

// One line every 15 px from the top of the text area.
constexpr ColoredText explanation[] = {
    {"Le calculateur effectue la différence Ep entre la consigne numérique E et la variable numérique de "
     "retour X, image de la position à asservir.",
     10, 250, clBlue},
    {"Le résultat Epu est ensuite élaboré par le régulateur.", 10, 265, clBlue},
    {"On suppose que les convertisseurs traitent des signaux (bipolaires) numériques codés sur 12 bits et "
     "des signaux analogiques de 20Volts.",
     10, 280, clBlack},
    {"On aura donc : E, X, Ep et Epu = [-2047,+2047] puis U1, U et V = [-10V,+10V].", 10, 295, clBlack},
    {"Le traitement des signaux est échantillonné : l'acquisition de X s'effectue régulièrement à des "
     "intervalles de temps séparés de T (période d'échantillonnage).",
     10, 310, clBlue},
    {"Attention : on supposera que la durée entre l'acquisition de X et la restitution de Epu est "
     "négligeable devant la période d'échantillonnage T",
     10, 325, clRed},
    {"La valeur calculée Epu est maintenue constante pendant T (blocage d'ordre zéro).", 10, 340, clBlack},
    {"Ainsi, le processus voit arriver sur sa commande U1 une succession d'échelons de durée égale à T.", 10,
     355, clBlack},
    {"Le moteur utilisé est à courant continu, à aimants permanents, commandé par sa tension d'induit U. Son "
     "arbre de sortie est représenté en bleu (arbre rapide).",
     10, 370, clBlue},
    {"Le bras du robot est entrainé par l'arbre jaune (arbre lent). ", 10, 385, clBlue},
    {"Le capteur mesure la position du bras de robot (donc de l'arbre lent) et en fournit une image en "
     "tension notée V.",
     10, 400, clBlack},
    {"L'amplificateur de puissance possède un gain en tension égal à 1 (U = U1); il fournit la puissance "
     "dont a besoin le moteur pour tourner.",
     10, 415, clBlack},
    {"Le rapport de réduction du réducteur (vitesse lente/vitesse rapide) intervient dans la fonction de "
     "transfert de la boucle, car le capteur mesure la position de l'arbre lent.",
     10, 430, clBlue},
    {"La fonction de transfert en boucle ouverte, sans régulateur, est donc : X/Epu = "
     "(30*(1/100)*(10/3))/p(1+T1p) = 1/p(1+T1p)",
     10, 445, clBlue},
    {"Attention : avec le capteur utilisé, la mesure de la position ne peut être faite que sur une fraction "
     "de tour (la dynamique de mesure est ici : 20Volts/3,33 = 6 radians).",
     10, 460, clGreen},
};

constexpr int explanationSizePt = 6;
constexpr int explanationPitch = 15; // px
constexpr int textAreaBottomY = 490;

constexpr bool evenlySpaced(std::span<const ColoredText> lines, int pitch)
{
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].x != lines[0].x || lines[i].y - lines[i - 1].y != pitch)
            return false;
    }
    return true;
}
static_assert(std::size(explanation) == 15);
static_assert(evenlySpaced(explanation, explanationPitch));
static_assert(std::end(explanation)[-1].y + explanationPitch <= textAreaBottomY,
              "the explanation fits the text area");

constexpr Font modelTitleFont{.face = FontFace::SansSerif, .size = 8, .color = clRed, .bold = false};
constexpr Font modelFont{.face = FontFace::SansSerif, .size = 8, .color = clBlue, .bold = false};
constexpr Font thetaFont{.face = FontFace::Symbol, .size = 12, .color = clBlue, .bold = false};

// The converters' second gain and the closing remark are pushed right by
// blanks so that they start under the first gain.
constexpr std::string_view gcanLine =
    "                                         Gcan = X/V = 4095/20 = 204.75";
constexpr std::string_view compensateLine =
    "                                         (ils se compensent en boucle ouverte)";
constexpr std::size_t alignmentBlanks = 41;
static_assert(gcanLine.find_first_not_of(' ') == alignmentBlanks);
static_assert(compensateLine.find_first_not_of(' ') == alignmentBlanks);

// "q" in the Symbol face is the theta that the formula beside it divides.
constexpr SceneText modelTexts[] = {
    {"Modèle du système :", 10, 20, modelTitleFont},
    {"q", 27, 36, thetaFont},
    {"/U = K/p(1+T1p) (K = 30 et T1 = constante de temps mécanique dominante = 0.1s)", 35, 40, modelFont},
    {"Gain du capteur de position = 10/3", 25, 55, modelFont},
    {"Rapport de réduction du réducteur = 1/100", 25, 70, modelFont},
    {"Gain des convertisseurs : Gcna = U1/Epu = 20/4095 = 0.0049", 25, 85, modelFont},
    {gcanLine, 25, 100, modelFont},
    {compensateLine, 25, 115, modelFont},
};

// Drawn under the arm, which passes over the dial. The bitmap's texts keep
// its default face and size: only their colour is ever set.
void drawSensorOverlay(Canvas &anim, int c)
{
    DrawSensorDial(anim, wiperAngle(c));
    anim.font.color = clRed;
    DrawTexts(anim, readingCaption);
    anim.font.color = clBlack;
    anim.textOut(readingAt.x, readingAt.y, NumberFormat::integer(sensorReading(c)));
    anim.textOut(readingUnit.x, readingUnit.y, readingUnit.text);
    anim.font.color = clGreen;
    DrawTexts(anim, dialTexts);
}

void drawSensorArrow(Canvas &scene)
{
    scene.pen = Pen{.color = clBlue, .width = 1, .style = PenStyle::Solid};
    DrawLines(scene, sensorArrow);
}

// The size is set here as well as by the idle picture: a start that comes
// before any idle tick would otherwise inherit the last page's window font.
void drawExplanation(Canvas &window)
{
    window.font = Font{.face = FontFace::SansSerif, .size = explanationSizePt};
    DrawTexts(window, explanation);
}

void drawModel(Canvas &scene)
{
    for (const SceneText &t : modelTexts) {
        scene.font = t.font;
        scene.textOut(t.x, t.y, t.text);
    }
}

} // namespace

void DrawPresentationFrame(FrameContext &ctx, int c)
{
    Canvas &scene = ctx.surfaces.scene;
    DrawLoopDiagram(scene, presentationDiagram);
    DrawArm(ctx.surfaces.anim, scene, armAngle(c), [c](Canvas &anim) { drawSensorOverlay(anim, c); });
    drawSensorArrow(scene);
    drawExplanation(ctx.surfaces.window);
    drawModel(scene);
}

} // namespace lodrix
