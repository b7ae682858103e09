#include "runs.h"

#include "driver.h"
#include "procstats.h"
#include "stats.h"

#include "app/canvas/colors.h"
#include "app/tvitesse.h"

#include <QApplication>
#include <QLocale>
#include <QProcess>
#include <QScrollBar>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace lodrix::bench {

namespace {

// A time that can cross into another process.
long long monotonicNs(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

NumberFormat systemNumbers()
{
    return NumberFormat(QLocale::system().decimalPoint().toStdString());
}

constexpr int childTimeoutMs = 120'000;
constexpr const char *frameKey = "first_idle_frame_ns";
constexpr const char *peakKey = "peak_rss_bytes";

qsizetype childWidgets(const Tvitesse &w)
{
    return w.findChildren<QWidget *>().size();
}

// Widgets and everything else the window owns: documents, timers, layouts.
qsizetype childObjects(const Tvitesse &w)
{
    return w.findChildren<QObject *>().size();
}

} // namespace

StartupResult measureStartup(int runs)
{
    StartupResult r;
    std::vector<double> startupMs;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const Clock::time_point launch = Clock::now();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--lesson-child")});
        if (!child.waitForFinished(childTimeoutMs) || child.exitStatus() != QProcess::NormalExit ||
            child.exitCode() != 0)
            throw std::runtime_error("the lesson child failed");
        long long frameNs = 0;
        long long peakBytes = 0;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() != 2)
                continue;
            if (words[0] == frameKey)
                frameNs = words[1].toLongLong();
            else if (words[0] == peakKey)
                peakBytes = words[1].toLongLong();
        }
        if (frameNs == 0 || peakBytes == 0)
            throw std::runtime_error("the lesson child said nothing");
        constexpr double nsPerMs = 1e6;
        startupMs.push_back(double(frameNs - monotonicNs(launch)) / nsPerMs);
        r.peakRssMb = std::max(r.peakRssMb, double(peakBytes) / bytesPerMiB);
    }
    r.startupMs = median(startupMs);
    r.runs = runs;
    return r;
}

int lessonChild(QApplication &app)
{
    // The program's own start-up: the window, shown maximised, then the
    // event loop, where the timer's first tick draws the idle picture.
    Tvitesse w(systemNumbers());
    w.showMaximized();
    long long frameNs = 0;
    QObject::connect(w.Timer1, &QTimer::timeout, &w, [&] {
        if (frameNs != 0)
            return;
        // The tick has drawn; the frame counts once its repaint is done.
        QCoreApplication::processEvents();
        frameNs = monotonicNs(Clock::now());
        app.quit();
    });
    QApplication::exec();
    w.Timer1->stop();
    Driver(w).playLesson();
    std::printf("%s %lld\n%s %zu\n", frameKey, frameNs, peakKey, peakResidentBytes());
    return 0;
}

PacingResult measurePacing(QApplication &app)
{
    constexpr int fastestIntervalMs = 10;
    constexpr int pageMenuEntry = 2;
    constexpr int watchdogMs = 30'000;

    Tvitesse w(systemNumbers());
    w.showMaximized();
    Driver driver(w);
    driver.choose(pageMenuEntry);
    driver.chooseMode(Mode::Continuous);
    w.ScrollBar1->setValue(fastestIntervalMs);

    // The press comes right after a tick that already runs at 10 ms, as a
    // person's would land between two ticks; from then on every tick is the
    // timer's own.
    std::vector<Clock::time_point> beats;
    bool finished = false;
    QObject::connect(w.Timer1, &QTimer::timeout, &w, [&] {
        if (beats.empty()) {
            if (w.Timer1->interval() != fastestIntervalMs)
                return;
            driver.start();
            beats.push_back(Clock::now());
            return;
        }
        beats.push_back(Clock::now());
        if (driver.nextFrame().page == Page::None) {
            finished = true;
            app.quit();
        }
    });
    QTimer::singleShot(watchdogMs, &app, &QApplication::quit);
    QApplication::exec();
    w.Timer1->stop();
    if (!finished)
        throw std::runtime_error("the paced run did not reach its end tick");

    PacingResult r;
    r.ticks = int(beats.size()) - 1;
    r.runMs = msBetween(beats.front(), beats.back());
    r.idealMs = double(r.ticks * fastestIntervalMs);
    std::vector<double> intervals;
    for (std::size_t i = 1; i < beats.size(); ++i)
        intervals.push_back(msBetween(beats[i - 1], beats[i]));
    constexpr double p99 = 99.0;
    r.p99IntervalMs = percentile(intervals, p99);
    return r;
}

SoakResult soak(int lessons)
{
    constexpr int settledLessons = 50;
    constexpr int progressEvery = 50;

    Tvitesse w(systemNumbers());
    w.Timer1->stop(); // the lessons tick as fast as they draw
    w.showMaximized();
    QCoreApplication::processEvents();
    Driver driver(w);
    SoakResult r;
    r.runs = lessons;
    for (int i = 1; i <= lessons; ++i) {
        driver.playLesson();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (i == 1) {
            r.widgetsStart = childWidgets(w);
            r.objectsStart = childObjects(w);
        }
        if (i == std::min(settledLessons, lessons))
            r.rssAfter50Mb = double(residentBytes()) / bytesPerMiB;
        if (i % progressEvery == 0)
            std::fprintf(stderr, "lodrix-bench: %d lessons, %.1f MiB resident, %.1f MiB allocated\n", i,
                         double(residentBytes()) / bytesPerMiB, double(allocatedBytes()) / bytesPerMiB);
    }
    r.rssAfterLastMb = double(residentBytes()) / bytesPerMiB;
    r.widgetsEnd = childWidgets(w);
    r.objectsEnd = childObjects(w);
    r.commentaryErrors = driver.commentaryErrors();
    r.firstCommentaryError = driver.firstCommentaryError();
    return r;
}

} // namespace lodrix::bench
