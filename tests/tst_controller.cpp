// The controller: what every user action does to the counters, the model and
// the controls, driven as a shell drives it, with no window.

#include "engine/controller.h"
#include "engine/runcsv.h"

#include <QTest>

#include <charconv>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace lodrix;

namespace {

// A shell that only remembers what it was told.
struct FakeShell final : ControllerShell {
    struct State {
        bool enabled = false;
        bool visible = false;
    };
    std::map<Control, State> controls{{Control::Button1, {true, true}}};
    int buttonsMade = 0;
    std::string commentary;

    void switchControl(Control c, bool on) override { controls[c] = {on, on}; }
    void hideControl(Control c) override { controls[c].visible = false; }
    void createCommentaryButton() override { ++buttonsMade; }
    void showCommentary(const char *name) override
    {
        controls[Control::RichEdit2].visible = true;
        commentary = name;
    }
    bool on(Control c) { return controls[c].enabled && controls[c].visible; }
    bool off(Control c) { return !controls[c].enabled && !controls[c].visible; }
};

} // namespace

class TestController : public QObject {
    Q_OBJECT

    FakeShell shell;
    RecordingCanvas window{Surface::Window};
    RecordingCanvas scene{Surface::Scene};
    RecordingCanvas anim{Surface::Anim};
    std::unique_ptr<Controller> c;

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            c->Timer1Timer();
    }
    // Whether the last call on the window was the face-coloured box over the
    // text area, which erases the plots and the texts.
    bool textAreaCleared() const
    {
        if (window.ops.empty())
            return false;
        const Op &op = window.ops.back();
        return op.kind == Op::Kind::Rect && op.points == std::vector<Point>{{0, 250}, {800, 490}} &&
               op.pen.color == clFace && op.brush.color == clFace;
    }

