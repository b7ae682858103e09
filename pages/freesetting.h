#pragma once
// Menu entry 5, « Boucle fermée : réglage libre »: the loop closed with the
// corrector, gain, sampling period and step the student chose, simulated
// rather than replayed.

#include "pages.h"

#include "model/sampledloop.h"

namespace lodrix {

// n: page tick, 2 to 320, of the run of loop. The caller creates the
// "Commentaires" button after the end tick's frame.
void DrawFreeSettingFrame(FrameContext &ctx, const SampledLoop &loop, int n);

// The idle picture with the chosen settings over it: the corrector, its
// poles in the z-plane and what they say, so that a change shows at once.
void DrawFreeSettingIdle(FrameContext &ctx, const SampledLoop &loop);

} // namespace lodrix
