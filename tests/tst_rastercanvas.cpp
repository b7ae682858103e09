// The software canvas against the QPainter canvas: every frame of every
// lesson must come out with the very same pixels on all three surfaces, and
// the painted area must hold every changed pixel; then a few rules of its
// own on tiny buffers (edges, resizing, copies onto itself, empty boxes).

#include "render/rastercanvas.h"
#include "surfaces.h"

#include <QTest>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

using namespace lodrix;

namespace {

using Paint = std::function<void(Canvas &)>;

const char *surfaceName(Surface s)
{
    return s == Surface::Window ? "window" : s == Surface::Scene ? "scene" : "anim";
}

// Where two buffers of the same size differ: the first pixel and how many.
struct Difference {
    int count = 0;
    int x = 0, y = 0;
    QRgb expected = 0, actual = 0;
};

Difference compare(const QImage &expected, const RasterCanvas &actual)
{
    Difference d;
    const auto width = std::size_t(actual.width());
    for (int y = 0; y < actual.height(); ++y) {
        const auto *want = reinterpret_cast<const QRgb *>(expected.constScanLine(y));
        const std::uint32_t *got = actual.pixels() + std::size_t(y) * width;
        if (std::memcmp(want, got, width * sizeof(QRgb)) == 0)
            continue;
        for (std::size_t x = 0; x < width; ++x) {
            if (want[x] != got[x] && d.count++ == 0)
                d = {1, int(x), y, want[x], got[x]};
        }
    }
    return d;
}

// The box round every pixel that differs between two buffers of one canvas.
PixelRect changedBox(const std::vector<std::uint32_t> &before, const RasterCanvas &after)
{
    int left = after.width(), top = after.height(), right = -1, bottom = -1;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (before[std::size_t(y * after.width() + x)] != after.pixels()[y * after.width() + x]) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return right < 0 ? PixelRect{} : PixelRect{left, top, right - left + 1, bottom - top + 1};
}

bool contains(PixelRect outer, PixelRect inner)
{
    return inner.empty() ||
           (inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
            inner.y + inner.height <= outer.y + outer.height);
}

std::uint32_t pixel(const RasterCanvas &c, int x, int y)
{
    return c.pixels()[y * c.width() + x];
}

} // namespace

Q_DECLARE_METATYPE(Paint)

