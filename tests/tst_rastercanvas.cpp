// Pixels of the software canvas, checked on small images: the classic canvas
// rules (excluded right/bottom edges, lines short of their end, 3-on-3-off
// dots, round wide pens, counter-clockwise arcs, texts by their top-left
// corner), the embedded fonts, the fixed desktop scheme, resizing, copies
// onto itself and empty boxes.

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "app/canvas/rasterimage.h"
#include "surfaces.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

using namespace lodrix;

namespace {

using Pixel = std::pair<int, int>; // x, y
using PixelSet = std::set<Pixel>;

constexpr QRgb white = qRgb(255, 255, 255);
constexpr QRgb black = qRgb(0, 0, 0);
constexpr QRgb red = qRgb(255, 0, 0);
constexpr QRgb blue = qRgb(0, 0, 255);
constexpr QRgb yellow = qRgb(255, 255, 0);
constexpr QRgb face = qRgb(212, 208, 200);

QRgb pixel(const RasterCanvas &canvas, int x, int y)
{
    return imageOf(canvas).pixel(x, y) | 0xFF000000u;
}

PixelSet inked(const RasterCanvas &canvas, QRgb ground = white)
{
    PixelSet ink;
    for (int y = 0; y < imageOf(canvas).height(); ++y)
        for (int x = 0; x < imageOf(canvas).width(); ++x)
            if (pixel(canvas, x, y) != ground)
                ink.insert({x, y});
    return ink;
}

// Bounding box of the ink, null when nothing is drawn.
QRect inkBox(const RasterCanvas &canvas, QRgb ground = white)
{
    QRect box;
    for (const auto &[x, y] : inked(canvas, ground))
        box |= QRect(x, y, 1, 1);
    return box;
}

PixelSet lineInk(Point from, Point to)
{
    RasterCanvas canvas(Surface::Window, 200, 200, clWhite);
    canvas.line(from.x, from.y, to.x, to.y);
    return inked(canvas);
}

} // namespace

Q_DECLARE_METATYPE(lodrix::Font)
Q_DECLARE_METATYPE(lodrix::BrushStyle)
Q_DECLARE_METATYPE(std::uint32_t)
Q_DECLARE_METATYPE(PixelSet)

class TestRasterCanvas : public QObject {
    Q_OBJECT

private slots:
    void colours_data()
    {
        addColumns<Color, std::uint32_t>({"color", "argb"});
        QTest::addRow("0x123456 reads BB GG RR") << Color(0x123456) << std::uint32_t(0xFF563412);
        QTest::addRow("face of the light scheme") << clFace << std::uint32_t(0xFFD4D0C8);
        QTest::addRow("highlight of the light scheme") << clHighlight << std::uint32_t(0xFF000080);
        QTest::addRow("unknown desktop colour") << Color(0xFF000001) << std::uint32_t(0xFF000000);
    }
    void colours()
    {
        QFETCH(Color, color);
        QTEST(toArgb(color), "argb");
    }

    void palette()
    {
        // Even on a dark desktop the lessons keep their light faces and black texts.
        const QPalette saved = QGuiApplication::palette();
        QGuiApplication::setPalette(QPalette(QColor(30, 30, 30), QColor(20, 20, 20)));
        const QPalette p = lodrixPalette();
        QGuiApplication::setPalette(saved);
        QCOMPARE(p.color(QPalette::Inactive, QPalette::Button).rgb(), face);
        QCOMPARE(p.color(QPalette::Disabled, QPalette::Highlight).rgb(), qRgb(0, 0, 128));
        QCOMPARE(p.color(QPalette::Active, QPalette::ButtonText).rgb(), black);
    }

