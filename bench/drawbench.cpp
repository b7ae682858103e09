#include "drawbench.h"

#include "driver.h"
#include "stats.h"

#include "app/richtextwriter.h"
#include "pages/freesetting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSlider>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace lodrix::bench {

namespace {

constexpr double bytesPerMB = 1e6;

struct TimedTick {
    std::string_view label;
    int PageTicks::*tick;
};

constexpr std::array timedTicks{
    TimedTick{"first", &PageTicks::first},
    TimedTick{"middle", &PageTicks::middle},
    TimedTick{"end", &PageTicks::end},
};

// The tick that a run draws just before `tick` of the page: the
// presentation counts down.
int previousTick(const PageTicks &page, int tick)
{
    return page.page == Page::Presentation ? tick + 1 : tick - 1;
}

// The window is brought to the state just before the tick by playing the
// page from its start; every timed iteration then shows the frame a run
// shows before it (the previous tick's, or the idle picture before a page's
// first tick; the idle picture repeats itself), restores the state and plays
// the tick again. The work is that of the real tick: its frame on the three
// surfaces (and, on a closed-loop end tick, the "Commentaires" button), then
// the repaint of the window and the scene, which on a scaled screen grows
// what changed since the frame before.
void timeTick(benchmark::State &state, Tvitesse &w, const PageTicks &page, int tick, double &medianMs)
{
    Driver driver(w);
    const bool startsFromIdle = page.page != Page::Idle && tick == page.first;
    const bool hasPrevious = page.page != Page::Idle && !startsFromIdle;
    // Each iteration comes back to a mark the controller gave: the state
    // before the previous tick (or chosen and not started yet, whose tick
    // draws the idle picture), then the state before the timed tick.
    Controller::Mark previous;
    if (hasPrevious) {
        driver.prepare(page, previousTick(page, tick));
        previous = w.controller.mark();
        driver.tick();
    } else if (startsFromIdle) {
        driver.choose(page.menuEntry);
        previous = w.controller.mark();
        driver.prepare(page, tick);
    } else {
        driver.prepare(page, tick);
    }
    const Controller::Mark before = w.controller.mark();
    std::vector<double> drawMs;
    std::vector<double> tickMs;
    for (auto _ : state) {
        if (hasPrevious || startsFromIdle) {
            w.controller.rewind(previous);
            driver.tick();
        }
        w.controller.rewind(before);
        const Clock::time_point t0 = Clock::now();
        w.Timer1Timer();
        const Clock::time_point t1 = Clock::now();
        QCoreApplication::processEvents();
        const Clock::time_point t2 = Clock::now();
        drawMs.push_back(msBetween(t0, t1));
        tickMs.push_back(msBetween(t0, t2));
    }
    medianMs = median(tickMs);
    state.counters["draw_ms"] = median(drawMs);
    state.counters["tick_ms"] = medianMs;
}

// A move of the gain slider on the free-setting entry, as a drag gives them:
// each iteration moves it one position, alternately up and down, so that
// the run is simulated again, its poles, locus and verdict found, its idle
// picture with the prediction drawn on the three surfaces, and repainted.
void timeSettingChange(benchmark::State &state, Tvitesse &w, double &medianMs, FreeViews views = {})
{
    Driver driver(w);
    driver.choose(freeSettingEntry);
    driver.tick();
    w.setFreeViews(views);
    const int from = w.SettingGainSlider->value();
    std::vector<double> ms;
    int direction = 1;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        w.SettingGainSlider->setValue(w.SettingGainSlider->value() + direction);
        QCoreApplication::processEvents();
        ms.push_back(msBetween(t0, Clock::now()));
        direction = -direction;
    }
    w.SettingGainSlider->setValue(from);
    w.setFreeViews({});
    medianMs = median(ms);
    state.counters["setting_ms"] = medianMs;
}

// Design on the views box of the free-setting entry, through the box's own
// control as the pointer reaches it: each iteration alternates between two
// actions, so that every one changes the settings.
enum class Design { Pick, PeriodGain, PeriodGainCorrector };

