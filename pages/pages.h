#pragma once
// One entry per lesson page: each draws one complete frame of its page on the
// three surfaces.

#include "model/modelstate.h"
#include "raster/canvas.h"
#include "render/numberformat.h"

namespace lodrix {

// A page draws from the counters and the model values the controller's tick
// has stepped, and changes none of them: drawing a frame again draws the
// same pixels.
struct FrameContext {
    Surfaces surfaces;
    const ModelState &model;
    const NumberFormat &numbers;
    // Fixed texts are translated by the canvases; texts made with this
    // run's numbers translate their patterns here.
    Language language{};
};

// Everything a page draws below the scene lies in the text area of the
// window canvas, (0, 250)-(800, 490): this paints it in the button face with
// the pen and brush styles the canvas holds (solid, as the pages leave them).
// The scroll bar's "+" and "-" lie outside it and stay.
void ClearTextArea(Canvas &window);

// Drawn on every tick while no page runs; the same whichever entry is chosen.
void DrawIdlePicture(FrameContext &ctx);
// c: compteur after the step, -2 to -100.
void DrawPresentationFrame(FrameContext &ctx, int c);
// n: compteur after the step, 2 to 300.
void DrawOpenLoopFrame(FrameContext &ctx, int n);
// n: page tick, 2 to 320. The caller creates the "Commentaires" button after
// the end tick's frame.
void DrawProportionalFrame(FrameContext &ctx, int n);
void DrawPoleCompensationFrame(FrameContext &ctx, int n);
void DrawTwoStepFrame(FrameContext &ctx, int n);

} // namespace lodrix
