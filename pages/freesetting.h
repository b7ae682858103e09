#pragma once
// Menu entry 5, « Boucle fermée : réglage libre »: the loop closed with the
// corrector, gain, sampling period and step the student chose, simulated
// rather than replayed.

#include "pages.h"

#include "model/sampledloop.h"
#include "render/viewbox.h"
#include "render/zplane.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

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

// The views area beside the plots: the root locus (« Lieu des pôles »), the
// open loop's Bode, Nyquist and Black-Nichols diagrams, or the loop in the
// plane of period and gain (« Gc(T) »); in its place right of the plots, or
// enlarged over the right-hand plot, under the arm and the diagram.
enum class FreeView { Locus, Bode, Nyquist, Black, PeriodGain };
constexpr int freeViewCount = 5;
struct FreeViews {
    FreeView shown = FreeView::Locus;
    bool large = false;
    std::optional<LocusPick> pointed; // on the locus, what the hand points at
    FreeViews() = default;
    FreeViews(FreeView view, bool enlarged, std::optional<LocusPick> at = std::nullopt)
        : shown(view), large(enlarged), pointed(at)
    {}
    // The same view, wherever the hand is.
    bool operator==(const FreeViews &o) const { return shown == o.shown && large == o.large; }
};
// Its name for scripts: "locus", "bode", "nyquist", "black", "period".
const char *freeViewName(FreeView view);
std::optional<FreeView> freeViewNamed(std::string_view name);
// Its name in the chooser, in French: « Lieu des pôles », « Bode »...
const char *freeViewLabel(FreeView view);
// Where the area stands on the window canvas, in form pixels at 1x.
ViewBox freeViewBox(bool large);
// The area's name as a person is told it, in French: what it shows and
// what a hand does there.
const char *freeViewAccessibleName(FreeView view);

// n: page tick, 2 to 320, of the run of loop. Each frame draws the whole
// picture: the kept runs, the predicted response, the run as far as n over
// it, the root locus, and the texts the run has reached. The caller creates
// the "Commentaires" button after the end tick's frame.
void DrawFreeSettingFrame(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept, int n,
                          const FreeViews &views = {});

// The idle picture with the chosen settings over it: the corrector, the
// whole predicted response, the root locus and what the poles say, so that
// a change shows at once.
void DrawFreeSettingIdle(FrameContext &ctx, const SampledLoop &loop, std::span<const KeptRun> kept,
                         const FreeViews &views = {});

} // namespace lodrix
