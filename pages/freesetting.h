#pragma once
// Menu entry 5, « Boucle fermée : réglage libre »: the loop closed with the
// corrector, gain, sampling period and step the student chose, simulated
// rather than replayed.

#include "pages.h"

#include "model/sampledloop.h"
#include "render/zplane.h"

#include <cstddef>
#include <span>

namespace lodrix {

// The z-plane box, right of the plots on the window canvas.
constexpr ZPlaneBox freeSettingZPlane{{650, 250}, 150};

// The runs a student keeps to compare with, drawn as ghosts in the plots.
constexpr std::size_t keptRunLimit = 3;

// A kept run and its colour, one of keptRunLimit, which it keeps for its life.
struct KeptRun {
    SampledLoop loop;
    std::size_t colour = 0;
};

// The colour for a run kept beside these: the first none of them has.
std::size_t FreeKeptColour(std::span<const KeptRun> kept);

// n: page tick, 2 to 320, of the run of loop. Each frame draws the whole
// picture: the kept runs, the predicted response, the run as far as n over
// it, the root locus, and the texts the run has reached. The caller creates
// the "Commentaires" button after the end tick's frame.
void DrawFreeSettingFrame(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept, int n);

// The idle picture with the chosen settings over it: the corrector, the
// whole predicted response, the root locus and what the poles say, so that
// a change shows at once.
void DrawFreeSettingIdle(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept);

} // namespace lodrix
