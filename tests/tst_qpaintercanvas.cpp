// Pixels of the QPainter canvas, checked on small images: the classic canvas
// rules (excluded right/bottom edges, lines short of their end, 3-on-3-off
// dots, round wide pens, counter-clockwise arcs, texts by their top-left
// corner), the embedded fonts and the fixed desktop scheme.

#include "render/qt/colors.h"
#include "render/qt/fonts.h"
#include "render/qt/qpaintercanvas.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QRandomGenerator>
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
constexpr QSize smallSize(40, 40);

QRgb pixel(const QPainterCanvas &canvas, int x, int y)
{
    return canvas.image().pixel(x, y) | 0xFF000000u;
}

PixelSet inked(const QPainterCanvas &canvas, QRgb background = white)
{
    const QImage &img = canvas.image();
    PixelSet ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) | 0xFF000000u) != background)
                ink.insert({x, y});
    return ink;
}

// Bounding box of the ink, null when nothing is drawn.
QRect inkBox(const QPainterCanvas &canvas, QRgb background = white)
{
    QRect box;
    for (const auto &[x, y] : inked(canvas, background))
        box |= QRect(x, y, 1, 1);
    return box;
}

bool columnHasInk(const QImage &img, int x, QRgb background)
{
    for (int y = 0; y < img.height(); ++y)
        if ((img.pixel(x, y) | 0xFF000000u) != background)
            return true;
    return false;
}

// Whether every pixel can be reached from `from` through 8-neighbours.
bool eightConnected(const PixelSet &pixels, Pixel from)
{
    PixelSet reached{from};
    std::vector<Pixel> todo{from};
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (int ny = y - 1; ny <= y + 1; ++ny)
            for (int nx = x - 1; nx <= x + 1; ++nx)
                if (pixels.count({nx, ny}) && reached.insert({nx, ny}).second)
                    todo.push_back({nx, ny});
    }
    return reached == pixels;
}

// The box from a to b, both included, whatever their order.
QRect spanning(Point a, Point b)
{
    return QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)),
                 QPoint(std::max(a.x, b.x), std::max(a.y, b.y)));
}

PixelSet lineInk(QSize size, Point from, Point to)
{
    QPainterCanvas canvas(Surface::Window, size, clWhite);
    canvas.line(from.x, from.y, to.x, to.y);
    return inked(canvas);
}

} // namespace

Q_DECLARE_METATYPE(lodrix::Point)
Q_DECLARE_METATYPE(lodrix::Font)
Q_DECLARE_METATYPE(PixelSet)

class TestQPainterCanvas : public QObject {
    Q_OBJECT

private slots:
    void colours_data()
    {
        QTest::addColumn<Color>("color");
        QTest::addColumn<QRgb>("expected");
        QTest::addRow("0x0000FF is red") << clRed << red;
        QTest::addRow("0xFF0000 is blue") << clBlue << qRgb(0, 0, 255);
        QTest::addRow("0x123456 reads BB GG RR") << Color(0x123456) << qRgb(0x56, 0x34, 0x12);
        QTest::addRow("face of the light scheme") << clFace << qRgb(212, 208, 200);
        QTest::addRow("highlight of the light scheme") << clHighlight << qRgb(0, 0, 128);
    }

    void colours()
    {
        QFETCH(Color, color);
        QFETCH(QRgb, expected);
        QPainterCanvas canvas(Surface::Scene, smallSize, clWhite);
        canvas.pen.color = color;
        canvas.brush.color = color;
        canvas.rectangle(10, 10, 20, 20);
        QCOMPARE(pixel(canvas, 10, 10), expected); // outline
        QCOMPARE(pixel(canvas, 15, 15), expected); // fill
        QCOMPARE(toQColor(color).rgb(), expected);
    }

