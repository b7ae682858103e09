// The three closed-loop pages, played tick by tick through the dispatcher as
// the window plays them, continuously or one period per press.

#include "engine/animation.h"
#include "pages/pages.h"
#include "render/arm.h"
#include "render/canvas.h"
#include "render/qt/colors.h"
#include "render/qt/qpaintercanvas.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace lodrix;

Q_DECLARE_METATYPE(lodrix::Point)

namespace {

enum Mode { continuous = 0, stepByStep = 1 };

using DrawFrameFn = void (*)(FrameContext &, int);

DrawFrameFn pageOf(Page page)
{
    switch (page) {
    case Page::Proportional:
        return DrawProportionalFrame;
    case Page::PoleCompensation:
        return DrawPoleCompensationFrame;
    case Page::TwoStep:
        return DrawTwoStepFrame;
    default:
        return nullptr;
    }
}

// Surfaces of any canvas type, the model and the counters of one run.
template<typename C> struct Run {
    explicit Run(int entry, Mode mode, std::unique_ptr<C> w, std::unique_ptr<C> s, std::unique_ptr<C> a)
        : window(std::move(w)), scene(std::move(s)), anim(std::move(a))
    {
        state.rubrique = entry;
        state.modeAnimation = mode;
        if (mode == continuous)
            startPage(state);
    }

    std::unique_ptr<C> window, scene, anim;
    ModelState model;
    NumberFormat numbers{","};
    FrameContext ctx{{*window, *scene, *anim}, model, numbers};
    AnimationState state;
    std::vector<int> drawn;
    OpLog windowHistory; // every window call of the run, when recording

    // Plays ticks until page tick `last` is drawn. In step-by-step mode a
    // halted page gets the press of "Incrémenter la période", which zeroes
    // theta and loads the period's start angle. Recording canvases then hold
    // only the calls of that last frame.
    void playTo(int last)
    {
        for (int guard = 0; guard < 2000; ++guard) {
            clearOps();
            const Frame f = dispatchTick(state);
            const DrawFrameFn draw = pageOf(f.page);
            if (!draw) {
                QVERIFY2(state.modeAnimation == stepByStep, "a continuous run halted early");
                const PeriodAdvance press = advancePeriod(state);
                QVERIFY(press.applied);
                model.theta = 0.0;
                model.thetaPrec = press.thetaPrec;
                continue;
            }
            draw(ctx, f.tick);
            drawn.push_back(f.tick);
            keepHistory();
            if (f.tick == last)
                return;
        }
        QFAIL("page tick never drawn");
    }

private:
    void clearOps()
    {
        if constexpr (std::is_same_v<C, RecordingCanvas>) {
            window->ops.clear();
            scene->ops.clear();
            anim->ops.clear();
        }
    }
    void keepHistory()
    {
        if constexpr (std::is_same_v<C, RecordingCanvas>)
            windowHistory.insert(windowHistory.end(), window->ops.begin(), window->ops.end());
    }
};

using Recorded = Run<RecordingCanvas>;

Recorded recorded(int entry, Mode mode)
{
    return Recorded(entry, mode, std::make_unique<RecordingCanvas>(Surface::Window),
                    std::make_unique<RecordingCanvas>(Surface::Scene),
                    std::make_unique<RecordingCanvas>(Surface::Anim));
}

// The value row's columns, by the x of their text.
constexpr int valueRowY = 140;
enum Column {
    colE = 10,
    colEp = 90,
    colEpu = 200,
    colU1 = 290,
    colU = 400,
    colOmega = 470,
    colTheta = 590,
    colV = 670,
    colX = 755
};

QString valueAt(const OpLog &scene, int x)
{
    for (const Op &op : scene)
        if (op.kind == Op::Kind::Text && op.points.front() == Point{x, valueRowY})
            return QString::fromStdString(op.text);
    return QStringLiteral("<none>");
}

QStringList valueRow(const OpLog &scene)
{
    QStringList row;
    for (int x : {colE, colEp, colEpu, colU1, colU, colOmega, colTheta, colV, colX})
        row << valueAt(scene, x);
    return row;
}

const Op *findText(const OpLog &ops, std::string_view prefix)
{
    const auto it = std::find_if(ops.begin(), ops.end(), [&](const Op &op) {
        return op.kind == Op::Kind::Text && std::string_view(op.text).starts_with(prefix);
    });
    return it == ops.end() ? nullptr : &*it;
}

bool isLine(const Op &op, Point from, Point to)
{
    return op.kind == Op::Kind::Line && op.points[0] == from && op.points[1] == to;
}

// Index of the first line of a colour leaving x (any y), or -1.
int lineFrom(const OpLog &ops, Color color, int x)
{
    for (std::size_t i = 0; i < ops.size(); ++i)
        if (ops[i].kind == Op::Kind::Line && ops[i].pen.color == color && ops[i].points[0].x == x)
            return int(i);
    return -1;
}

int textIndex(const OpLog &ops, std::string_view text, Point at)
{
    for (std::size_t i = 0; i < ops.size(); ++i)
        if (ops[i].kind == Op::Kind::Text && ops[i].text == text && ops[i].points[0] == at)
            return int(i);
    return -1;
}

} // namespace

