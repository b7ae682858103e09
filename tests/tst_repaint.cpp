// A tick repaints only the area its frame painted, so that area must hold
// every changed pixel; and the screen then shows what the window would paint
// afresh, at 1x and zoomed, where only what changed is grown again.

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "app/canvas/rasterimage.h"
#include "app/tvitesse.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace lodrix;

namespace {

using Paint = std::function<void(RasterCanvas &)>;

constexpr QSize smallSize(120, 60);

// The box around the pixels that differ between two images of the same size.
QRect changed(const QImage &before, const QImage &after)
{
    QRect box;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

QImage asRgb32(const QPixmap &p)
{
    return p.toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

Q_DECLARE_METATYPE(Paint)

class TestRepaint : public QObject {
    Q_OBJECT

    std::unique_ptr<Tvitesse> w;

    // The window's image on the screen, and the window as it would paint
    // itself afresh.
    void compareScreenWithFreshPaint()
    {
        QApplication::processEvents();
        const QImage onScreen = asRgb32(w->screen()->grabWindow(w->winId()));
        const QImage fresh = asRgb32(w->grab());
        QCOMPARE(onScreen.size(), fresh.size());
        QCOMPARE(changed(fresh, onScreen), QRect()); // else the box of the stale pixels
    }

    void tick(int n)
    {
        for (int i = 0; i < n; ++i) {
            w->Timer1Timer();
            QApplication::processEvents();
        }
    }

private slots:
    void initTestCase() { QApplication::setPalette(lodrixPalette()); }
    void init()
    {
        w = std::make_unique<Tvitesse>(NumberFormat(","));
        w->Timer1->stop(); // ticks come from the test
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanup() { w.reset(); }

    void paintedAreaHoldsEveryChange_data()
    {
        QTest::addColumn<int>("penWidth");
        QTest::addColumn<Paint>("paint");
        auto row = [](const char *name, int penWidth, Paint p) {
            QTest::addRow("%s", name) << penWidth << p;
        };
        row("line drawn backwards", 1, [](RasterCanvas &c) { c.line(60, 30, 10, 10); });
        row("wide round-capped line", 20, [](RasterCanvas &c) { c.line(30, 30, 80, 30); });
        row("line leaving the image", 1, [](RasterCanvas &c) { c.line(100, 50, 200, 90); });
        row("wide-pen rectangle", 4, [](RasterCanvas &c) { c.rectangle(10, 10, 50, 40); });
        row("ellipse", 1, [](RasterCanvas &c) { c.ellipse(20, 5, 90, 55); });
        row("arc with a wide pen", 4, [](RasterCanvas &c) { c.arc(20, 10, 60, 50, 40, 50, 20, 30); });
        row("arm polygon", 20, [](RasterCanvas &c) {
            const Point arm[] = {{40, 30}, {90, 10}, {95, 20}, {45, 40}, {40, 30}};
            c.polygon(arm);
        });
        row("large bold text", 1, [](RasterCanvas &c) {
            c.font = Font{FontFace::SansSerif, 15, clRed, true};
            c.textOut(0, 30, "Epu=2047");
        });
        row("copy of another surface", 1, [](RasterCanvas &c) {
            RasterCanvas arm(Surface::Anim, 30, 20, clRed);
            c.draw(70, 30, arm);
        });
    }
    void paintedAreaHoldsEveryChange()
    {
        QFETCH(int, penWidth);
        QFETCH(Paint, paint);
        RasterCanvas canvas(Surface::Window, smallSize.width(), smallSize.height(), clWhite);
        canvas.pen.width = penWidth;
        canvas.takeDirtyRect();
        const QImage before = imageOf(canvas).copy();
        paint(canvas);
        const QRect dirty = toQRect(canvas.takeDirtyRect());
        const QRect painted = changed(before, imageOf(canvas));
        QVERIFY(!painted.isEmpty());
        QCOMPARE(dirty.united(painted), dirty); // shows both boxes when a pixel escapes
        QVERIFY(imageOf(canvas).rect().contains(dirty));
        QVERIFY(canvas.takeDirtyRect().empty());
    }

    // The screen after ticks of each page, after the end tick with its new
    // button, and after handlers that clear the text area.
    void screenShowsTheSurfaces_data()
    {
        for (const char *column : {"menuEntry", "ticks", "zoom"})
            QTest::addColumn<int>(column);
        QTest::addRow("idle picture") << -1 << 1 << 100;
        QTest::addRow("presentation") << 0 << 60 << 100;
        QTest::addRow("open loop") << 1 << 150 << 100;
        QTest::addRow("two-step, end tick") << 4 << 320 << 100;
        QTest::addRow("free setting, end tick") << 5 << 320 << 100;
        QTest::addRow("presentation at 150 %%") << 0 << 60 << 150;
        QTest::addRow("open loop at 125 %%") << 1 << 150 << 125;
        QTest::addRow("two-step at 200 %%, end tick") << 4 << 320 << 200;
    }
    void screenShowsTheSurfaces()
    {
        QFETCH(int, menuEntry);
        QFETCH(int, ticks);
        QFETCH(int, zoom);
        w->setZoom(zoom);
        if (menuEntry >= 0) {
            w->clickListItem(w->ListBox1, menuEntry);
            if (menuEntry >= 2)
                w->clickListItem(w->ListBox2, 0);
            w->Button1->click();
        }
        tick(ticks);
        compareScreenWithFreshPaint();
    }

    void screenShowsAClearedTextArea()
    {
        w->clickListItem(w->ListBox1, 1);
        w->Button1->click();
        tick(200);
        w->clickListItem(w->ListBox1, 2);
        compareScreenWithFreshPaint();
        w->clickListItem(w->ListBox2, 1);
        w->Button2->click();
        tick(45);
        compareScreenWithFreshPaint();
    }
};

QTEST_MAIN(TestRepaint)
#include "tst_repaint.moc"