private slots:
    void init()
    {
        shell = FakeShell();
        window.ops.clear();
        c = std::make_unique<Controller>(shell, Surfaces{window, scene, anim}, NumberFormat(","));
    }

    // A menu choice stops the run, clears the plots and the arm, keeps the
    // chosen mode, and offers the button that mode starts with. Choosing the
    // running entry again does the same.
    void menuChoice_data()
    {
        QTest::addColumn<int>("modeBefore"); // -1: none chosen yet
        QTest::addColumn<int>("entry");
        QTest::addColumn<bool>("modeList");
        QTest::addColumn<bool>("startButton"); // else "Incrémenter la période"
        QTest::addRow("presentation after step mode") << 1 << 0 << false << true;
        QTest::addRow("open loop") << -1 << 1 << false << true;
        QTest::addRow("closed loop in step mode") << 1 << 2 << true << false;
        QTest::addRow("closed loop, continuous") << 0 << 4 << true << true;
        QTest::addRow("closed loop, no mode yet") << -1 << 4 << true << true;
        QTest::addRow("the running entry again") << 0 << 3 << true << true;
    }
    void menuChoice()
    {
        QFETCH(int, modeBefore);
        QFETCH(int, entry);
        QFETCH(bool, modeList);
        QFETCH(bool, startButton);
        c->choix(3);
        if (modeBefore >= 0)
            c->choixbis(modeBefore);
        c->Button1Click();
        tick(3);
        c->animation().periode = 5;
        c->model().theta = 0.3;
        c->choix(entry);
        QCOMPARE(c->animation().rubrique, entry);
        QCOMPARE(c->animation().compteur, 0);
        QCOMPARE(c->animation().periode, entry >= 2 ? 0 : 5);
        QCOMPARE(c->animation().modeAnimation, modeBefore);
        QCOMPARE(c->model().theta, 0.0);
        QVERIFY(textAreaCleared());
        QVERIFY(modeList ? shell.on(Control::ListBox2) && shell.on(Control::Label6)
                         : shell.off(Control::ListBox2) && shell.off(Control::Label6));
        QVERIFY(startButton ? shell.on(Control::Button1) && shell.off(Control::Button2)
                            : shell.off(Control::Button1) && shell.on(Control::Button2));
    }

    void modes()
    {
        c->choix(2);
        c->choixbis(1);
        QVERIFY(shell.off(Control::Button1) && shell.on(Control::Button2));
        c->Button2Click();
        c->Button2Click();
        c->choixbis(0);
        QCOMPARE(c->animation().modeAnimation, 0);
        QCOMPARE(c->animation().compteur, 0);
        QCOMPARE(c->animation().periode, 2); // "En continu" leaves the period reached
        QVERIFY(shell.on(Control::Button1) && shell.off(Control::Button2));
    }

    void startTable_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("compteur");
        QTest::addRow("nothing chosen") << -1 << 0;
        QTest::addRow("presentation") << 0 << -1;
        QTest::addRow("open loop") << 1 << 1;
        QTest::addRow("proportional") << 2 << 1001;
        QTest::addRow("pole compensation") << 3 << 2001;
        QTest::addRow("two-step") << 4 << 3001;
    }
    void startTable()
    {
        QFETCH(int, entry);
        QFETCH(int, compteur);
        c->choix(entry);
        c->animation().periode = 4;
        c->Button1Click();
        QCOMPARE(c->animation().compteur, compteur);
        QCOMPARE(c->animation().periode, entry >= 2 ? 0 : 4);
        QVERIFY(textAreaCleared());
    }

    // The end of a run shows "Commentaires"; the press after period 8
    // clears the plots, hides it and plays period 1. The shell is asked for
    // the button once, however many runs end.
    void commentaryButton()
    {
        c->choix(3);
        c->choixbis(1);
        for (int k = 1; k <= 8; ++k) {
            c->Button2Click();
            tick(45);
        }
        QCOMPARE(c->animation().compteur, 2320);
        QCOMPARE(c->animation().B1existe, 1);
        QVERIFY(shell.on(Control::B1));
        c->Button2Click();
        QVERIFY(shell.off(Control::B1));
        QVERIFY(textAreaCleared());
        QCOMPARE(c->animation().compteur, 2001);
        QCOMPARE(c->animation().periode, 1);
        QCOMPARE(c->model().thetaPrec, 0.0);

        c->choixbis(0);
        for (int run = 0; run < 2; ++run) {
            c->Button1Click();
            QVERIFY(shell.off(Control::B1));
            tick(330);
            QVERIFY(shell.on(Control::B1));
        }
        QCOMPARE(shell.buttonsMade, 1);

        c->B1Click();
        QCOMPARE(shell.commentary, std::string("lodrix2.rtf"));
        c->choix(1);
        QVERIFY(!shell.controls[Control::RichEdit2].visible);
        shell.commentary.clear();
        c->B1Click(); // no commentary outside the closed-loop entries
        QVERIFY(shell.commentary.empty());
    }

    void periodPressSetsTheStartAngle()
    {
        c->choix(2);
        c->choixbis(1);
        c->Button2Click();
        tick(10);
        c->model().theta = 0.2;
        c->Button2Click(); // in the middle of period 1
        QCOMPARE(c->animation().compteur, 1040);
        QCOMPARE(c->model().thetaPrec, 0.027);
        QCOMPARE(c->model().theta, 0.0);
    }

    void pressOutsideStepModeOnlyResets()
    {
        c->choix(2);
        c->Button1Click();
        tick(20);
        c->model().theta = 0.2;
        c->Button2Click(); // hidden for a person, but the handler must be safe
        QCOMPARE(c->animation().compteur, 1021);
        QCOMPARE(c->model().theta, 0.0);
        QCOMPARE(c->model().thetaPrec, 0.0);
    }

    // P holds any running page: ticks draw and change nothing; N draws
    // exactly the frame one tick would; P again lets it go on; a start
    // releases it.
    void pause_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("mode");
        QTest::addRow("presentation") << 0 << 0;
        QTest::addRow("open loop") << 1 << 0;
        QTest::addRow("closed loop, continuous") << 3 << 0;
        QTest::addRow("closed loop, step by step") << 2 << 1;
    }
    void pause()
    {
        QFETCH(int, entry);
        QFETCH(int, mode);
        c->choix(entry);
        c->choixbis(mode);
        mode == 1 ? c->Button2Click() : c->Button1Click();
        tick(5);
        const AnimationState before = c->animation();
        c->togglePause();
        QVERIFY(c->paused());
        window.ops.clear();
        scene.ops.clear();
        tick(20);
        QCOMPARE(c->animation().compteur, before.compteur);
        QVERIFY(window.ops.empty() && scene.ops.empty());
        const std::size_t framesBefore = c->run().size();

        // N draws the very frame the next tick would have drawn.
        AnimationState expected = before;
        const Frame next = dispatchTick(expected);
        QCOMPARE(c->stepFrame(), next);
        QCOMPARE(c->animation().compteur, expected.compteur);
        QVERIFY(!scene.ops.empty());
        QVERIFY(c->paused());
        QCOMPARE(c->run().size(), framesBefore + 1);

        c->togglePause();
        tick();
        QVERIFY(c->animation().compteur != expected.compteur);
        c->togglePause();
        c->Button1Click();
        QVERIFY(!c->paused());
        c->togglePause();
        c->choix(entry);
        QVERIFY(!c->paused());
    }

    // The export of a closed-loop run: a row per drawn frame, with the model
    // values after that frame, every double read back exactly.
    void runCsvRows()
    {
        FakeShell otherShell;
        RecordingCanvas w2, s2, a2;
        Controller twin(otherShell, {w2, s2, a2}, NumberFormat(","));
        std::vector<ModelState> after;
        for (Controller *x : {c.get(), &twin}) {
            x->choix(2);
            x->Button1Click();
        }
        for (int i = 0; i < 330; ++i) {
            c->Timer1Timer();
            if (twin.Timer1Timer().page != Page::None)
                after.push_back(twin.model());
        }
        const std::string csv = runCsv(c->run());
        std::istringstream lines(csv);
        std::string line;
        std::getline(lines, line);
        QCOMPARE(line, std::string("tick,periode,E,X,Ep,Epu,U1,U,Omega1,theta,thetaAff,V"));
        std::size_t row = 0;
        for (; std::getline(lines, line); ++row) {
            QVERIFY(row < after.size());
            std::vector<double> fields;
            for (std::size_t at = 0; at <= line.size();) {
                const std::size_t comma = std::min(line.find(',', at), line.size());
                double v = 0;
                QVERIFY(std::from_chars(line.data() + at, line.data() + comma, v).ec == std::errc());
                fields.push_back(v);
                at = comma + 1;
            }
            const ModelState &m = after[row];
            const std::vector<double> expected{double(row + 2), 0,    double(m.E), double(m.X), double(m.Ep),
                                               double(m.Epu),   m.U1, m.U,         m.Omega1,    m.theta,
                                               m.thetaAff,      m.V};
            QCOMPARE(fields, expected);
        }
        QCOMPARE(row, std::size_t(319)); // page ticks 2 to 320
    }

    // The scroll bar's position becomes the interval at the next tick, within
    // the bar's range.
    void interval()
    {
        QCOMPARE(c->interval(), defaultIntervalMs);
        c->setScrollPosition(10);
        QCOMPARE(c->interval(), defaultIntervalMs);
        tick();
        QCOMPARE(c->interval(), 10);
        c->setScrollPosition(1000);
        tick();
        QCOMPARE(c->interval(), maxIntervalMs);
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