class TestClosedLoop : public QObject {
    Q_OBJECT
private slots:
    // The numbers the lesson texts quote, and where the two modes part. The
    // expected row lists E Ep Epu U1 U speed angle V X; "*" is not checked.
    void valueRowAtChosenTicks_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("tick");
        QTest::addColumn<QString>("expected");
        const int c = continuous;
        const int s = stepByStep;
        QTest::addRow("2 continuous 39") << 2 << c << 39 << "* * * * * 46 0,03 0,09 18";
        QTest::addRow("2 continuous 79") << 2 << c << 79 << "* * * * * 59 0,08 0,27 55";
        QTest::addRow("2 continuous 319") << 2 << c << 319 << "* * * * * 9 0,28 0,9 185";
        QTest::addRow("2 step 41") << 2 << s << 41 << "* * * * * * 0,03 * *";
        QTest::addRow("2 step 319") << 2 << s << 319 << "* * * * * * 0,29 0,96 197";
        QTest::addRow("3 continuous 39") << 3 << c << 39 << "200 * * * * 126 0,07 0,24 50";
        QTest::addRow("3 continuous 79") << 3 << c << 79 << "* * 516 * * 94 0,18 0,6 124";
        QTest::addRow("3 continuous 120") << 3 << c << 120 << "* * 12 0 0 * * * *";
        QTest::addRow("3 continuous 199") << 3 << c << 199 << "* * -14 0 0 * * * *";
        QTest::addRow("3 continuous 200") << 3 << c << 200 << "* * -9 * * 5 0,29 0,98 200";
        QTest::addRow("3 continuous 239") << 3 << c << 239 << "* * * * * 1 * * *";
        QTest::addRow("3 continuous 240") << 3 << c << 240 << "* * -5 * * 0 0,29 0,98 200";
        QTest::addRow("3 step 239") << 3 << s << 239 << "* * * * * * 0,29 0,98 200";
        QTest::addRow("4 continuous 39") << 4 << c << 39 << "140 140 1892 9,3 9,3 176 0,1 0,34 70";
        QTest::addRow("4 continuous 79") << 4 << c << 79 << "* * -112 -0,5 * 54 0,2 * 138";
        QTest::addRow("4 step 79") << 4 << s << 79 << "* * * * * * * * 140";
        QTest::addRow("4 continuous 119") << 4 << c << 119 << "* * * * * -40 * * 140";
        QTest::addRow("4 continuous 320") << 4 << c << 320 << "140 0 93 0,5 0,5 6 0,21 0,68 140";
    }
    void valueRowAtChosenTicks()
    {
        QFETCH(int, entry);
        QFETCH(int, mode);
        QFETCH(int, tick);
        QFETCH(QString, expected);

        Recorded run = recorded(entry, Mode(mode));
        run.playTo(tick);
        const QStringList shown = valueRow(run.scene->ops);
        const QStringList wanted = expected.split(' ');
        QCOMPARE(wanted.size(), shown.size());
        for (int i = 0; i < shown.size(); ++i)
            if (wanted[i] != "*")
                QCOMPARE(shown[i], wanted[i]);
    }

    // The end tick draws the arm with period 8's law and the conclusions, adds
    // nothing to the plots and leaves the model as tick 319 left it.
    void endTickFrame_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<double>("armAngle");
        QTest::addColumn<QString>("windowConclusion");
        QTest::addColumn<QString>("sceneConclusion");
        QTest::addColumn<int>("sceneSize"); // the first two keep the fixed texts' font

        QTest::addRow("proportional") << 2 << -1.7167 << "En Régime Permanent (pas tout à fait visisible ici)"
                                      << "On peut chercher à améliorer" << 10;
        QTest::addRow("pole compensation") << 3 << -1.69 << "En Régime Permanent :     U1=U=0"
                                           << "La réponse est un peu plus rapide" << 10;
        QTest::addRow("two-step") << 4 << -1.605 + 0.00074 * std::sin(-3.2)
                                  << "atteint au bout de 2 périodes..."
                                  << "Cette réponse ne donne pas de résultat satisfaisant." << 8;
    }
    void endTickFrame()
    {
        QFETCH(int, entry);
        QFETCH(double, armAngle);
        QFETCH(QString, windowConclusion);
        QFETCH(QString, sceneConclusion);
        QFETCH(int, sceneSize);

        Recorded run = recorded(entry, continuous);
        run.playTo(319);
        const QStringList before = valueRow(run.scene->ops);
        QVERIFY(!findText(run.window->ops, windowConclusion.toStdString()));
        run.playTo(320);

        QCOMPARE(valueRow(run.scene->ops), before);
        QVERIFY(findText(run.window->ops, windowConclusion.toStdString()));
        const Op *scene = findText(run.scene->ops, sceneConclusion.toStdString());
        QVERIFY(scene);
        QCOMPARE(scene->font, (Font{FontFace::SansSerif, sceneSize, clBlue, false}));

        // Only the frame's blue axes: no trace, staircase or note.
        for (const Op &op : run.window->ops)
            if (op.kind == Op::Kind::Line)
                QCOMPARE(op.pen.color, clBlue);
        QVERIFY(!findText(run.window->ops, "Régime permanent"));

        const auto arm = std::find_if(run.anim->ops.begin(), run.anim->ops.end(),
                                      [](const Op &op) { return op.kind == Op::Kind::Polygon; });
        QVERIFY(arm != run.anim->ops.end());
        const ArmTip tip = armTip(armAngle);
        QCOMPARE(arm->points[2], (Point{tip.x, tip.yTop}));
        QCOMPARE(arm->points[3], (Point{tip.x, tip.yBottom}));
        QCOMPARE(run.state.compteur, pageBase(entry) + endTick);
    }

    // Each explanation is redrawn on every tick of its window only, and leaves
    // the window font at 10 points in "MS sans Serif".
    void explanationWindows_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("tick");
        QTest::addColumn<bool>("first");
        QTest::addColumn<bool>("second");
        for (int entry : {2, 3, 4}) {
            QTest::addRow("%d tick 2", entry) << entry << 2 << true << false;
            QTest::addRow("%d tick 39", entry) << entry << 39 << true << false;
            QTest::addRow("%d tick 40", entry) << entry << 40 << false << true;
            QTest::addRow("%d tick 79", entry) << entry << 79 << false << true;
            QTest::addRow("%d tick 80", entry) << entry << 80 << false << false;
        }
    }
    void explanationWindows()
    {
        QFETCH(int, entry);
        QFETCH(int, tick);
        QFETCH(bool, first);
        QFETCH(bool, second);
        Recorded run = recorded(entry, continuous);
        run.playTo(tick);
        QCOMPARE(findText(run.window->ops, "Première Période") != nullptr, first);
        QCOMPARE(findText(run.window->ops, "Deuxième Période") != nullptr, second);
        if (first || second) {
            QCOMPARE(run.window->font.size, 10);
            QCOMPARE(run.window->font.face, FontFace::SansSerif);
        }
    }

    // The Greek letters of the first explanation fall in the blank runs left
    // for them, in Symbol at the sizes the lesson uses.
    void explanationGreekLetters()
    {
        Recorded run = recorded(2, continuous);
        run.playTo(39);
        const OpLog &ops = run.window->ops;
        const int omega = textIndex(ops, "W1", {568, 385});
        const int theta = textIndex(ops, "q", {260, 396});
        QVERIFY(omega >= 0 && theta >= 0);
        QCOMPARE(ops[omega].font.face, FontFace::Symbol);
        QCOMPARE(ops[theta].font.size, 12);
        QCOMPARE(ops[omega].font.size, 8);
        QVERIFY(findText(ops, "Première Période")->text.ends_with("La vitesse      évolue"));
    }

    // Step mode draws no page tick that starts a period, so those columns of
    // every trace stay empty; a continuous run draws them all.
    void stepModeLeavesBoundaryColumnsEmpty_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addRow("proportional") << 2;
        QTest::addRow("pole compensation") << 3;
        QTest::addRow("two-step") << 4;
    }
    void stepModeLeavesBoundaryColumnsEmpty()
    {
        QFETCH(int, entry);
        for (Mode mode : {continuous, stepByStep}) {
            Recorded run = recorded(entry, mode);
            run.playTo(endTick);
            for (int boundary = ticksPerPeriod; boundary < endTick; boundary += ticksPerPeriod) {
                const bool drawn = std::count(run.drawn.begin(), run.drawn.end(), boundary) == 1;
                QCOMPARE(drawn, mode == continuous);
                // The staircase pixel and the speed segment of that tick.
                const bool pixel =
                    std::any_of(run.windowHistory.begin(), run.windowHistory.end(), [&](const Op &op) {
                        return op.kind == Op::Kind::Line && op.pen.color == clGreen &&
                               op.points[0].x == boundary + 49 && op.points[1].x == boundary + 50;
                    });
                QCOMPARE(pixel, mode == continuous);
                QCOMPARE(lineFrom(run.windowHistory, clBlack, boundary + 399) >= 0, mode == continuous);
            }
            QCOMPARE(run.drawn.back(), endTick);
            QVERIFY(findText(run.window->ops, "Régime") == nullptr);
        }
    }

    // Period 7 of the pole-compensation page sets the label colour but writes
    // no label; period 8 writes "0V".
    void poleCompensationLateLabels()
    {
        Recorded run = recorded(3, continuous);
        run.playTo(250);
        QVERIFY(!findText(run.window->ops, "-0.04V"));
        QVERIFY(!findText(run.window->ops, "0V"));
        QCOMPARE(run.window->font.color, clGreen);
        run.playTo(290);
        QCOMPARE(textIndex(run.window->ops, "0V", {339, 355}) >= 0, true);
    }

    // Chosen staircase pieces and trace segments, the trace ends checked by
    // hand against the page laws.
    void plotPieces_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("tick");
        QTest::addColumn<uint>("color");
        QTest::addColumn<Point>("from");
        QTest::addColumn<Point>("to");

        // The lead-in at the zero line and the first rise, on every tick of period 1.
        QTest::addRow("2 lead-in") << 2 << 2 << uint(clGreen) << Point{40, 369} << Point{49, 369};
        QTest::addRow("2 first rise") << 2 << 30 << uint(clGreen) << Point{49, 369} << Point{49, 270};
        QTest::addRow("2 period 8 level") << 2 << 300 << uint(clGreen) << Point{349, 362} << Point{350, 362};
        // The period-6 step stops at 370 while its pixels sit at 369.
        QTest::addRow("3 period 6 step") << 3 << 220 << uint(clGreen) << Point{249, 371} << Point{249, 370};
        QTest::addRow("3 period 6 level") << 3 << 220 << uint(clGreen) << Point{269, 369} << Point{270, 369};
        QTest::addRow("3 period 5 below axis")
            << 3 << 170 << uint(clGreen) << Point{219, 371} << Point{220, 371};
        QTest::addRow("4 X reaches 140") << 4 << 81 << uint(clBlack) << Point{129, 335} << Point{129, 301};
        QTest::addRow("4 X stays at 301") << 4 << 319 << uint(clBlack) << Point{368, 301} << Point{369, 301};
        QTest::addRow("4 E rise") << 4 << 10 << uint(clRed) << Point{49, 369} << Point{49, 300};
        QTest::addRow("4 E level") << 4 << 319 << uint(clRed) << Point{368, 300} << Point{369, 300};
        QTest::addRow("4 U below axis") << 4 << 100 << uint(clGreen) << Point{149, 404} << Point{150, 404};
        // 369 - 140 (1 - e^(-1/60.01)) = 366.69 and at n = 1 the rise is still 0.
        QTest::addRow("2 speed rises from the axis")
            << 2 << 2 << uint(clBlack) << Point{401, 369} << Point{402, 366};
        // Later periods join f(n + 1) to f(n): 305 - 0.45 * 3 and 305 - 0.45 * 2.
        QTest::addRow("2 speed period 2") << 2 << 41 << uint(clBlack) << Point{440, 303} << Point{441, 304};
        // The first period's position runs one pixel right of the speed.
        QTest::addRow("2 position period 1") << 2 << 2 << uint(clRed) << Point{402, 369} << Point{403, 369};
        QTest::addRow("4 position period 1") << 4 << 2 << uint(clRed) << Point{402, 369} << Point{403, 368};
        // Later positions are one flat pixel: 362 - 0.4 * 11 = 357.6.
        QTest::addRow("2 position period 2") << 2 << 50 << uint(clRed) << Point{449, 357} << Point{450, 357};
        // From tick 200 speed on the axis and position flat at 307.
        QTest::addRow("3 speed flat") << 3 << 250 << uint(clBlack) << Point{649, 369} << Point{650, 369};
        QTest::addRow("3 position flat") << 3 << 250 << uint(clRed) << Point{649, 307} << Point{650, 307};
        // Two-step, period 3: f(n) then f(n - 1): 343 + 1.225 * 21 and * 20.
        QTest::addRow("4 speed period 3") << 4 << 100 << uint(clBlack) << Point{499, 368} << Point{500, 367};
        // Period 1 joins f(n - 2) to f(n - 1): the rise is 0 at n = 0.
        QTest::addRow("4 speed period 1") << 4 << 2 << uint(clBlack) << Point{401, 369} << Point{402, 366};
        // Two-step position from period 2 joins g(n) to g(n - 1): 327 - 1.12 * 11 and * 10.
        QTest::addRow("4 position period 2") << 4 << 50 << uint(clRed) << Point{449, 314} << Point{450, 315};
    }
    void plotPieces()
    {
        QFETCH(int, entry);
        QFETCH(int, tick);
        QFETCH(uint, color);
        QFETCH(Point, from);
        QFETCH(Point, to);
        Recorded run = recorded(entry, continuous);
        run.playTo(tick);
        const auto it = std::find_if(run.window->ops.begin(), run.window->ops.end(), [&](const Op &op) {
            return isLine(op, from, to) && op.pen.color == Color(color);
        });
        QVERIFY(it != run.window->ops.end());
        QCOMPARE(it->pen.width, 1);
    }

    // The two-step page draws its pieces in its own order: the set-point over
    // the code and the speed, its label over the position trace.
    void twoStepDrawingOrder_data()
    {
        QTest::addColumn<int>("tick");
        QTest::addRow("period 1") << 10;
        QTest::addRow("period 8") << 300;
    }
    void twoStepDrawingOrder()
    {
        QFETCH(int, tick);
        Recorded run = recorded(4, continuous);
        run.playTo(tick);
        const OpLog &ops = run.window->ops;
        const int u = lineFrom(ops, clGreen, tick + 49);
        const int x = lineFrom(ops, clBlack, tick + 49);
        const int speed = lineFrom(ops, clBlack, tick + 399);
        const int e = lineFrom(ops, clRed, tick + 49);
        const int position = lineFrom(ops, clRed, tick + (tick < 40 ? 400 : 399));
        QVERIFY(u >= 0 && u < x && x < speed && speed < e && e < position);
        if (tick < ticksPerPeriod) {
            QVERIFY(textIndex(ops, "140", {28, 295}) > position);
        } else {
            QVERIFY(textIndex(ops, "140", {28, 295}) < 0);
            const int notes = textIndex(ops, "Régime permanent", {695, 260});
            QVERIFY(speed < notes && notes < e);
            const auto dotted = std::find_if(ops.begin(), ops.end(), [](const Op &op) {
                return op.kind == Op::Kind::Line && op.pen.style == PenStyle::Dot;
            });
            QVERIFY(dotted != ops.end() && isLine(*dotted, {480, 283}, {680, 283}));
            QCOMPARE(run.window->pen.style, PenStyle::Solid);
            const int paren = textIndex(ops, "(q", {700, 290});
            QVERIFY(paren >= 0);
            QCOMPARE(ops[paren].font.face, FontFace::Symbol);
        }
    }

    // The steady-state notes come between the speed and the position segments,
    // on every tick of the last period only.
    void steadyStateNotes_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<Point>("notesAt");
        QTest::addRow("proportional") << 2 << Point{715, 270};
        QTest::addRow("pole compensation") << 3 << Point{715, 290};
    }
    void steadyStateNotes()
    {
        QFETCH(int, entry);
        QFETCH(Point, notesAt);
        Recorded run = recorded(entry, continuous);
        run.playTo(279);
        QVERIFY(!findText(run.window->ops, "V= O,98V"));
        for (int tick : {280, 319}) {
            run.playTo(tick);
            const OpLog &ops = run.window->ops;
            const int notes = textIndex(ops, "V= O,98V", notesAt);
            QVERIFY(notes >= 0);
            QVERIFY(lineFrom(ops, clBlack, tick + 399) < notes);
            QVERIFY(notes < lineFrom(ops, clRed, tick + 399));
            QCOMPARE(ops[notes].font.color, clRed);
        }
    }

    // The scene above the plots: the formula callout on two pages, the two-step
    // page's red "E", and the fixed texts after the value row.
    void sceneTexts_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("fixedText");
        QTest::addColumn<Point>("fixedAt");
        QTest::addRow("proportional") << 2 << QString() << "Un échelon de position" << Point{50, 30};
        QTest::addRow("pole compensation") << 3 << "Epu(kT) = 6.8*Ep(kT) -2.5*Ep((k-1)T)"
                                           << "Un échelon de position" << Point{30, 15};
        QTest::addRow("two-step") << 4 << "Epu(kT) = -1.19*Epu((k-1)T)"
                                  << "T=T1" << Point{630, 110};
    }
    void sceneTexts()
    {
        QFETCH(int, entry);
        QFETCH(QString, formula);
        QFETCH(QString, fixedText);
        QFETCH(Point, fixedAt);
        Recorded run = recorded(entry, continuous);
        run.playTo(100);
        const OpLog &ops = run.scene->ops;
        QCOMPARE(findText(ops, "Le calcul effectué") != nullptr, !formula.isEmpty());
        if (!formula.isEmpty())
            QVERIFY(findText(ops, formula.toStdString()));
        const Op *fixed = findText(ops, fixedText.toStdString());
        QVERIFY(fixed);
        QCOMPARE(fixed->points[0], fixedAt);
        QCOMPARE(fixed->font, (Font{FontFace::SansSerif, 10, clBlue, false}));
        // The value row in black, with its V unit at 700.
        const int x = textIndex(ops, valueAt(ops, colX).toStdString(), {colX, valueRowY});
        QCOMPARE(ops[x].font.color, clBlack);
        QVERIFY(textIndex(ops, "V", {700, valueRowY}) >= 0);
        QVERIFY(fixed > &*std::find_if(ops.begin(), ops.end(), [](const Op &op) {
                    return op.kind == Op::Kind::Text && op.points[0] == Point{colX, valueRowY};
                }));
    }

    // The painted end picture of a continuous run, at a few chosen pixels.
    void paintedEndPicture_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<uint>("color");
        QTest::addRow("2 staircase period 2") << 2 << QPoint(100, 279) << uint(clGreen);
        QTest::addRow("2 staircase rise") << 2 << QPoint(49, 300) << uint(clGreen);
        QTest::addRow("3 period 6 step") << 3 << QPoint(249, 371) << uint(clGreen);
        QTest::addRow("3 period 6 level") << 3 << QPoint(260, 369) << uint(clGreen);
        QTest::addRow("3 flat position") << 3 << QPoint(660, 307) << uint(clRed);
        QTest::addRow("4 X at 301") << 4 << QPoint(300, 301) << uint(clBlack);
        QTest::addRow("4 E at 300") << 4 << QPoint(300, 300) << uint(clRed);
        QTest::addRow("4 U below axis") << 4 << QPoint(150, 404) << uint(clGreen);
        QTest::addRow("4 boundary column painted") << 4 << QPoint(129, 300) << uint(clRed);
    }
    void paintedEndPicture()
    {
        QFETCH(int, entry);
        QFETCH(QPoint, pixel);
        QFETCH(uint, color);
        Run<QPainterCanvas> run(entry, continuous,
                                std::make_unique<QPainterCanvas>(Surface::Window, QSize(800, 500)),
                                std::make_unique<QPainterCanvas>(Surface::Scene, QSize(785, 225)),
                                std::make_unique<QPainterCanvas>(Surface::Anim, QSize(360, 140)));
        run.playTo(endTick);
        QCOMPARE(QColor(run.window->image().pixel(pixel)).rgb(), toQColor(Color(color)).rgb());
    }
};

QTEST_MAIN(TestClosedLoop)
#include "tst_closedloop.moc"