    void palette()
    {
        // Even on a dark desktop the lessons keep their light faces and black texts.
        const QPalette saved = QGuiApplication::palette();
        QPalette dark(QColor(30, 30, 30), QColor(20, 20, 20));
        dark.setColor(QPalette::Highlight, QColor(200, 100, 0));
        QGuiApplication::setPalette(dark);
        const QPalette p = lodrixPalette();
        QGuiApplication::setPalette(saved);

        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QCOMPARE(p.color(group, QPalette::Window).rgb(), qRgb(212, 208, 200));
            QCOMPARE(p.color(group, QPalette::Button).rgb(), qRgb(212, 208, 200));
            QCOMPARE(p.color(group, QPalette::Highlight).rgb(), qRgb(0, 0, 128));
        }
        QCOMPARE(p.color(QPalette::Active, QPalette::WindowText).rgb(), black);
        QCOMPARE(p.color(QPalette::Active, QPalette::ButtonText).rgb(), black);
        QCOMPARE(p.color(QPalette::Active, QPalette::Base).rgb(), white);
    }

    void rectangleBox_data()
    {
        QTest::addColumn<Point>("p1");
        QTest::addColumn<Point>("p2");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("filled");
        QTest::addRow("right and bottom edges excluded")
            << Point{10, 10} << Point{20, 25} << QRect(10, 10, 10, 15) << true;
        QTest::addRow("corners in reverse order")
            << Point{20, 25} << Point{10, 10} << QRect(10, 10, 10, 15) << true;
        QTest::addRow("two pixels wide: all outline")
            << Point{10, 10} << Point{12, 20} << QRect(10, 10, 2, 10) << false;
        QTest::addRow("3 x 3: one pixel of fill")
            << Point{30, 30} << Point{33, 33} << QRect(30, 30, 3, 3) << true;
        QTest::addRow("no width draws nothing") << Point{10, 10} << Point{10, 20} << QRect() << false;
        QTest::addRow("clipped by the image")
            << Point{-5, 30} << Point{10, 60} << QRect(0, 30, 10, 10) << true;
    }

    void rectangleBox()
    {
        QFETCH(Point, p1);
        QFETCH(Point, p2);
        QFETCH(QRect, expected);
        QFETCH(bool, filled);
        QPainterCanvas canvas(Surface::Scene, smallSize, clWhite);
        canvas.brush.color = clRed;
        canvas.rectangle(p1.x, p1.y, p2.x, p2.y);
        QCOMPARE(inkBox(canvas), expected);
        const auto ink = inked(canvas);
        const auto fill = std::count_if(
            ink.begin(), ink.end(), [&](const Pixel &p) { return pixel(canvas, p.first, p.second) == red; });
        QCOMPARE(fill > 0, filled);
        if (!expected.isEmpty()) {
            QCOMPARE(pixel(canvas, expected.left(), expected.top()), black);
            QCOMPARE(pixel(canvas, expected.right(), expected.bottom()), black);
        }
    }

    void rectangleBrushAndWidePen()
    {
        QPainterCanvas canvas(Surface::Scene, smallSize, clYellow);
        canvas.brush.style = BrushStyle::Clear;
        canvas.rectangle(5, 5, 15, 15);
        QCOMPARE(pixel(canvas, 10, 10), qRgb(255, 255, 0));
        QCOMPARE(pixel(canvas, 5, 10), black);

        // A 2-pixel pen straddles the outline: one pixel out on the top-left
        // side, none past the excluded right and bottom edges.
        canvas.pen.width = 2;
        canvas.rectangle(20, 20, 30, 30);
        QCOMPARE(inkBox(canvas, qRgb(255, 255, 0)), QRect(5, 5, 10, 10) | QRect(19, 19, 11, 11));

        // The arm's erase: a face pen of width 2 on the whole image leaves no frame.
        canvas.pen = {clFace, 2};
        canvas.brush = {clFace, BrushStyle::Solid};
        canvas.rectangle(0, 0, 40, 40);
        QVERIFY(inked(canvas, qRgb(212, 208, 200)).empty());
    }

    void ellipse_data()
    {
        QTest::addColumn<Point>("p1");
        QTest::addColumn<Point>("p2");
        QTest::addRow("circle") << Point{10, 10} << Point{30, 30};
        QTest::addRow("flat ellipse, odd width") << Point{3, 12} << Point{36, 25};
    }

    void ellipse()
    {
        QFETCH(Point, p1);
        QFETCH(Point, p2);
        QPainterCanvas canvas(Surface::Scene, smallSize, clWhite);
        canvas.brush.style = BrushStyle::Clear;
        canvas.ellipse(p1.x, p1.y, p2.x, p2.y);
        const PixelSet ink = inked(canvas);
        QCOMPARE(inkBox(canvas), QRect(p1.x, p1.y, p2.x - p1.x, p2.y - p1.y));
        for (const auto &[x, y] : ink) {
            const int mirrorX = p1.x + p2.x - 1 - x;
            const int mirrorY = p1.y + p2.y - 1 - y;
            QVERIFY2(ink.count({mirrorX, y}) && ink.count({x, mirrorY}),
                     qPrintable(QStringLiteral("(%1,%2) has no mirror image").arg(x).arg(y)));
        }
        QVERIFY(!ink.count({(p1.x + p2.x) / 2, (p1.y + p2.y) / 2})); // clear brush

        canvas.brush = {clRed, BrushStyle::Solid};
        canvas.ellipse(p1.x, p1.y, p2.x, p2.y);
        QCOMPARE(pixel(canvas, (p1.x + p2.x) / 2, (p1.y + p2.y) / 2), red);
    }

    void lineByHand_data()
    {
        // Every row walks from (20,20); the listed pixels are offsets from there.
        // The ties (err = 0) are where the octant's bias decides.
        QTest::addColumn<Point>("to");
        QTest::addColumn<PixelSet>("expected");
        QTest::addRow("octant 1 (4,2): tie keeps the row, then steps")
            << Point{24, 22} << PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}};
        QTest::addRow("octant 2 (2,4): tie keeps the column")
            << Point{22, 24} << PixelSet{{0, 0}, {0, 1}, {1, 2}, {1, 3}};
        QTest::addRow("octant 3 (-2,4): tie steps left at once")
            << Point{18, 24} << PixelSet{{0, 0}, {-1, 1}, {-1, 2}, {-2, 3}};
        QTest::addRow("octant 4 (-4,2): tie keeps the row")
            << Point{16, 22} << PixelSet{{0, 0}, {-1, 0}, {-2, 1}, {-3, 1}};
        QTest::addRow("octant 5 (-4,-2): tie steps up at once")
            << Point{16, 18} << PixelSet{{0, 0}, {-1, -1}, {-2, -1}, {-3, -2}};
        QTest::addRow("octant 6 (-2,-4): tie steps left at once")
            << Point{18, 16} << PixelSet{{0, 0}, {-1, -1}, {-1, -2}, {-2, -3}};
        QTest::addRow("octant 7 (2,-4): tie keeps the column")
            << Point{22, 16} << PixelSet{{0, 0}, {0, -1}, {1, -2}, {1, -3}};
        QTest::addRow("octant 8 (4,-2): tie steps up at once")
            << Point{24, 18} << PixelSet{{0, 0}, {1, -1}, {2, -1}, {3, -2}};
        QTest::addRow("octant 1 (5,2): err -1, 3, -3, 1, -5")
            << Point{25, 22} << PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}};
        QTest::addRow("zero length draws nothing") << Point{20, 20} << PixelSet{};
    }

    void lineByHand()
    {
        QFETCH(Point, to);
        QFETCH(PixelSet, expected);
        PixelSet shifted;
        for (const auto &[dx, dy] : expected)
            shifted.insert({20 + dx, 20 + dy});
        QCOMPARE(lineInk(smallSize, {20, 20}, to), shifted);
    }

    void lineProperties()
    {
        // Every line from the centre to a point of a 25 x 25 square, then long
        // random lines: one pixel per major step, start in, end out, no gaps, no
        // stray pixel, and the same pixels drawn in the other direction.
        std::vector<std::pair<Point, Point>> lines;
        for (int dy = -12; dy <= 12; ++dy)
            for (int dx = -12; dx <= 12; ++dx)
                if (dx || dy)
                    lines.push_back({{20, 20}, {20 + dx, 20 + dy}});
        QRandomGenerator random(1234);
        for (int i = 0; i < 300; ++i)
            lines.push_back(
                {{random.bounded(200), random.bounded(200)}, {random.bounded(200), random.bounded(200)}});

        for (const auto &[from, to] : lines) {
            if (from == to)
                continue;
            const QString name =
                QStringLiteral("(%1,%2)->(%3,%4)").arg(from.x).arg(from.y).arg(to.x).arg(to.y);
            const QSize size =
                from.x < 40 && to.x < 40 && from.y < 40 && to.y < 40 ? smallSize : QSize(200, 200);
            PixelSet ink = lineInk(size, from, to);
            const auto major = std::size_t(std::max(std::abs(to.x - from.x), std::abs(to.y - from.y)));
            QVERIFY2(ink.size() == major, qPrintable(name + " pixel count"));
            QVERIFY2(ink.count({from.x, from.y}), qPrintable(name + " start"));
            QVERIFY2(!ink.count({to.x, to.y}), qPrintable(name + " end"));
            QVERIFY2(eightConnected(ink, {from.x, from.y}), qPrintable(name + " gap"));
            const QRect box = spanning(from, to);
            QVERIFY2(std::all_of(ink.begin(), ink.end(),
                                 [&](const Pixel &p) { return box.contains(p.first, p.second); }),
                     qPrintable(name + " outside its box"));
            PixelSet back = lineInk(size, to, from);
            ink.insert({to.x, to.y});
            back.insert({from.x, from.y});
            QVERIFY2(ink == back, qPrintable(name + " differs from its reverse"));
        }
    }

    void dottedLine()
    {
        // On a yellow ground: the gaps keep the ground, they are not painted.
        const QRgb yellow = qRgb(255, 255, 0);
        QPainterCanvas canvas(Surface::Window, smallSize, clYellow);
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

        // A wider dotted pen draws solid.
        canvas.pen.width = 3;
        canvas.line(2, 30, 22, 30);
        for (int x = 3; x <= 21; ++x)
            QVERIFY2(pixel(canvas, x, 30) == black, qPrintable(QString::number(x)));
    }

    void widePenRoundCapsAndJoins()
    {
        QPainterCanvas canvas(Surface::Anim, QSize(130, 70), clWhite);
        canvas.pen = {clRed, 4};
        canvas.line(20, 10, 60, 10);
        // Round caps reach past both ends, by half the width, and no further.
        QCOMPARE(pixel(canvas, 60, 10), red);
        QCOMPARE(pixel(canvas, 61, 10), red);
        QCOMPARE(pixel(canvas, 18, 10), red);
        QCOMPARE(pixel(canvas, 64, 10), white);
        QCOMPARE(pixel(canvas, 15, 10), white);
        QCOMPARE(pixel(canvas, 61, 8), white); // rounded, not square, corners

        // The arm at rest on the left: a closed 10 x 10 bar with a 20-pixel pen.
        // Round joins put (4,34), 8.5 px from the corner (10,40), inside, where a
        // bevel would cut it off; (1,31), 12.7 px away, stays out, where a miter
        // would fill it.
        canvas.pen = {clRed, 20};
        canvas.brush = {clRed, BrushStyle::Solid};
        const Point arm[] = {{110, 50}, {110, 40}, {10, 40}, {10, 50}, {110, 50}};
        canvas.polygon(arm);
        QCOMPARE(pixel(canvas, 60, 45), red);
        QCOMPARE(pixel(canvas, 60, 32), red);
        QCOMPARE(pixel(canvas, 60, 27), white);
        QCOMPARE(pixel(canvas, 4, 34), red);
        QCOMPARE(pixel(canvas, 1, 31), white);
        QCOMPARE(pixel(canvas, 116, 56), red);
        QCOMPARE(pixel(canvas, 119, 59), white);
    }

    void sensorDialArc()
    {
        // The potentiometer track runs counter-clockwise from the radial through
        // (240,95) round the top to the radial through (210,95): open at the bottom.
        QPainterCanvas canvas(Surface::Anim, QSize(260, 110), clWhite);
        canvas.pen = {clBlue, 4};
        canvas.arc(200, 50, 250, 100, 240, 95, 210, 95);
        const QRgb blue = qRgb(0, 0, 255);
        QCOMPARE(pixel(canvas, 225, 50), blue); // top
        QCOMPARE(pixel(canvas, 200, 75), blue); // left
        QCOMPARE(pixel(canvas, 249, 75), blue); // right
        QCOMPARE(pixel(canvas, 246, 87), blue); // 30 degrees below the right
        QCOMPARE(pixel(canvas, 204, 87), blue); // and below the left
        for (int y = 88; y < 110; ++y)
            for (int x = 218; x <= 232; ++x)
                QVERIFY2(pixel(canvas, x, y) == white,
                         qPrintable(QStringLiteral("ink at (%1,%2)").arg(x).arg(y)));
        QCOMPARE(inkBox(canvas).top(), 48);
    }

    void fontMatches_data()
    {
        QTest::addColumn<Font>("font");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addRow("6 pt captions use the 13 px strike")
            << Font{FontFace::SansSerif, 6} << "MS Sans Serif" << 13;
        QTest::addRow("8 pt texts, 13 px") << Font{FontFace::SansSerif, 8} << "MS Sans Serif" << 13;
        QTest::addRow("10 pt values, 16 px") << Font{FontFace::SansSerif, 10} << "MS Sans Serif" << 16;
        QTest::addRow("12 pt diagram, 20 px") << Font{FontFace::SansSerif, 12} << "MS Sans Serif" << 20;
        QTest::addRow("8 pt bold") << Font{FontFace::SansSerif, 8, clBlack, true} << "MS Sans Serif" << 13;
        QTest::addRow("Symbol 8 pt, 11 px em") << Font{FontFace::Symbol, 8} << "Symbol" << 11;
        QTest::addRow("Symbol 12 pt, 16 px em") << Font{FontFace::Symbol, 12} << "Symbol" << 16;
    }

    void fontMatches()
    {
        QFETCH(Font, font);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        const QFontInfo info(canvasFont(font));
        QCOMPARE(info.family(), family);
        QVERIFY(info.exactMatch());
        QCOMPARE(info.pixelSize(), pixelSize);
        QCOMPARE(info.bold(), font.bold);
        if (font.face == FontFace::SansSerif)
            QCOMPARE(QFontMetrics(canvasFont(font)).height(), pixelSize);
    }

    void textTopLeft_data()
    {
        // "H" of the replica: 13 px cell, ascent 11, glyph 9 rows above the
        // baseline, 1 px left bearing, 6 px wide; 16 px cell: ascent 13, 10 rows,
        // 8 wide; 20 px cell: ascent 16, 12 rows, bearing 2, 8 wide.
        QTest::addColumn<int>("size");
        QTest::addColumn<QRect>("expected");
        QTest::addRow("8 pt: top 5+11-9") << 8 << QRect(6, 7, 6, 9);
        QTest::addRow("10 pt: top 5+13-10") << 10 << QRect(6, 8, 8, 10);
        QTest::addRow("12 pt: top 5+16-12, left 5+2") << 12 << QRect(7, 9, 8, 12);
    }

    void textTopLeft()
    {
        QFETCH(int, size);
        QFETCH(QRect, expected);
        QPainterCanvas canvas(Surface::Window, smallSize, clYellow);
        canvas.font = Font{FontFace::SansSerif, size, clRed};
        canvas.textOut(5, 5, "H");
        QCOMPARE(inkBox(canvas, qRgb(255, 255, 0)), expected);
        QCOMPARE(pixel(canvas, expected.left(), expected.top()), red);
        // The background is transparent: the ground shows between the strokes.
        QCOMPARE(pixel(canvas, expected.left() + 2, expected.top() + 1), qRgb(255, 255, 0));
    }

    void symbolGreekLetters()
    {
        // "W" in Symbol is Ω, an arch on two feet, where a fallback face would
        // draw a Latin W: top corners inked, meeting the baseline inside.
        QPainterCanvas canvas(Surface::Window, smallSize, clWhite);
        canvas.font = Font{FontFace::Symbol, 12};
        canvas.textOut(5, 5, "W");
        const QRect box = inkBox(canvas);
        QVERIFY(box.width() >= 8 && box.height() >= 8);
        const auto ink = inked(canvas);
        QVERIFY(!ink.count({box.left(), box.top()}) && !ink.count({box.right(), box.top()}));
        QVERIFY(ink.count({box.left(), box.bottom()}) && ink.count({box.right(), box.bottom()}));
        QVERIFY(!ink.count({box.center().x(), box.bottom()}) && ink.count({box.center().x(), box.top()}));
    }

    void greekLetterFitsBlankOfFrenchLine()
    {
        // The first-period explanation of the proportional page: Ω1 is drawn at
        // x 568 into the six blanks before "évolue".
        QPainterCanvas canvas(Surface::Window, QSize(800, 20), clWhite);
        canvas.font = Font{FontFace::SansSerif, 8};
        canvas.textOut(10, 2,
                       "Première Période : Acquisition de X à t=0 : X=0, E=200 donc : Ep=E-X=200, "
                       "Epu=2.5*Ep=500, U1=U=2.4V. La vitesse      évolue");
        const QImage text = canvas.image().copy();
        for (int x = 566; x < 584; ++x)
            QVERIFY2(!columnHasInk(text, x, white), qPrintable(QStringLiteral("ink at x %1").arg(x)));
        QVERIFY(columnHasInk(text, 565, white) || columnHasInk(text, 564, white));
        int last = 799;
        while (!columnHasInk(text, last, white))
            --last;
        QVERIFY(last > 584 && last < 640);

        canvas.font.face = FontFace::Symbol;
        canvas.textOut(568, 2, "W1");
        for (int x = 0; x < 800; ++x)
            if (columnHasInk(canvas.image(), x, white) && !columnHasInk(text, x, white))
                QVERIFY2(x >= 566 && x < 584, qPrintable(QStringLiteral("Ω1 at x %1").arg(x)));
    }

    void noLigatures()
    {
        // "périodes..." keeps three dots: the desktop never joined them into one
        // ellipsis glyph, nor "TM" into a trademark sign.
        for (int size : {8, 10, 12}) {
            const QFontMetrics metrics(canvasFont(Font{FontFace::SansSerif, size}));
            QCOMPARE(metrics.horizontalAdvance(QStringLiteral("...")),
                     3 * metrics.horizontalAdvance(QLatin1Char('.')));
            QCOMPARE(metrics.horizontalAdvance(QStringLiteral("TM")),
                     metrics.horizontalAdvance(QLatin1Char('T')) +
                         metrics.horizontalAdvance(QLatin1Char('M')));
        }
        QPainterCanvas canvas(Surface::Window, smallSize, clWhite);
        canvas.textOut(2, 2, "...");
        QCOMPARE(inked(canvas).size(), std::size_t(3));
    }

    void boldLabelsFitTheirBoxes()
    {
        // The title and the menu labels are bold and were sized to it: one pixel
        // wider per character than regular, and still inside their boxes.
        struct Label {
            int characterHeightPx;
            const char *text;
            int boxWidthPx;
        };
        const Label labels[] = {
            {13, "Asservissement de position - Correction numérique", 352},
            {11, "MENU :", 45},
            {11, "Sélectionner :", 80},
        };
        for (const Label &label : labels) {
            const QString text = QString::fromUtf8(label.text);
            const QFont bold = uiFont(label.characterHeightPx, true);
            QVERIFY(QFontInfo(bold).bold());
            QVERIFY(QFontInfo(bold).exactMatch());
            const int width = QFontMetrics(bold).horizontalAdvance(text);
            QCOMPARE(width, QFontMetrics(uiFont(label.characterHeightPx)).horizontalAdvance(text) +
                                int(text.size()));
            QVERIFY2(width <= label.boxWidthPx, label.text);
        }
        QCOMPARE(QFontInfo(uiFont(11)).pixelSize(), 13);
        QCOMPARE(QFontInfo(uiFont(13)).pixelSize(), 16);
    }

    void copyPlacesSource()
    {
        QPainterCanvas source(Surface::Anim, QSize(10, 10), clRed);
        source.pen.color = clBlue;
        source.brush.color = clBlue;
        source.rectangle(0, 0, 1, 1); // still being painted when copied
        QPainterCanvas target(Surface::Scene, smallSize, clWhite);
        target.draw(5, 7, source);
        QCOMPARE(inkBox(target), QRect(5, 7, 10, 10));
        QCOMPARE(pixel(target, 5, 7), qRgb(0, 0, 255));
        QCOMPARE(pixel(target, 14, 16), red);

        target.draw(20, 0, target); // a copy of itself, shifted right
        QCOMPARE(pixel(target, 25, 7), qRgb(0, 0, 255));
        QCOMPARE(pixel(target, 34, 16), red);
    }

    void resizeKeepsContent()
    {
        QPainterCanvas canvas(Surface::Scene, QSize(10, 10), clWhite);
        canvas.rectangle(2, 2, 5, 5);
        canvas.resize(QSize(20, 15));
        QCOMPARE(canvas.image().size(), QSize(20, 15));
        QCOMPARE(pixel(canvas, 2, 2), black);
        QCOMPARE(pixel(canvas, 9, 9), white);
        QCOMPARE(pixel(canvas, 15, 12), qRgb(212, 208, 200));
        canvas.resize(QSize(4, 4));
        QCOMPARE(pixel(canvas, 2, 2), black);
    }
};

QTEST_MAIN(TestQPainterCanvas)
#include "tst_qpaintercanvas.moc"
