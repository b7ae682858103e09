#pragma once
// The servo loop as a block diagram on the scene surface, with the row of
// live values above the boxes and the corrector's formula callout.

#include "canvas.h"
#include "numberformat.h"

#include "model/modelstate.h"

#include <span>
#include <string_view>

namespace lodrix {

struct CorrectorLine {
    std::string_view text;
    int x;
    int y;
};

struct DiagramVariant {
    std::span<const CorrectorLine> correctorLines; // below "Régulateur"
    bool loopClosed = true; // false: X leaves to the right and "0" is written at the minus input
    Color eLabelColor = clGreen;
    int epuLabelX = 203;
};

// Clears the scene and draws the diagram. Leaves the scene canvas with font
// "MS sans Serif" 12 pt in the highlight colour.
void DrawLoopDiagram(Canvas &scene, const DiagramVariant &variant);

// The nine live values at y = 140 in valueColor, then the unit labels in black.
void DrawValueRow(Canvas &scene, const ModelState &values, Color valueColor, int vUnitX,
                  const NumberFormat &numbers);

// The difference equation above the diagram with its arrow into the corrector.
void DrawFormulaCallout(Canvas &scene, std::string_view formula, int formulaX, int formulaSize);

} // namespace lodrix
