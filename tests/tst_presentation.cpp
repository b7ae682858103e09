// The idle picture and the presentation frames, read back from recording
// canvases.

#include "pages/pages.h"

#include <QTest>

#include <algorithm>
#include <functional>
#include <vector>

using namespace lodrix;

namespace {

constexpr int firstFrame = -2;
constexpr int lastFrame = -100;

// The three surfaces of one window, recording every call.
struct Window {
    RecordingCanvas window{Surface::Window};
    RecordingCanvas scene{Surface::Scene};
    RecordingCanvas anim{Surface::Anim};
    ModelState model;
    NumberFormat numbers;
    FrameContext ctx{{window, scene, anim}, model, numbers};

    void clearLogs()
    {
        window.ops.clear();
        scene.ops.clear();
        anim.ops.clear();
    }
    // Pens, brushes and fonts other than a fresh window's. The lessons draw
    // dotted lines, clear brushes and Symbol letters on the window canvas
    // only; the scene and the bitmap always get a solid pen and brush and
    // "MS sans Serif" back.
    void scramble()
    {
        window.pen = Pen{clPurple, 7, PenStyle::Dot};
        window.brush = Brush{clOlive, BrushStyle::Clear};
        window.font = Font{FontFace::Symbol, 15, clAqua, true};
        for (Canvas *c : {static_cast<Canvas *>(&scene), static_cast<Canvas *>(&anim)}) {
            c->pen = Pen{clPurple, 7, PenStyle::Solid};
            c->brush = Brush{clOlive, BrushStyle::Solid};
            c->font = Font{FontFace::SansSerif, 15, clAqua, false};
        }
    }
};

// Whether two calls paint the same: only the state that shows in the kind of
// call counts (a text's pen, say, does not).
bool sameOp(const Op &a, const Op &b)
{
    if (a.surface != b.surface || a.kind != b.kind || a.points != b.points)
        return false;
    switch (a.kind) {
    case Op::Kind::Text:
        return a.text == b.text && a.font == b.font;
    case Op::Kind::Copy:
        return a.source == b.source;
    case Op::Kind::Line:
    case Op::Kind::Arc:
        return a.pen == b.pen;
    case Op::Kind::Rect:
    case Op::Kind::Ellipse:
    case Op::Kind::Polygon:
        return a.pen == b.pen && a.brush == b.brush;
    }
    return false;
}

bool sameOps(const OpLog &a, const OpLog &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameOp);
}

std::vector<const Op *> select(const OpLog &ops, const std::function<bool(const Op &)> &wanted)
{
    std::vector<const Op *> found;
    for (const Op &op : ops) {
        if (wanted(op))
            found.push_back(&op);
    }
    return found;
}

// What the window has been through before the first frame is drawn.
enum class Before { IdleTick, OtherPageNoIdleTick, LastFrame };

} // namespace

class TestPresentation : public QObject {
    Q_OBJECT

private slots:
    void reading_data()
    {
        QTest::addColumn<int>("c");
        QTest::addColumn<QString>("reading");
        // The whole part of -5 - c/10 V, also where that voltage is a whole
        // number (c = -10, -20, ...).
        QTest::addRow("first frame, -4.8 V") << -2 << "-5";
        QTest::addRow("-4.1 V") << -9 << "-5";
        QTest::addRow("-4 V exactly") << -10 << "-4";
        QTest::addRow("-3.9 V") << -11 << "-4";
        QTest::addRow("-3.1 V") << -19 << "-4";
        QTest::addRow("-3 V exactly") << -20 << "-3";
        QTest::addRow("-2.9 V") << -21 << "-3";
        QTest::addRow("-2.1 V") << -29 << "-3";
        QTest::addRow("-2 V exactly") << -30 << "-2";
        QTest::addRow("-1.9 V") << -31 << "-2";
        QTest::addRow("-1.1 V") << -39 << "-2";
        QTest::addRow("-1 V exactly") << -40 << "-1";
        QTest::addRow("-0.1 V") << -49 << "-1";
        QTest::addRow("0 V, no minus sign") << -50 << "0";
        QTest::addRow("0.9 V") << -59 << "0";
        QTest::addRow("1 V exactly") << -60 << "1";
        QTest::addRow("4.9 V") << -99 << "4";
        QTest::addRow("last frame, 5 V") << lastFrame << "5";
    }

