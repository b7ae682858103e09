#pragma once
// The servo loop as a block diagram on the scene surface, with the row of
// live values above the boxes and the corrector's formula callout. Also the
// two list primitives every lesson uses for its fixed texts and strokes.

#include "numberformat.h"
#include "raster/canvas.h"

#include "model/modelstate.h"

#include <span>
#include <string>
#include <string_view>

namespace lodrix {

// A fixed text placed by the top-left corner of its cell, in the font in force.
struct PlacedText {
    std::string_view text;
    int x;
    int y;
};

// A fixed text with its own font colour.
struct ColoredText {
    std::string_view text;
    int x;
    int y;
    Color color;
};

// A fixed stroke in the pen in force; like every line it stops short of `to`,
// so which end an arrow head starts from decides whether the tip is painted.
struct PlacedLine {
    Point from;
    Point to;
};

void DrawText(Canvas &canvas, const PlacedText &text);
void DrawTexts(Canvas &canvas, std::span<const PlacedText> texts);
// Sets the font colour first; it stays in force afterwards.
void DrawText(Canvas &canvas, const ColoredText &text);
void DrawTexts(Canvas &canvas, std::span<const ColoredText> texts);
void DrawLine(Canvas &canvas, const PlacedLine &line);
void DrawLines(Canvas &canvas, std::span<const PlacedLine> lines);

using CorrectorLine = PlacedText;

struct DiagramVariant {
    std::span<const CorrectorLine> correctorLines; // below "Régulateur"
    bool loopClosed = true; // false: X leaves to the right and "0" is written at the minus input
    Color eLabelColor = clGreen;
    int epuLabelX = 203;
};

// Clears the scene and draws the diagram. Leaves the scene canvas with font
// "MS sans Serif" 12 pt in the highlight colour, a yellow pen and a solid red
// brush.
void DrawLoopDiagram(Canvas &scene, const DiagramVariant &variant);

// The nine live values at y = 140 in valueColor (Omega1 rounded up to a whole
// rad/s), then the unit labels in black, "V" of the sensor at vUnitX. Leaves
// the font "MS sans Serif" 10 pt black.
void DrawValueRow(Canvas &scene, const ModelState &values, Color valueColor, int vUnitX,
                  const NumberFormat &numbers);

// The value row as a sentence a screen reader reads: "E = 200, Ep = 15, …,
// X = 185", with the units the row shows.
std::string valueRowText(const ModelState &values, const NumberFormat &numbers);

// What a screen reader reads of the scene and of the window, the same in every
// edition: the lesson by its menu title (empty while none is chosen), then,
// once its page has drawn a frame, the value row.
std::string surfaceDescription(std::string_view lesson, bool pageDrawn, const ModelState &values,
                               const NumberFormat &numbers, const Language &language = Language());

// The difference equation above the diagram with its arrow into the corrector.
// Leaves the font blue at 6 pt and the pen red.
void DrawFormulaCallout(Canvas &scene, std::string_view formula, int formulaX, int formulaSize);

} // namespace lodrix
