// lodrix-bench: how fast and how steadily the real Lodrix window draws, on
// the offscreen platform.
//
//   lodrix-bench [--json] [--scale F] [--rtf-dir DIR] [benchmark options]
//       one tick of every page, the RTF reader, start-up, peak memory;
//       --scale F as under Qt's scale factor F (a tick's budget is then 1 ms)
//   lodrix-bench --pacing [--json]
//       a closed-loop page at 10 ms per tick on the real timer
//   lodrix-bench --soak N [--json]
//       N complete lessons in a row: memory and widgets before and after
//
// With --json the last line is one JSON object with the figures. The soak
// exits with status 1 when the window gains widgets or other objects, or
// when memory grows by 2 MiB or more after the first 50 lessons.
// --lesson-child is the start-up run's own child process.

#include "drawbench.h"
#include "driver.h"
#include "json.h"
#include "runs.h"

#include "app/canvas/colors.h"
#include "app/tvitesse.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace lodrix::bench;

struct Options {
    bool json = false;
    bool pacing = false;
    bool lessonChild = false;
    std::optional<int> soakLessons;
    std::optional<std::string> scale; // as QT_SCALE_FACTOR takes it
    QString rtfDir;
    std::vector<char *> benchmarkArgs; // argv[0] and what Google Benchmark reads
};

struct Usage {
    std::string message;
};

QString defaultRtfDir()
{
    const QByteArray fromEnv = qgetenv("LODRIX_TESTDATA_DIR");
    return QDir(fromEnv.isEmpty() ? QStringLiteral(LODRIX_TESTDATA_DIR) : QString::fromLocal8Bit(fromEnv))
        .filePath(QStringLiteral("rtf"));
}

Options parse(int argc, char **argv)
{
    Options o;
    o.rtfDir = defaultRtfDir();
    o.benchmarkArgs.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= argc)
                throw Usage{"'" + std::string(a) + "' needs a value"};
            return argv[++i];
        };
        if (a == "--json") {
            o.json = true;
        } else if (a == "--pacing") {
            o.pacing = true;
        } else if (a == "--lesson-child") {
            o.lessonChild = true;
        } else if (a == "--soak") {
            const std::string n(value());
            char *end = nullptr;
            const long lessons = std::strtol(n.c_str(), &end, 10);
            if (n.empty() || *end != '\0' || lessons < 1 || lessons > 1'000'000)
                throw Usage{"bad number of lessons '" + n + "'"};
            o.soakLessons = int(lessons);
        } else if (a == "--scale") {
            const std::string f(value());
            char *end = nullptr;
            const double factor = std::strtod(f.c_str(), &end);
            if (f.empty() || *end != '\0' || !(factor >= 1.0 && factor <= 4.0))
                throw Usage{"bad scale factor '" + f + "' (expected 1 to 4)"};
            o.scale = f;
        } else if (a == "--rtf-dir") {
            o.rtfDir = QString::fromLocal8Bit(value());
        } else if (a.starts_with("--benchmark_")) {
            o.benchmarkArgs.push_back(argv[i]);
        } else {
            throw Usage{"unknown option '" + std::string(a) + "'"};
        }
    }
    if (int(o.pacing) + int(o.lessonChild) + int(o.soakLessons.has_value()) > 1)
        throw Usage{"--pacing, --soak and --lesson-child do not mix"};
    return o;
}

void printJson(const Options &o, const JsonObject &figures)
{
    if (o.json)
        std::printf("%s\n", figures.text().c_str());
}

const char *verdict(bool met)
{
    return met ? "ok" : "MISSED";
}

