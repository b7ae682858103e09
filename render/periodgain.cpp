#include "periodgain.h"

namespace lodrix {

// For now the view's frame and title only: the period-gain plane is drawn
// into it.
void DrawPeriodGainView(Canvas &canvas, const SampledLoop &, const NumberFormat &, ViewBox box)
{
    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    canvas.rectangle(box.left, box.top, box.right(), box.bottom());
    canvas.font = Font{.face = FontFace::SansSerif, .size = 8, .color = clBlue, .bold = false};
    canvas.textOut(box.left + 4, box.top + 1, "Gc(T)");
}

} // namespace lodrix