    void reading()
    {
        QFETCH(int, c);
        QFETCH(QString, reading);
        Window w;
        DrawPresentationFrame(w.ctx, c);

        const auto texts = select(w.anim.ops, [](const Op &op) {
            return op.kind == Op::Kind::Text && op.points.front() == Point{270, 60};
        });
        QCOMPARE(texts.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(texts.front()->text), reading);
        QCOMPARE(texts.front()->font, Font{.color = clBlack}); // the bitmap's own face and size
    }

    void armAndWiperEnds_data()
    {
        QTest::addColumn<int>("c");
        QTest::addColumn<Point>("tipTop");
        QTest::addColumn<Point>("tipBottom");
        QTest::addColumn<Point>("wiperEnd");
        // Arm pointing left, wiper near the -10V terminal; then right, near +10V.
        QTest::addRow("first frame") << firstFrame << Point{10, 38} << Point{10, 48} << Point{204, 73};
        QTest::addRow("last frame") << lastFrame << Point{190, 22} << Point{190, 32} << Point{245, 72};
    }

    void armAndWiperEnds()
    {
        QFETCH(int, c);
        QFETCH(Point, tipTop);
        QFETCH(Point, tipBottom);
        QFETCH(Point, wiperEnd);
        Window w;
        DrawPresentationFrame(w.ctx, c);

        // The arm is the last thing painted on the bitmap: it passes over the dial.
        QVERIFY(!w.anim.ops.empty());
        const Op &arm = w.anim.ops.back();
        QCOMPARE(arm.kind, Op::Kind::Polygon);
        QCOMPARE(arm.points.size(), std::size_t(5));
        QCOMPARE(arm.points[2], tipTop);
        QCOMPARE(arm.points[3], tipBottom);

        const auto wipers = select(w.anim.ops, [](const Op &op) {
            return op.kind == Op::Kind::Line && op.pen.color == clRed && op.points.back() == Point{225, 75};
        });
        QCOMPARE(wipers.size(), std::size_t(1));
        QCOMPARE(wipers.front()->points.front(), wiperEnd);
    }

    void idleIgnoresPriorState()
    {
        Window fresh;
        DrawIdlePicture(fresh.ctx);

        Window used;
        DrawPresentationFrame(used.ctx, lastFrame);
        used.scramble();
        used.clearLogs();
        DrawIdlePicture(used.ctx);

        QVERIFY(!fresh.window.ops.empty() && !fresh.scene.ops.empty() && !fresh.anim.ops.empty());
        QVERIFY(sameOps(fresh.window.ops, used.window.ops));
        QVERIFY(sameOps(fresh.scene.ops, used.scene.ops));
        QVERIFY(sameOps(fresh.anim.ops, used.anim.ops));
        QCOMPARE(used.window.font.face, FontFace::SansSerif);
        QCOMPARE(used.window.font.size, 6);
    }

    void explanationFont_data()
    {
        QTest::addColumn<Before>("before");
        QTest::addColumn<int>("c");
        QTest::addRow("started after an idle tick") << Before::IdleTick << firstFrame;
        QTest::addRow("started before any idle tick") << Before::OtherPageNoIdleTick << firstFrame;
        QTest::addRow("replayed from the last frame") << Before::LastFrame << firstFrame;
        QTest::addRow("half way") << Before::IdleTick << -50;
    }

    // Fifteen lines in "MS sans Serif" 6 pt inside the text area, the same on
    // every frame whatever came before.
    void explanationFont()
    {
        QFETCH(Before, before);
        QFETCH(int, c);

        Window reference;
        DrawIdlePicture(reference.ctx);
        reference.clearLogs();
        DrawPresentationFrame(reference.ctx, lastFrame);

        Window w;
        switch (before) {
        case Before::IdleTick:
            DrawIdlePicture(w.ctx);
            break;
        case Before::OtherPageNoIdleTick:
            w.scramble();
            break;
        case Before::LastFrame:
            DrawPresentationFrame(w.ctx, lastFrame);
            break;
        }
        w.clearLogs();
        DrawPresentationFrame(w.ctx, c);

        const auto texts = select(w.window.ops, [](const Op &op) { return op.kind == Op::Kind::Text; });
        QCOMPARE(texts.size(), std::size_t(15));
        for (const Op *t : texts) {
            QCOMPARE(t->font.face, FontFace::SansSerif);
            QCOMPARE(t->font.size, 6);
            QVERIFY(!t->font.bold);
            QVERIFY(t->points.front().y >= 250 && t->points.front().y < 490);
        }
        QVERIFY(sameOps(w.window.ops, reference.window.ops));
    }
};

QTEST_GUILESS_MAIN(TestPresentation)
#include "tst_presentation.moc"
