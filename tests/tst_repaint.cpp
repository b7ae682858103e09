// A tick repaints only the area its frame painted, so that area must hold
// every changed pixel; texts are pictures kept by each font, and must paint
// what drawing the text afresh paints.

#include "app/tvitesse.h"
#include "render/qt/colors.h"
#include "render/qt/fonts.h"
#include "render/qt/qpaintercanvas.h"

#include <QApplication>
#include <QFontMetrics>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace lodrix;

namespace {

using Paint = std::function<void(QPainterCanvas &)>;

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
Q_DECLARE_METATYPE(lodrix::Font)

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
        row("line drawn backwards", 1, [](QPainterCanvas &c) { c.line(60, 30, 10, 10); });
        row("wide round-capped line", 20, [](QPainterCanvas &c) { c.line(30, 30, 80, 30); });
        row("line leaving the image", 1, [](QPainterCanvas &c) { c.line(100, 50, 200, 90); });
        row("wide-pen rectangle", 4, [](QPainterCanvas &c) { c.rectangle(10, 10, 50, 40); });
        row("ellipse", 1, [](QPainterCanvas &c) { c.ellipse(20, 5, 90, 55); });
        row("arc with a wide pen", 4, [](QPainterCanvas &c) { c.arc(20, 10, 60, 50, 40, 50, 20, 30); });
        row("arm polygon", 20, [](QPainterCanvas &c) {
            const Point arm[] = {{40, 30}, {90, 10}, {95, 20}, {45, 40}, {40, 30}};
            c.polygon(arm);
        });
        row("large bold text", 1, [](QPainterCanvas &c) {
            c.font = Font{FontFace::SansSerif, 15, clRed, true};
            c.textOut(0, 30, "Epu=2047");
        });
        row("Greek letters", 1, [](QPainterCanvas &c) {
            c.font = Font{FontFace::Symbol, 12, clBlue, false};
            c.textOut(50, 20, "W1 q");
        });
        row("copy of another surface", 1, [](QPainterCanvas &c) {
            QPainterCanvas arm(Surface::Anim, QSize(30, 20), clRed);
            c.draw(70, 30, arm);
        });
    }
    void paintedAreaHoldsEveryChange()
    {
        QFETCH(int, penWidth);
        QFETCH(Paint, paint);
        QPainterCanvas canvas(Surface::Window, smallSize, clWhite);
        canvas.pen.width = penWidth;
        canvas.takeDirtyRect();
        const QImage before = canvas.image().copy();
        paint(canvas);
        const QRect dirty = canvas.takeDirtyRect();
        const QRect painted = changed(before, canvas.image());
        QVERIFY(!painted.isEmpty());
        QCOMPARE(dirty.united(painted), dirty); // shows both boxes when a pixel escapes
        QVERIFY(canvas.image().rect().contains(dirty));
        QVERIFY(canvas.takeDirtyRect().isEmpty());
    }

    void textPicturePaintsTheText_data()
    {
        QTest::addColumn<Font>("font");
        QTest::addColumn<QString>("text");
        QTest::addRow("6 pt caption") << Font{FontFace::SansSerif, 6, clMaroon, false} << "Convertisseur";
        QTest::addRow("12 pt bold accents")
            << Font{FontFace::SansSerif, 12, clNavy, true} << "Période d'échantillonnage";
        QTest::addRow("15 pt junction sign") << Font{FontFace::SansSerif, 15, clBlue, false} << "+";
        QTest::addRow("Symbol 12 pt") << Font{FontFace::Symbol, 12, clGreen, false} << "q";
    }
    void textPicturePaintsTheText()
    {
        QFETCH(Font, font);
        QFETCH(QString, text);
        constexpr QPoint at(7, 9);

        // In the row's colour, then in yellow over it, then in the row's
        // colour again: the last one is the picture the first one left.
        const Color colors[] = {font.color, clYellow, font.color};
        QPainterCanvas canvas(Surface::Window, smallSize * 2, clWhite);
        for (Color c : colors) {
            canvas.font = font;
            canvas.font.color = c;
            canvas.textOut(at.x(), at.y(), text.toStdString());
        }

        QImage expected(smallSize * 2, QImage::Format_RGB32);
        expected.fill(toQColor(clWhite));
        {
            const QFont qfont = canvasFont(font);
            QPainter p(&expected);
            p.setFont(qfont);
            for (Color c : colors) {
                p.setPen(toQColor(c));
                p.drawText(at.x(), at.y() + QFontMetrics(qfont).ascent(), text);
            }
        }
        QCOMPARE(changed(expected, canvas.image()), QRect());
    }

    // The screen after ticks of each page, after the end tick with its new
    // button, and after handlers that clear the text area.
    void screenShowsTheSurfaces_data()
    {
        QTest::addColumn<int>("menuEntry");
        QTest::addColumn<int>("ticks");
        QTest::addRow("idle picture") << -1 << 1;
        QTest::addRow("presentation") << 0 << 60;
        QTest::addRow("open loop") << 1 << 150;
        QTest::addRow("proportional") << 2 << 100;
        QTest::addRow("pole compensation, end tick") << 3 << 320;
        QTest::addRow("two-step, end tick") << 4 << 320;
    }
    void screenShowsTheSurfaces()
    {
        QFETCH(int, menuEntry);
        QFETCH(int, ticks);
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

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setPalette(lodrixPalette());
    TestRepaint t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_repaint.moc"