class TestRasterCanvas : public QObject {
    Q_OBJECT

private slots:
    // The whole of every lesson, both ways of playing it: idle picture,
    // presentation, open loop, and the three closed-loop pages run through
    // or period by period, up to their end tick.
    void lessonsPaintAsQPainter_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("last");
        QTest::addRow("idle picture") << -1 << 0 << 0;
        QTest::addRow("presentation") << 0 << 0 << presentationEnd;
        QTest::addRow("open loop") << 1 << 0 << openLoopEnd;
        for (int entry = 2; entry <= 4; ++entry) {
            QTest::addRow("closed loop %d, continuous", entry) << entry << 0 << endTick;
            QTest::addRow("closed loop %d, step by step", entry) << entry << 1 << endTick;
        }
    }
    void lessonsPaintAsQPainter()
    {
        QFETCH(int, entry);
        QFETCH(int, mode);
        QFETCH(int, last);
        Screen<QPainterCanvas> reference(entry, mode);
        Screen<RasterCanvas> raster(entry, mode);
        struct Pair {
            Surface surface;
            QPainterCanvas &expected;
            RasterCanvas &actual;
            std::vector<std::uint32_t> before;
        };
        Pair pairs[] = {{Surface::Window, reference.window, raster.window, {}},
                        {Surface::Scene, reference.scene, raster.scene, {}},
                        {Surface::Anim, reference.anim, raster.anim, {}}};
        for (int frames = 0;; ++frames) {
            QVERIFY2(frames < 2000, "the last tick never came");
            for (Pair &p : pairs) {
                p.before.assign(p.actual.pixels(), p.actual.pixels() + p.actual.width() * p.actual.height());
                p.actual.takeDirtyRect();
            }
            const Frame f = reference.next();
            QCOMPARE(raster.next(), f);
            QVERIFY2(f.page != Page::None, "the page halted");
            for (Pair &p : pairs) {
                const Difference d = compare(p.expected.image(), p.actual);
                QVERIFY2(d.count == 0,
                         qPrintable(QStringLiteral("tick %1, %2: %3 pixels differ, first (%4,%5) is %6 "
                                                   "instead of %7")
                                        .arg(f.tick)
                                        .arg(surfaceName(p.surface))
                                        .arg(d.count)
                                        .arg(d.x)
                                        .arg(d.y)
                                        .arg(d.actual, 8, 16)
                                        .arg(d.expected, 8, 16)));
                const PixelRect dirty = p.actual.takeDirtyRect();
                const PixelRect changed = changedBox(p.before, p.actual);
                QVERIFY2(
                    contains(dirty, changed),
                    qPrintable(QStringLiteral("tick %1, %2: changed (%3,%4 %5x%6) outside the painted area")
                                   .arg(f.tick)
                                   .arg(surfaceName(p.surface))
                                   .arg(changed.x)
                                   .arg(changed.y)
                                   .arg(changed.width)
                                   .arg(changed.height)));
            }
            if (f.tick == last)
                break;
        }
    }

    // Shapes beyond the lessons' own, on a small buffer, against the QPainter
    // canvas: cut by the buffer's edges, corners in reverse order, dotted
    // and clear outlines.
    void shapesBeyondTheLessons_data()
    {
        QTest::addColumn<Paint>("paint");
        const auto row = [](const char *name, Paint p) { QTest::addRow("%s", name) << p; };
        row("wide line leaving the buffer", [](Canvas &c) {
            c.pen = {clRed, 4};
            c.line(30, 10, 70, 45);
        });
        row("arm bar cut by the left edge", [](Canvas &c) {
            c.pen = {clRed, 20};
            c.brush = {clRed};
            const Point arm[] = {{25, 30}, {25, 20}, {-15, 12}, {-15, 22}, {25, 30}};
            c.polygon(arm);
        });
        row("ellipse over the corner, corners reversed", [](Canvas &c) {
            c.pen = {clBlue, 1};
            c.brush = {clYellow};
            c.ellipse(45, 35, 30, 20);
        });
        row("wide ellipse, clear brush", [](Canvas &c) {
            c.pen = {clGreen, 12};
            c.brush = {clWhite, BrushStyle::Clear};
            c.ellipse(5, 5, 30, 25);
        });
        row("dotted box, solid brush", [](Canvas &c) {
            c.pen = {clBlack, 1, PenStyle::Dot};
            c.brush = {clAqua};
            c.rectangle(3, 4, 33, 27);
        });
        row("thin polygon, clear brush", [](Canvas &c) {
            c.brush = {clWhite, BrushStyle::Clear};
            const Point star[] = {{20, 2}, {30, 35}, {3, 12}, {37, 12}, {10, 35}};
            c.polygon(star);
        });
        row("dotted polygon closed on its first corner", [](Canvas &c) {
            c.pen = {clBlack, 1, PenStyle::Dot};
            const Point closed[] = {{43, 17}, {38, 19}, {61, 38}, {3, 8}, {43, 17}};
            c.polygon(closed);
        });
        row("thin arc", [](Canvas &c) { c.arc(4, 4, 36, 30, 36, 4, 4, 30); });
    }
    void shapesBeyondTheLessons()
    {
        QFETCH(Paint, paint);
        QPainterCanvas expected(Surface::Window, QSize(40, 40), clWhite);
        RasterCanvas actual(Surface::Window, 40, 40, clWhite);
        paint(expected);
        paint(actual);
        const Difference d = compare(expected.image(), actual);
        QVERIFY2(
            d.count == 0,
            qPrintable(QStringLiteral("%1 pixels differ, first (%2,%3)").arg(d.count).arg(d.x).arg(d.y)));
    }

    void colours_data()
    {
        QTest::addColumn<Color>("color");
        QTest::addColumn<std::uint32_t>("argb");
        QTest::addRow("0x123456 reads BB GG RR") << Color(0x123456) << std::uint32_t(0xFF563412);
        QTest::addRow("face of the light scheme") << clFace << std::uint32_t(0xFFD4D0C8);
        QTest::addRow("highlight of the light scheme") << clHighlight << std::uint32_t(0xFF000080);
        QTest::addRow("unknown desktop colour") << Color(0xFF000001) << std::uint32_t(0xFF000000);
    }
    void colours()
    {
        QFETCH(Color, color);
        QFETCH(std::uint32_t, argb);
        QCOMPARE(toArgb(color), argb);
    }

    void resizeKeepsTheDrawing()
    {
        RasterCanvas canvas(Surface::Scene, 10, 8, clWhite);
        canvas.pen.color = clRed;
        canvas.brush.color = clRed;
        canvas.rectangle(6, 4, 10, 8); // into the bottom-right corner
        canvas.takeDirtyRect();
        canvas.resize(14, 6);
        QCOMPARE(pixel(canvas, 9, 5), toArgb(clRed));
        QCOMPARE(pixel(canvas, 5, 5), toArgb(clWhite));
        QCOMPARE(pixel(canvas, 10, 5), toArgb(clFace)); // new columns
        QCOMPARE(canvas.takeDirtyRect(), (PixelRect{0, 0, 14, 6}));
        canvas.resize(0, 0);
        QVERIFY(canvas.takeDirtyRect().empty());
        canvas.rectangle(0, 0, 5, 5); // nothing to paint on, nothing to break
    }

    void copyOntoItself()
    {
        // Shifted right by 2 over itself: every pixel comes from the picture
        // before the copy, not from pixels the copy has just written.
        RasterCanvas canvas(Surface::Anim, 6, 1, clWhite);
        for (int x = 0; x < 6; ++x)
            canvas.pixels()[x] = std::uint32_t(x);
        canvas.draw(2, 0, canvas);
        const std::uint32_t expected[] = {0, 1, 0, 1, 2, 3};
        QVERIFY(std::equal(std::begin(expected), std::end(expected), canvas.pixels()));
        canvas.draw(-3, 0, canvas); // and back, beyond the left edge
        const std::uint32_t back[] = {1, 2, 3, 1, 2, 3};
        QVERIFY(std::equal(std::begin(back), std::end(back), canvas.pixels()));
        QCOMPARE(canvas.takeDirtyRect(), (PixelRect{0, 0, 6, 1}));
    }

    void emptyBoxesPaintNothing()
    {
        RasterCanvas canvas(Surface::Window, 20, 20, clWhite);
        canvas.pen = {clRed, 20};
        canvas.brush = {clRed};
        canvas.rectangle(10, 5, 10, 15);
        canvas.ellipse(5, 10, 15, 10);
        canvas.arc(5, 5, 5, 5, 0, 0, 9, 9);
        canvas.line(4, 4, 4, 4);
        QVERIFY(canvas.takeDirtyRect().empty());
        QVERIFY(std::all_of(canvas.pixels(), canvas.pixels() + 400,
                            [](std::uint32_t p) { return p == 0xFFFFFFFF; }));
    }
};

QTEST_MAIN(TestRasterCanvas)
#include "tst_rastercanvas.moc"
