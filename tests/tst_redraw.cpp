// Drawing the frame on screen again, as an expose, a zoom or a language
// switch may ask, on every lesson before its start, at its first tick, a
// middle one and its end, straight through and step by step: the state line,
// the run's record and every pixel of the three surfaces stay as they were.

#include "engine/runcsv.h"
#include "engine/statejson.h"
#include "surfaces.h"

#include <QTest>

#include <vector>

using namespace lodrix;

namespace {

constexpr int notStarted = 0; // the row's tick for the picture before a start

struct Shown {
    std::string state;
    std::string csv;
    std::vector<std::uint32_t> pixels[3];
};

std::vector<std::uint32_t> pixelsOf(const RasterCanvas &c)
{
    return {c.pixels(), c.pixels() + std::size_t(c.width()) * std::size_t(c.height())};
}

Shown shown(const Screen<RasterCanvas> &s)
{
    return {stateJson(s.c), runCsv(s.c.run()), {pixelsOf(s.window), pixelsOf(s.scene), pixelsOf(s.anim)}};
}

} // namespace

class TestRedraw : public QObject {
    Q_OBJECT

private slots:
    void redrawChangesNothing_data()
    {
        addColumns<int, int, int>({"entry", "mode", "tick"});
        struct Lesson {
            const char *name;
            int entry;
            int first, middle, end;
        };
        constexpr Lesson lessons[] = {
            {"presentation", 0, -2, -51, presentationEnd},
            {"open loop", 1, 2, 151, openLoopEnd},
            {"proportional", 2, 2, 161, endTick},
            {"pole compensation", 3, 2, 161, endTick},
            {"two steps", 4, 2, 161, endTick},
            {"free setting", 5, 2, 161, endTick},
        };
        for (const Lesson &l : lessons) {
            for (int mode : {0, 1}) {
                if (mode == 1 && l.entry < 2)
                    continue; // no step-by-step mode before the closed loop
                const char *modeName = mode == 0 ? "continuous" : "step by step";
                QTest::addRow("%s, %s, not started", l.name, modeName) << l.entry << mode << notStarted;
                for (int tick : {l.first, l.middle, l.end})
                    QTest::addRow("%s, %s, tick %d", l.name, modeName, tick) << l.entry << mode << tick;
            }
        }
    }
    void redrawChangesNothing()
    {
        QFETCH(int, entry);
        QFETCH(int, mode);
        QFETCH(int, tick);
        Screen<RasterCanvas> s;
        s.c.choix(entry);
        if (entry >= 2)
            s.c.choixbis(mode);
        if (tick == notStarted) {
            QCOMPARE(s.c.Timer1Timer().page, Page::Idle);
        } else {
            mode == 1 ? s.c.Button2Click() : s.c.Button1Click();
            s.playTo(tick);
        }
        const Shown before = shown(s);
        OpLog drawn;
        for (Canvas *c : {static_cast<Canvas *>(&s.window), static_cast<Canvas *>(&s.scene),
                          static_cast<Canvas *>(&s.anim)})
            c->setLog(&drawn);
        s.c.redraw();
        QVERIFY2(!drawn.empty(), "nothing drawn again");
        const Shown after = shown(s);
        QCOMPARE(after.state, before.state);
        QCOMPARE(after.csv, before.csv);
        for (int surface = 0; surface < 3; ++surface)
            QVERIFY2(after.pixels[surface] == before.pixels[surface],
                     qPrintable(QStringLiteral("surface %1 changed").arg(surface)));
        // And the next tick goes on as if nothing had been drawn.
        Screen<RasterCanvas> plain;
        plain.c.choix(entry);
        if (entry >= 2)
            plain.c.choixbis(mode);
        if (tick != notStarted) {
            mode == 1 ? plain.c.Button2Click() : plain.c.Button1Click();
            plain.playTo(tick);
        }
        s.next();
        plain.next();
        QCOMPARE(stateJson(s.c), stateJson(plain.c));
    }

    // A handler that clears the picture leaves no frame to draw again until
    // the next tick draws one.
    void nothingAfterAClear()
    {
        Screen<RasterCanvas> s(2);
        s.playTo(100);
        s.c.choix(3);
        OpLog drawn;
        s.window.setLog(&drawn);
        s.scene.setLog(&drawn);
        s.c.redraw();
        QVERIFY(drawn.empty());
        s.c.Timer1Timer();
        QVERIFY(!drawn.empty());
    }
};

QTEST_MAIN(TestRedraw)
#include "tst_redraw.moc"
