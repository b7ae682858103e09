// The idle picture and the presentation frames, read back from recording
// canvases.

#include "surfaces.h"

#include <QTest>

#include <algorithm>

using namespace lodrix;

namespace {

constexpr int idlePicture = 0;
constexpr int firstFrame = -2;
constexpr int lastFrame = -100;

void draw(Screen<> &w, int c)
{
    c == idlePicture ? DrawIdlePicture(w.ctx) : DrawPresentationFrame(w.ctx, c);
}

// What the window has been through before the frame is drawn.
enum class Before { Nothing, IdleTick, LastFrame, OtherPage };

void goThrough(Screen<> &w, Before before)
{
    if (before != Before::Nothing)
        draw(w, before == Before::IdleTick ? idlePicture : lastFrame);
    // The lessons leave dotted lines, clear brushes and Symbol letters on the
    // window canvas only, and change nothing of the bitmap's font but its
    // colour.
    if (before == Before::OtherPage) {
        w.window.pen = Pen{clPurple, 7, PenStyle::Dot};
        w.window.brush = Brush{clOlive, BrushStyle::Clear};
        w.window.font = Font{FontFace::Symbol, 15, clAqua, true};
        w.scene.font = Font{FontFace::SansSerif, 15, clAqua};
        w.anim.font.color = clAqua;
        w.scene.pen = w.anim.pen = Pen{clPurple, 7};
        w.scene.brush = w.anim.brush = Brush{clOlive};
    }
    w.clearLogs();
}

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
    default:
        return a.pen == b.pen && a.brush == b.brush;
    }
}

bool sameOps(const Screen<> &a, const Screen<> &b)
{
    const auto same = [](const OpLog &x, const OpLog &y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(), sameOp);
    };
    return same(a.window.ops, b.window.ops) && same(a.scene.ops, b.scene.ops) && same(a.anim.ops, b.anim.ops);
}

} // namespace

Q_DECLARE_METATYPE(Before)

class TestPresentation : public QObject {
    Q_OBJECT

private slots:
    void reading_data()
    {
        addColumns<int, QString>({"c", "reading"});
        // The whole part of -5 - c/10 V, also where that voltage is a whole
        // number (c = -10, -20, ...).
        QTest::addRow("first frame, -4.8 V") << firstFrame << "-5";
        QTest::addRow("-4 V exactly") << -10 << "-4";
        QTest::addRow("-0.1 V") << -49 << "-1";
        QTest::addRow("0 V, no minus sign") << -50 << "0";
        QTest::addRow("0.9 V") << -59 << "0";
        QTest::addRow("1 V exactly") << -60 << "1";
        QTest::addRow("last frame, 5 V") << lastFrame << "5";
    }
    void reading()
    {
        QFETCH(int, c);
        Screen w;
        DrawPresentationFrame(w.ctx, c);
        const auto isReading = [](const Op &op) { return isText(op, "") && op.points[0] == Point{270, 60}; };
        QCOMPARE(std::count_if(w.anim.ops.begin(), w.anim.ops.end(), isReading), 1);
        const Op *text = findOp(w.anim.ops, isReading);
        QTEST(QString::fromStdString(text->text), "reading");
        QCOMPARE(text->font, Font{.color = clBlack}); // the bitmap's own face and size
    }

    void armAndWiperEnds_data()
    {
        addColumns<int, Point, Point, Point>({"c", "tipTop", "tipBottom", "wiperEnd"});
        // Arm pointing left, wiper near the -10V terminal; then right, near +10V.
        QTest::addRow("first frame") << firstFrame << Point{10, 38} << Point{10, 48} << Point{204, 73};
        QTest::addRow("last frame") << lastFrame << Point{190, 22} << Point{190, 32} << Point{245, 72};
    }
    void armAndWiperEnds()
    {
        QFETCH(int, c);
        Screen w;
        DrawPresentationFrame(w.ctx, c);
        // The arm is the last thing painted on the bitmap: it passes over the dial.
        const Op &arm = w.anim.ops.back();
        QCOMPARE(arm.kind, Op::Kind::Polygon);
        QTEST(arm.points[2], "tipTop");
        QTEST(arm.points[3], "tipBottom");
        const Op *wiper = findOp(w.anim.ops, [](const Op &op) {
            return op.kind == Op::Kind::Line && op.pen.color == clRed && op.points[1] == Point{225, 75};
        });
        QVERIFY(wiper);
        QTEST(wiper->points[0], "wiperEnd");
    }

    // A frame draws the same whatever came before; the presentation's fifteen
    // lines are in "MS sans Serif" 6 pt inside the text area.
    void sameWhateverCameBefore_data()
    {
        addColumns<Before, int>({"before", "c"});
        QTest::addRow("idle after another page") << Before::OtherPage << idlePicture;
        QTest::addRow("started after an idle tick") << Before::IdleTick << firstFrame;
        QTest::addRow("started with no idle tick") << Before::OtherPage << firstFrame;
        QTest::addRow("replayed from the last frame") << Before::LastFrame << firstFrame;
    }
    void sameWhateverCameBefore()
    {
        QFETCH(Before, before);
        QFETCH(int, c);
        Screen reference;
        goThrough(reference, c == idlePicture ? Before::Nothing : Before::IdleTick);
        draw(reference, c);
        Screen w;
        goThrough(w, before);
        draw(w, c);

        QVERIFY(!w.window.ops.empty() && !w.scene.ops.empty() && !w.anim.ops.empty());
        QVERIFY(sameOps(w, reference));
        if (c == idlePicture)
            return;
        const auto texts = std::count_if(w.window.ops.begin(), w.window.ops.end(), [](const Op &op) {
            return isText(op, "") && op.font == Font{FontFace::SansSerif, 6, op.font.color} &&
                   op.points[0].y >= 250 && op.points[0].y < 490;
        });
        QCOMPARE(texts, 15);
    }
};

QTEST_GUILESS_MAIN(TestPresentation)
#include "tst_presentation.moc"