    void shapeBox_data()
    {
        addColumns<bool, Point, Point, BrushStyle, QRect, QRgb>(
            {"ellipse", "p1", "p2", "brush", "expected", "centre"});
        const auto solid = BrushStyle::Solid;
        const auto clear = BrushStyle::Clear;
        QTest::addRow("rectangle: right and bottom edges excluded")
            << false << Point{10, 10} << Point{20, 25} << solid << QRect(10, 10, 10, 15) << red;
        QTest::addRow("rectangle: corners in reverse order")
            << false << Point{20, 25} << Point{10, 10} << solid << QRect(10, 10, 10, 15) << red;
        QTest::addRow("rectangle two pixels wide: all outline")
            << false << Point{10, 10} << Point{12, 20} << solid << QRect(10, 10, 2, 10) << black;
        QTest::addRow("rectangle, clear brush")
            << false << Point{5, 5} << Point{15, 15} << clear << QRect(5, 5, 10, 10) << white;
        QTest::addRow("circle") << true << Point{10, 10} << Point{30, 30} << solid << QRect(10, 10, 20, 20)
                                << red;
        QTest::addRow("flat ellipse of odd width, clear brush")
            << true << Point{3, 12} << Point{36, 25} << clear << QRect(3, 12, 33, 13) << white;
    }

    void shapeBox()
    {
        QFETCH(bool, ellipse);
        QFETCH(Point, p1);
        QFETCH(Point, p2);
        QFETCH(BrushStyle, brush);
        QFETCH(QRect, expected);
        RasterCanvas canvas(Surface::Scene, 40, 40, clWhite);
        canvas.brush = {clRed, brush};
        if (ellipse)
            canvas.ellipse(p1.x, p1.y, p2.x, p2.y);
        else
            canvas.rectangle(p1.x, p1.y, p2.x, p2.y);
        QCOMPARE(inkBox(canvas), expected);
        const int midY = expected.center().y();
        QCOMPARE(pixel(canvas, expected.left(), midY), black);
        QTEST(pixel(canvas, expected.center().x(), midY), "centre");
        // Both shapes are their own mirror images inside the box.
        const PixelSet ink = inked(canvas);
        for (const auto &[x, y] : ink)
            QVERIFY(ink.count({expected.left() + expected.right() - x, y}) &&
                    ink.count({x, expected.top() + expected.bottom() - y}));
    }

