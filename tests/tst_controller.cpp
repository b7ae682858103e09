// The controller: what every user action does to the counters, the model and
// the controls, driven as a shell drives it, with no window.

#include "engine/runcsv.h"
#include "surfaces.h"

#include <QTest>

#include <memory>

using namespace lodrix;

class TestController : public QObject {
    Q_OBJECT

    std::unique_ptr<Screen<>> w;
    Controller *c = nullptr;
    FakeShell *shell = nullptr;

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            c->Timer1Timer();
    }
    // Whether the last call on the window was the face-coloured box over the
    // text area, which erases the plots and the texts.
    bool textAreaCleared() const
    {
        if (w->window.ops.empty())
            return false;
        const Op &op = w->window.ops.back();
        return op.kind == Op::Kind::Rect && op.points == std::vector<Point>{{0, 250}, {800, 490}} &&
               op.pen.color == clFace && op.brush.color == clFace;
    }

private slots:
    void init()
    {
        w = std::make_unique<Screen<>>();
        c = &w->c;
        shell = &w->shell;
    }

    // A menu choice stops the run, clears the plots and the arm, keeps the
    // chosen mode, and offers the button that mode starts with. Choosing the
    // running entry again does the same.
    void menuChoice_data()
    {
        // modeBefore -1: none chosen yet; startButton, else "Incrémenter la période".
        addColumns<int, int, bool, bool>({"modeBefore", "entry", "modeList", "startButton"});
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
        if (modeBefore >= 0) {
            // Five periods played step by step, then the mode chosen.
            c->choixbis(1);
            for (int k = 0; k < 5; ++k) {
                c->Button2Click();
                tick(45);
            }
            if (modeBefore != 1)
                c->choixbis(modeBefore);
        }
        if (modeBefore != 1)
            c->Button1Click();
        tick(3);
        const int periode = c->animation().periode;
        QVERIFY(c->model().theta != 0.0);
        c->choix(entry);
        QCOMPARE(c->animation().rubrique, entry);
        QCOMPARE(c->animation().compteur, 0);
        QCOMPARE(c->animation().periode, entry >= 2 ? 0 : periode);
        QCOMPARE(c->animation().modeAnimation, modeBefore);
        QCOMPARE(c->model().theta, 0.0);
        QVERIFY(textAreaCleared());
        QVERIFY(modeList ? shell->on(Control::ListBox2) && shell->on(Control::Label6)
                         : shell->off(Control::ListBox2) && shell->off(Control::Label6));
        QVERIFY(startButton ? shell->on(Control::Button1) && shell->off(Control::Button2)
                            : shell->off(Control::Button1) && shell->on(Control::Button2));
    }

    void modes()
    {
        c->choix(2);
        c->choixbis(1);
        QVERIFY(shell->off(Control::Button1) && shell->on(Control::Button2));
        c->Button2Click();
        c->Button2Click();
        c->choixbis(0);
        QCOMPARE(c->animation().modeAnimation, 0);
        QCOMPARE(c->animation().compteur, 0);
        QCOMPARE(c->animation().periode, 2); // "En continu" leaves the period reached
        QVERIFY(shell->on(Control::Button1) && shell->off(Control::Button2));
    }

    void startTable_data()
    {
        addColumns<int, int>({"entry", "compteur"});
        QTest::addRow("nothing chosen") << -1 << 0;
        QTest::addRow("presentation") << 0 << -1;
        QTest::addRow("open loop") << 1 << 1;
        QTest::addRow("closed loop") << 2 << 1001;
    }
    void startTable()
    {
        QFETCH(int, entry);
        if (entry >= 0) {
            // Four periods played step by step before the entry is chosen.
            c->choix(2);
            c->choixbis(1);
            for (int k = 0; k < 4; ++k)
                c->Button2Click();
            QCOMPARE(c->animation().periode, 4);
        }
        const int periode = c->animation().periode;
        c->choix(entry);
        c->Button1Click();
        QTEST(c->animation().compteur, "compteur");
        QCOMPARE(c->animation().periode, entry >= 2 ? 0 : periode);
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
        QVERIFY(shell->on(Control::B1));
        c->Button2Click();
        QVERIFY(shell->off(Control::B1));
        QVERIFY(textAreaCleared());

        c->choixbis(0);
        for (int run = 0; run < 2; ++run) {
            c->Button1Click();
            QVERIFY(shell->off(Control::B1));
            tick(330);
            QVERIFY(shell->on(Control::B1));
        }
        QCOMPARE(shell->buttonsMade, 1);

        c->B1Click();
        QCOMPARE(shell->commentary, std::string("lodrix2.rtf"));
        c->choix(1);
        QVERIFY(!shell->controls[Control::RichEdit2].visible);
        shell->commentary.clear();
        c->B1Click(); // no commentary outside the closed-loop entries
        QVERIFY(shell->commentary.empty());
    }

    // « Commentaires » pressed again closes the commentary, as Esc and the
    // box's close control do; closed, the next press opens it again.
    void commentaryCloses()
    {
        c->choix(3);
        c->choixbis(0);
        c->Button1Click();
        tick(330);
        const auto shown = [this] {
            return shell->controls[Control::RichEdit2].visible && c->control(Control::RichEdit2).visible;
        };
        c->closeCommentary(); // nothing shown: nothing to close
        QVERIFY(!shown());
        c->B1Click();
        QVERIFY(shown());
        c->B1Click();
        QVERIFY(!shown());
        shell->commentary.clear();
        c->B1Click();
        QVERIFY(shown());
        QCOMPARE(shell->commentary, std::string("lodrix2.rtf"));
        c->closeCommentary();
        QVERIFY(!shown());
        QVERIFY(shell->on(Control::B1)); // the button stays for the next time
    }

    // "Incrémenter la période" in the middle of period 1 sets the start angle
    // of period 2; outside step mode, where it is hidden but must be safe, it
    // only resets the arm.
    void periodPress_data()
    {
        addColumns<int, int, int, double>({"mode", "ticks", "compteur", "thetaPrec"});
        QTest::addRow("step by step") << 1 << 10 << 1040 << 0.027;
        QTest::addRow("no mode chosen") << -1 << 20 << 1021 << 0.0;
    }
    void periodPress()
    {
        QFETCH(int, mode);
        QFETCH(int, ticks);
        c->choix(2);
        c->choixbis(mode);
        mode == 1 ? c->Button2Click() : c->Button1Click();
        tick(ticks);
        QVERIFY(c->model().theta != 0.0);
        c->Button2Click();
        QTEST(c->animation().compteur, "compteur");
        QTEST(c->model().thetaPrec, "thetaPrec");
        QCOMPARE(c->model().theta, 0.0);
    }

    // P holds any running page: ticks draw and change nothing; N draws
    // exactly the frame one tick would; P again lets it go on; a start
    // releases it.
    void pause_data()
    {
        addColumns<int, int>({"entry", "mode"});
        QTest::addRow("presentation") << 0 << 0;
        QTest::addRow("closed loop, step by step") << 2 << 1;
    }
    void pause()
    {
        QFETCH(int, entry);
        QFETCH(int, mode);
        c->choix(entry);
        c->choixbis(mode);
        tick(3);
        QVERIFY(c->run().empty()); // the idle picture is no part of a run
        mode == 1 ? c->Button2Click() : c->Button1Click();
        tick(5);
        const AnimationState before = c->animation();
        c->togglePause();
        QVERIFY(c->paused());
        w->clearLogs();
        tick(20);
        QCOMPARE(c->animation().compteur, before.compteur);
        QVERIFY(w->window.ops.empty() && w->scene.ops.empty());
        const std::size_t framesBefore = c->run().size();

        // N draws the very frame the next tick would have drawn.
        AnimationState expected = before;
        const Frame next = dispatchTick(expected);
        QCOMPARE(c->stepFrame(), next);
        QCOMPARE(c->animation().compteur, expected.compteur);
        QVERIFY(!w->scene.ops.empty());
        QVERIFY(c->paused());
        QCOMPARE(c->run().size(), framesBefore + 1);

        c->togglePause();
        tick();
        QVERIFY(c->animation().compteur != expected.compteur);
        c->stepFrame(); // N on a running page holds it after its frame
        QVERIFY(c->paused());
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
        std::vector<ModelState> after;
        c->choix(2);
        c->Button1Click();
        for (int i = 0; i < 330; ++i)
            if (c->Timer1Timer().page != Page::None)
                after.push_back(c->model());
        const QStringList lines = QString::fromStdString(runCsv(c->run())).trimmed().split(u'\n');
        QCOMPARE(lines.front(), u"tick,periode,E,X,Ep,Epu,U1,U,Omega1,theta,thetaAff,V,D"_qs);
        QCOMPARE(lines.size(), 1 + 319); // page ticks 2 to 320
        QCOMPARE(after.size(), std::size_t(319));
        for (qsizetype row = 1; row < lines.size(); ++row) {
            const ModelState &m = after[std::size_t(row - 1)];
            const std::vector<double> expected{double(row + 1),
                                               0,
                                               double(m.E),
                                               double(m.X),
                                               double(m.Ep),
                                               double(m.Epu),
                                               m.U1,
                                               m.U,
                                               m.Omega1,
                                               m.theta,
                                               m.thetaAff,
                                               m.V,
                                               0};
            std::vector<double> fields;
            for (const QString &field : lines[row].split(u',')) {
                bool ok = false;
                fields.push_back(field.toDouble(&ok));
                QVERIFY(ok);
            }
            QCOMPARE(fields, expected);
        }
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