int runBenchmarks(const Options &o, lodrix::Tvitesse &w)
{
    // On a scaled screen every frame is also grown to the device's pixels.
    const double tickTargetMs = o.scale ? 1.0 : 0.5;
    constexpr double rtfTargetMbPerS = 50.0;
    constexpr double settingTargetMs = 2.0; // a move of the gain slider, at 1x
    constexpr double startupTargetMs = 300.0;
    constexpr double peakTargetMb = 80.0;
    constexpr int startupRuns = 5;

    DrawResults results;
    registerBenchmarks(w, o.rtfDir, results);
    std::vector<char *> args = o.benchmarkArgs;
    int argc = int(args.size());
    benchmark::Initialize(&argc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The children start after the cases: they would disturb the timing.
    const StartupResult startup = measureStartup(startupRuns);

    JsonObject ticks;
    std::printf(
        "\nMedian complete tick (frame on the three surfaces + repaint), worst of the timed ticks:\n");
    for (const PageTicks &page : pageTicks) {
        const auto ms = results.worstTickMs(page.name);
        ticks.add(page.name, ms);
        if (ms)
            std::printf("  %-18s %7.3f ms  %s\n", std::string(page.name).c_str(), *ms,
                        verdict(*ms <= tickTargetMs));
    }
    if (results.settingMs)
        std::printf("Gain slider move (simulated, drawn, repainted): %.3f ms  %s\n", *results.settingMs,
                    verdict(*results.settingMs <= settingTargetMs));
    JsonObject views;
    for (const auto &[label, ms] : results.settingViewMs) {
        views.add(label, ms);
        std::printf("  with the view %-16s %7.3f ms  %s\n", label.c_str(), ms,
                    verdict(ms <= settingTargetMs));
    }
    JsonObject design;
    for (const auto &[name, ms] : results.designMs) {
        design.add(name, ms);
        std::printf("Design on the views box, %s (simulated, drawn, repainted): %.3f ms  %s\n", name.c_str(),
                    ms, verdict(ms <= settingTargetMs));
    }
    if (results.rtfMbPerS)
        std::printf("RTF reader: %.1f MB/s  %s\n", *results.rtfMbPerS,
                    verdict(*results.rtfMbPerS >= rtfTargetMbPerS));
    std::printf("Start-up to the first idle frame: %.1f ms (median of %d)  %s\n", startup.startupMs,
                startup.runs, verdict(startup.startupMs <= startupTargetMs));
    std::printf("Peak resident memory of a full lesson: %.1f MiB  %s\n", startup.peakRssMb,
                verdict(startup.peakRssMb <= peakTargetMb));
    printJson(o, JsonObject()
                     .add("tick_ms", ticks)
                     .add("setting_ms", results.settingMs)
                     .add("setting_view_ms", views)
                     .add("design_ms", design)
                     .add("rtf_mb_per_s", results.rtfMbPerS)
                     .add("startup_ms", startup.startupMs)
                     .add("peak_rss_mb", startup.peakRssMb));
    return 0;
}

int runPacing(const Options &o, QApplication &app)
{
    constexpr double toleranceFraction = 0.02;
    const PacingResult r = measurePacing(app);
    const bool met = std::abs(r.runMs - r.idealMs) <= toleranceFraction * r.idealMs;
    std::printf("%d ticks at 10 ms: %.1f ms for %.0f ms ideal (%+.2f %%)  %s; p99 interval %.3f ms\n",
                r.ticks, r.runMs, r.idealMs, 100.0 * (r.runMs - r.idealMs) / r.idealMs, verdict(met),
                r.p99IntervalMs);
    printJson(o, JsonObject()
                     .add("run_ms", r.runMs)
                     .add("ideal_ms", r.idealMs)
                     .add("p99_interval_ms", r.p99IntervalMs));
    return 0;
}

int runSoak(const Options &o, int lessons)
{
    constexpr int settledLessons = 50;
    constexpr double growthLimitMb = 2.0;
    const SoakResult r = soak(lessons);
    const bool widgetsSteady = r.widgetsStart == r.widgetsEnd;
    const bool objectsSteady = r.objectsStart == r.objectsEnd;
    // Before 50 lessons the allocators are still filling up: no verdict.
    const bool memoryJudged = lessons > settledLessons;
    const bool memorySteady = !memoryJudged || r.rssAfterLastMb - r.rssAfter50Mb < growthLimitMb;
    std::printf("%d lessons: %.2f MiB resident after %d, %.2f MiB after the last  %s; child widgets %lld -> "
                "%lld  %s\n",
                r.runs, r.rssAfter50Mb, std::min(settledLessons, lessons), r.rssAfterLastMb,
                memoryJudged ? verdict(memorySteady) : "(too few lessons to judge)",
                (long long)r.widgetsStart, (long long)r.widgetsEnd, verdict(widgetsSteady));
    std::printf("Objects owned by the window: %lld -> %lld  %s\n", (long long)r.objectsStart,
                (long long)r.objectsEnd, verdict(objectsSteady));
    if (r.commentaryErrors > 0)
        std::printf("%d commentaries could not be opened (error box closed each time), the first: %s\n",
                    r.commentaryErrors, r.firstCommentaryError.c_str());
    printJson(o, JsonObject()
                     .add("runs", r.runs)
                     .add("rss_after_50_mb", r.rssAfter50Mb)
                     .add("rss_after_last_mb", r.rssAfterLastMb)
                     .add("widgets_start", double(r.widgetsStart))
                     .add("widgets_end", double(r.widgetsEnd))
                     .add("commentary_errors", r.commentaryErrors));
    return widgetsSteady && objectsSteady && memorySteady ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    try {
        o = parse(argc, argv);
    } catch (const Usage &u) {
        std::fprintf(stderr, "lodrix-bench: %s\n", u.message.c_str());
        return 2;
    }
    // Headless whatever the session: the figures are those of the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (o.scale)
        qputenv("QT_SCALE_FACTOR", o.scale->c_str());
    QApplication app(argc, argv);
    QApplication::setPalette(lodrix::lodrixPalette());
    // The commentary files are looked for in the working directory first:
    // those of the sources, unless there are none yet.
    if (QDir(QStringLiteral(LODRIX_DATA_DIR)).exists())
        QDir::setCurrent(QStringLiteral(LODRIX_DATA_DIR));
    try {
        if (o.lessonChild)
            return lessonChild(app);
        if (o.pacing)
            return runPacing(o, app);
        if (o.soakLessons)
            return runSoak(o, *o.soakLessons);
        lodrix::Tvitesse w(lodrix::NumberFormat(QLocale::system().decimalPoint().toStdString()));
        w.Timer1->stop(); // the cases tick the window themselves
        w.showMaximized();
        return runBenchmarks(o, w);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "lodrix-bench: %s\n", e.what());
        return 1;
    }
}