    void lineByHand_data()
    {
        // Every row walks from (20,20) by the offset `to`; the listed pixels are
        // offsets too. The ties (err = 0) are where the octant's bias decides.
        addColumns<Point, PixelSet>({"to", "expected"});
        QTest::addRow("octant 1: tie keeps y") << Point{4, 2} << PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}};
        QTest::addRow("octant 2: tie keeps x") << Point{2, 4} << PixelSet{{0, 0}, {0, 1}, {1, 2}, {1, 3}};
        QTest::addRow("octant 3: tie steps x") << Point{-2, 4} << PixelSet{{0, 0}, {-1, 1}, {-1, 2}, {-2, 3}};
        QTest::addRow("octant 4: tie keeps y") << Point{-4, 2} << PixelSet{{0, 0}, {-1, 0}, {-2, 1}, {-3, 1}};
        QTest::addRow("octant 5: tie steps y")
            << Point{-4, -2} << PixelSet{{0, 0}, {-1, -1}, {-2, -1}, {-3, -2}};
        QTest::addRow("octant 6: tie steps x")
            << Point{-2, -4} << PixelSet{{0, 0}, {-1, -1}, {-1, -2}, {-2, -3}};
        QTest::addRow("octant 7: tie keeps x") << Point{2, -4} << PixelSet{{0, 0}, {0, -1}, {1, -2}, {1, -3}};
        QTest::addRow("octant 8: tie steps y") << Point{4, -2} << PixelSet{{0, 0}, {1, -1}, {2, -1}, {3, -2}};
        QTest::addRow("(5,2): err -1, 3, -3, 1, -5")
            << Point{5, 2} << PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}};
    }

    void lineByHand()
    {
        QFETCH(Point, to);
        QFETCH(PixelSet, expected);
        PixelSet shifted;
        for (const auto &[dx, dy] : expected)
            shifted.insert({20 + dx, 20 + dy});
        QCOMPARE(lineInk({20, 20}, {20 + to.x, 20 + to.y}), shifted);
    }

    void lineProperties()
    {
        // Every line from the centre to a point of a 25 x 25 square: one pixel
        // per major step, start in, end out, and the same pixels drawn backwards.
        for (int dy = -12; dy <= 12; ++dy)
            for (int dx = -12; dx <= 12; ++dx) {
                const Point from{20, 20}, to{20 + dx, 20 + dy};
                PixelSet ink = lineInk(from, to), back = lineInk(to, from);
                QCOMPARE(ink.size(), std::size_t(std::max(std::abs(dx), std::abs(dy))));
                QVERIFY(!ink.count({to.x, to.y}) && (ink.empty() || ink.count({from.x, from.y})));
                ink.insert({to.x, to.y});
                back.insert({from.x, from.y});
                QCOMPARE(ink, back);
            }
    }

    void dottedLine()
    {
        // On a yellow ground: the gaps keep the ground, they are not painted.
        RasterCanvas canvas(Surface::Window, 40, 40, clYellow);
        canvas.pen = {clBlack, 1, PenStyle::Dot};
        canvas.line(2, 5, 22, 5);
        PixelSet expected;
        for (int x : {2, 3, 4, 8, 9, 10, 14, 15, 16, 20, 21})
            expected.insert({x, 5});

        // The pattern restarts on each line: the second line begins with a dash
        // where a running pattern would still be in its gap.
        canvas.moveTo(2, 10);
        canvas.lineTo(6, 10);
        canvas.lineTo(14, 10);
        for (int x : {2, 3, 4, 6, 7, 8, 12, 13})
            expected.insert({x, 10});
        QCOMPARE(inked(canvas, yellow), expected);
    }

    void widePens()
    {
        // A 2-pixel pen straddles a rectangle's outline: one pixel out on the
        // top-left side, none past the excluded right and bottom edges.
        RasterCanvas canvas(Surface::Anim, 130, 70, clYellow);
        canvas.pen.width = 2;
        canvas.rectangle(20, 20, 30, 30);
        QCOMPARE(inkBox(canvas, yellow), QRect(19, 19, 11, 11));
        // The arm's erase: a face pen of width 2 on the whole image leaves no frame.
        canvas.pen = {clFace, 2};
        canvas.brush = {clFace, BrushStyle::Solid};
        canvas.rectangle(0, 0, 130, 70);
        QVERIFY(inked(canvas, face).empty());

        // Round caps reach past both ends, by half the width, with round corners.
        canvas.pen = {clRed, 4};
        canvas.line(20, 10, 60, 10);
        QCOMPARE(pixel(canvas, 18, 10), red);
        QCOMPARE(pixel(canvas, 61, 10), red);
        QCOMPARE(pixel(canvas, 64, 10), face);
        QCOMPARE(pixel(canvas, 61, 8), face);

        // The arm at rest on the left: a closed 10 x 10 bar with a 20-pixel pen.
        // Round joins put (4,34), 8.5 px from the corner (10,40), inside, where a
        // bevel would cut it off; (1,31), 12.7 px away, stays out, where a miter
        // would fill it.
        canvas.pen = {clRed, 20};
        canvas.brush = {clRed, BrushStyle::Solid};
        const Point arm[] = {{110, 50}, {110, 40}, {10, 40}, {10, 50}, {110, 50}};
        canvas.polygon(arm);
        QCOMPARE(pixel(canvas, 60, 32), red);
        QCOMPARE(pixel(canvas, 60, 27), face);
        QCOMPARE(pixel(canvas, 4, 34), red);
        QCOMPARE(pixel(canvas, 1, 31), face);
    }

    void sensorDialArc()
    {
        // The potentiometer track runs counter-clockwise from the radial through
        // (240,95) round the top to the radial through (210,95): open at the bottom.
        RasterCanvas canvas(Surface::Anim, 260, 110, clWhite);
        canvas.pen = {clBlue, 4};
        canvas.arc(200, 50, 250, 100, 240, 95, 210, 95);
        QCOMPARE(pixel(canvas, 225, 50), blue); // top
        QCOMPARE(pixel(canvas, 246, 87), blue); // 30 degrees below the right
        QCOMPARE(pixel(canvas, 204, 87), blue); // and below the left
        for (int y = 88; y < 110; ++y)
            for (int x = 218; x <= 232; ++x)
                QCOMPARE(pixel(canvas, x, y), white);
        QCOMPARE(inkBox(canvas).top(), 48);
    }

    void fonts_data()
    {
        // The embedded faces must match exactly, or every text moves. "H" drawn
        // at (5,5): 13 px cell, ascent 11, glyph 9 rows above the baseline, 1 px
        // left bearing, 6 px wide; 16 px cell: ascent 13, 10 rows, 8 wide; 20 px
        // cell: ascent 16, 12 rows, bearing 2, 8 wide.
        addColumns<Font, QString, int, QRect>({"font", "family", "pixelSize", "glyph"});
        const auto sans = FontFace::SansSerif;
        QTest::addRow("6 pt captions use the 13 px strike")
            << Font{sans, 6} << "MS Sans Serif" << 13 << QRect(6, 7, 6, 9);
        QTest::addRow("8 pt: top 5+11-9") << Font{sans, 8} << "MS Sans Serif" << 13 << QRect(6, 7, 6, 9);
        QTest::addRow("8 pt bold") << Font{sans, 8, clBlack, true} << "MS Sans Serif" << 13 << QRect();
        QTest::addRow("10 pt: top 5+13-10") << Font{sans, 10} << "MS Sans Serif" << 16 << QRect(6, 8, 8, 10);
        QTest::addRow("12 pt: top 5+16-12, left 5+2")
            << Font{sans, 12} << "MS Sans Serif" << 20 << QRect(7, 9, 8, 12);
        QTest::addRow("Symbol 8 pt, 11 px em") << Font{FontFace::Symbol, 8} << "Symbol" << 11 << QRect();
    }

    void fonts()
    {
        QFETCH(Font, font);
        QFETCH(QRect, glyph);
        const QFontInfo info(canvasFont(font));
        QTEST(info.family(), "family");
        QVERIFY(info.exactMatch());
        QTEST(info.pixelSize(), "pixelSize");
        QCOMPARE(info.bold(), font.bold);
        if (glyph.isNull())
            return;
        // Texts are placed by the top-left corner of their cell, on a
        // transparent background: the ground shows between the strokes.
        RasterCanvas canvas(Surface::Window, 40, 40, clYellow);
        canvas.font = font;
        canvas.font.color = clRed;
        canvas.textOut(5, 5, "H");
        QCOMPARE(inkBox(canvas, yellow), glyph);
        QCOMPARE(pixel(canvas, glyph.left(), glyph.top()), red);
        QCOMPARE(pixel(canvas, glyph.left() + 2, glyph.top() + 1), yellow);
    }

    void boldTitleFitsItsBox()
    {
        // The title is bold and was sized to it: one pixel wider per character
        // than regular, and still inside its 352-pixel box.
        const QString title = QStringLiteral("Asservissement de position - Correction numérique");
        const QFont bold = uiFont(13, true);
        QVERIFY(QFontInfo(bold).exactMatch());
        const int width = QFontMetrics(bold).horizontalAdvance(title);
        QCOMPARE(width, QFontMetrics(uiFont(13)).horizontalAdvance(title) + int(title.size()));
        QVERIFY(width <= 352);
    }

    void copyFromAnotherSurface()
    {
        RasterCanvas source(Surface::Anim, 10, 10, clRed);
        source.pen.color = clBlue;
        source.brush.color = clBlue;
        source.rectangle(0, 0, 1, 1);
        RasterCanvas target(Surface::Scene, 40, 40, clWhite);
        target.draw(5, 7, source);
        QCOMPARE(inkBox(target), QRect(5, 7, 10, 10));
        QCOMPARE(pixel(target, 5, 7), blue);
        QCOMPARE(pixel(target, 14, 16), red);
        target.draw(35, 35, source); // clipped at the edges
        QCOMPARE(pixel(target, 39, 39), red);
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