void timeDesign(benchmark::State &state, Tvitesse &w, Design design, double &medianMs)
{
    Driver driver(w);
    driver.choose(freeSettingEntry);
    driver.tick();
    const FreeSettings from = w.controller.freeSettings();
    FreeSettings start = from;
    start.gain = 0.5;
    w.setFreeSettings(start);
    w.setFreeViews({design == Design::Pick ? FreeView::Locus : FreeView::PeriodGain, false});
    const ZPlaneBox box = freeSettingZPlane;
    // Two points of the complex branch of the locus, or of the Gc(T) view.
    QPointF points[2];
    if (design == Design::Pick) {
        const std::vector<Complex> branch = w.controller.freeLoop().locus().branches[0];
        std::size_t first = 0;
        while (first + 1 < branch.size() && std::abs(branch[first].imag()) < 0.1)
            ++first;
        for (int i = 0; i < 2; ++i) {
            const Point p =
                ZPlanePixel(box, branch[std::min(first + 40 * std::size_t(i), branch.size() - 1)]);
            points[i] = QPointF(p.x - box.topLeft.x + 0.5, p.y - box.topLeft.y + 0.5);
        }
    } else {
        points[0] = QPointF(box.size * 0.3, box.size * 0.5);
        points[1] = QPointF(box.size * 0.7, box.size * 0.6);
    }
    std::vector<double> ms;
    int i = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        if (design == Design::PeriodGainCorrector) {
            FreeSettings s = w.controller.freeSettings();
            s.corrector = i % 2 ? Corrector::Proportional : Corrector::PoleCompensation;
            w.setFreeSettings(s);
        } else {
            w.FreeViewArea->pressed(points[i % 2]);
            w.FreeViewArea->released();
        }
        QCoreApplication::processEvents();
        ms.push_back(msBetween(t0, Clock::now()));
        ++i;
    }
    w.setFreeViews({});
    w.setFreeSettings(from);
    medianMs = median(ms);
    state.counters["setting_ms"] = medianMs;
}

struct Corpus {
    std::vector<QByteArray> files;
    qint64 bytes = 0;
};

Corpus loadCorpus(const QString &dir)
{
    Corpus corpus;
    const QDir d(dir);
    for (const QString &name : d.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name)) {
        QFile f(d.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        corpus.files.push_back(f.readAll());
        corpus.bytes += corpus.files.back().size();
    }
    return corpus;
}

// One iteration reads the whole corpus, each file into a fresh document as
// the commentary box does.
void readCorpus(benchmark::State &state, const Corpus &corpus, std::optional<double> &mbPerS)
{
    std::vector<double> seconds;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        for (const QByteArray &data : corpus.files) {
            QTextDocument doc;
            readRtf(data, doc);
            benchmark::DoNotOptimize(doc.characterCount());
        }
        seconds.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    state.SetBytesProcessed(state.iterations() * corpus.bytes);
    state.counters["files"] = double(corpus.files.size());
    mbPerS = double(corpus.bytes) / bytesPerMB / median(seconds);
    state.counters["median_MB_per_s"] = *mbPerS;
}

} // namespace

std::optional<double> DrawResults::worstTickMs(std::string_view page) const
{
    const auto cases = tickMs.find(page);
    if (cases == tickMs.end() || cases->second.empty())
        return std::nullopt;
    double worst = 0.0;
    for (const auto &[label, ms] : cases->second)
        worst = std::max(worst, ms);
    return worst;
}

void registerBenchmarks(Tvitesse &w, const QString &rtfDir, DrawResults &out)
{
    for (const PageTicks &page : pageTicks) {
        for (const TimedTick &t : timedTicks) {
            // The idle picture has a single tick, whatever the moment.
            if (page.page == Page::Idle && t.tick != &PageTicks::first)
                continue;
            const std::string name = "tick/" + std::string(page.name) + "/" + std::string(t.label);
            benchmark::RegisterBenchmark(name.c_str(), [&w, &page, t, &out](benchmark::State &state) {
                timeTick(state, w, page, page.*t.tick,
                         out.tickMs[std::string(page.name)][std::string(t.label)]);
            })->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::RegisterBenchmark("setting/gain", [&w, &out](benchmark::State &state) {
        timeSettingChange(state, w, out.settingMs.emplace());
    })->Unit(benchmark::kMicrosecond);
    // Each view redrawn with the settings it shows.
    for (int v = 0; v < freeViewCount; ++v)
        for (bool large : {false, true}) {
            const FreeViews views{FreeView(v), large};
            const std::string label = std::string(freeViewName(views.shown)) + (large ? " large" : "");
            benchmark::RegisterBenchmark(("setting/gain/" + label).c_str(), [&w, &out, views,
                                                                             label](benchmark::State &state) {
                timeSettingChange(state, w, out.settingViewMs[label], views);
            })->Unit(benchmark::kMicrosecond);
        }
    constexpr std::pair<const char *, Design> designs[] = {
        {"pick", Design::Pick},
        {"periodgain", Design::PeriodGain},
        {"periodgain-corrector", Design::PeriodGainCorrector}};
    for (const auto &[name, design] : designs)
        benchmark::RegisterBenchmark(("setting/" + std::string(name)).c_str(), [&w, &out, name, design](
                                                                                   benchmark::State &state) {
            timeDesign(state, w, design, out.designMs[name]);
        })->Unit(benchmark::kMicrosecond);
    if (rtfDir.isEmpty())
        return;
    auto corpus = std::make_shared<Corpus>(loadCorpus(rtfDir));
    if (corpus->files.empty())
        return;
    benchmark::RegisterBenchmark("rtf/corpus", [corpus, &out](benchmark::State &state) {
        readCorpus(state, *corpus, out.rtfMbPerS);
    })->Unit(benchmark::kMillisecond);
}

} // namespace lodrix::bench
