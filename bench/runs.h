#pragma once
// Whole runs of the program: start-up and a full lesson in a child process,
// a lesson paced by the real timer, and many lessons in a row.

#include <QtGlobal>

#include <string>

class QApplication;

namespace lodrix::bench {

struct StartupResult {
    double startupMs = 0.0; // launch to the first idle frame painted, median of the runs
    double peakRssMb = 0.0; // the most resident during start-up and one full lesson, worst run
    int runs = 0;
};
// Starts `runs` children of this program in lesson-child mode, one at a time.
StartupResult measureStartup(int runs);

// The child's side: builds the window as the program does, waits for the
// timer's first tick to paint the idle picture, then plays a full lesson
// with direct ticks, and prints what measureStartup reads.
int lessonChild(QApplication &app);

struct PacingResult {
    double runMs = 0.0;   // the start press to the end tick
    double idealMs = 0.0; // the page's ticks times the interval
    double p99IntervalMs = 0.0;
    int ticks = 0;
};
// A closed-loop page straight through at the fastest setting, driven by the
// real timer in the event loop.
PacingResult measurePacing(QApplication &app);

struct SoakResult {
    int runs = 0;
    double rssAfter50Mb = 0.0; // after min(50, runs) lessons
    double rssAfterLastMb = 0.0;
    qsizetype widgetsStart = 0; // after the first lesson, once a "Commentaires" button exists
    qsizetype widgetsEnd = 0;
    qsizetype objectsStart = 0; // every QObject the window owns, widgets included
    qsizetype objectsEnd = 0;
    int commentaryErrors = 0; // commentaries that could not be opened
    std::string firstCommentaryError;
};
SoakResult soak(int lessons);

} // namespace lodrix::bench
