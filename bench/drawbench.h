#pragma once
// Google Benchmark cases: one tick of every page on the real window, at its
// first, a middle and its end tick, a move of the free-setting gain slider,
// and the RTF reader on a corpus.

#include "app/tvitesse.h"

#include <QString>

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lodrix::bench {

struct DrawResults {
    // Median complete tick in ms, by page and by timed tick ("first",
    // "middle", "end"), as the last run of each case measured it.
    std::map<std::string, std::map<std::string, double, std::less<>>, std::less<>> tickMs;
    std::optional<double> rtfMbPerS;
    // Median move of the free-setting gain slider, simulated, drawn and
    // repainted, in ms.
    std::optional<double> settingMs;
    // The same move with each view of the free-setting entry shown, in its
    // place or enlarged ("bode", "bode large"), median ms.
    std::map<std::string, double> settingViewMs;
    // Median design on the views box, as a hand does it, simulated, drawn and
    // repainted, in ms: a press on the locus ("pick"), a click on the Gc(T)
    // view ("periodgain"), and a change of corrector with that view shown,
    // which finds its stable region anew ("periodgain-corrector").
    std::map<std::string, double, std::less<>> designMs;

    // The worst of a page's medians; nothing when none of its cases ran.
    std::optional<double> worstTickMs(std::string_view page) const;
};

// Registers the cases; the figures land in out as the cases run. w must
// outlive the run. An empty rtfDir leaves the reader out.
void registerBenchmarks(Tvitesse &w, const QString &rtfDir, DrawResults &out);

} // namespace lodrix::bench
