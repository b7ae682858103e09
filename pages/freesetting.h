#pragma once
// Menu entry 5, « Boucle fermée : réglage libre »: the loop closed with the
// corrector, gain, sampling period and step the student chose, simulated
// rather than replayed.

#include "pages.h"

#include "model/sampledloop.h"
#include "render/zplane.h"

#include <cstddef>
#include <optional>
#include <span>

namespace lodrix {

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
// ---- The views box beside the plots: the root locus, on which a hand sets
// the gain and reads what a pole says, or the « Gc(T) » view, on which it
// sets the period and the gain together. Its title row ends with a switch
// to the other view.
enum class FreeView { Locus, PeriodGain };
struct FreeViews {
    FreeView shown = FreeView::Locus;
    std::optional<LocusPick> pointed; // on the locus, what the hand points at
};
// Where the box stands on the window, in form pixels.
ZPlaneBox FreeViewBox();
// Whether form pixel p is on the title row's switch.
bool OnFreeViewSwitch(Point p);
// The box's name as a person is told it, in French: what it shows and what
// a hand does there.
const char *FreeViewName(FreeView view);

void DrawFreeSettingFrame(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept, int n,
                          const FreeViews &views = {});

// The idle picture with the chosen settings over it: the corrector, the
// whole predicted response, the root locus and what the poles say, so that
// a change shows at once.
void DrawFreeSettingIdle(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept,
                         const FreeViews &views = {});

} // namespace lodrix
