// What reaches the screen: a tick repaints only the area its frame painted,
// and that area holds every changed pixel, so the screen always shows the
// surfaces exactly. Texts are laid as pictures kept by each font, and must
// paint what drawing the text afresh paints.

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

// Pixels that differ between two images of the same size, as a bounding box
// and a count.
struct Change {
    QRect box;
    int pixels = 0;
};

Change changed(const QImage &before, const QImage &after)
{
    Change c;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                c.box |= QRect(x, y, 1, 1);
                ++c.pixels;
            }
        }
    }
    return c;
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
        const Change stale = changed(fresh, onScreen);
        if (stale.pixels != 0)
            qWarning() << stale.pixels << "stale pixels in" << stale.box;
        QCOMPARE(stale.pixels, 0);
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
        QTest::addColumn<Paint>("paint");
        auto row = [](const char *name, Paint p) { QTest::addRow("%s", name) << p; };
        row("line", [](QPainterCanvas &c) { c.line(10, 10, 60, 30); });
        row("line drawn backwards", [](QPainterCanvas &c) { c.line(60, 30, 10, 10); });
        row("dotted line", [](QPainterCanvas &c) {
            c.pen.style = PenStyle::Dot;
            c.line(5, 50, 100, 50);
        });
        row("wide round-capped line", [](QPainterCanvas &c) {
            c.pen.width = 20;
            c.line(30, 30, 80, 30);
        });
        row("line leaving the image", [](QPainterCanvas &c) { c.line(100, 50, 200, 90); });
        row("rectangle", [](QPainterCanvas &c) { c.rectangle(10, 10, 50, 40); });
        row("wide-pen rectangle", [](QPainterCanvas &c) {
            c.pen.width = 4;
            c.rectangle(10, 10, 50, 40);
        });
        row("ellipse", [](QPainterCanvas &c) { c.ellipse(20, 5, 90, 55); });
        row("arc with a wide pen", [](QPainterCanvas &c) {
            c.pen.width = 4;
            c.arc(20, 10, 60, 50, 40, 50, 20, 30);
        });
        row("arm polygon", [](QPainterCanvas &c) {
            c.pen.width = 20;
            const Point arm[] = {{40, 30}, {90, 10}, {95, 20}, {45, 40}, {40, 30}};
            c.polygon(arm);
        });
        row("text", [](QPainterCanvas &c) { c.textOut(4, 4, "La vitesse évolue"); });
        row("large bold text", [](QPainterCanvas &c) {
            c.font = Font{FontFace::SansSerif, 15, clRed, true};
            c.textOut(0, 30, "Epu=2047");
        });
        row("Greek letters", [](QPainterCanvas &c) {
            c.font = Font{FontFace::Symbol, 12, clBlue, false};
            c.textOut(50, 20, "W1 q");
        });
        row("copy of another surface", [](QPainterCanvas &c) {
            QPainterCanvas arm(Surface::Anim, QSize(30, 20), clRed);
            c.draw(70, 30, arm);
        });
    }
    void paintedAreaHoldsEveryChange()
    {
        QFETCH(Paint, paint);
        QPainterCanvas canvas(Surface::Window, smallSize, clWhite);
        canvas.takeDirtyRect();
        const QImage before = canvas.image().copy();
        paint(canvas);
        const QRect dirty = canvas.takeDirtyRect();
        const Change c = changed(before, canvas.image());
        QVERIFY(c.pixels > 0);
        QVERIFY2(dirty.contains(c.box), qPrintable(QStringLiteral("painted %1,%2 %3x%4 outside %5,%6 %7x%8")
                                                       .arg(c.box.x())
                                                       .arg(c.box.y())
                                                       .arg(c.box.width())
                                                       .arg(c.box.height())
                                                       .arg(dirty.x())
                                                       .arg(dirty.y())
                                                       .arg(dirty.width())
                                                       .arg(dirty.height())));
        QVERIFY(canvas.image().rect().contains(dirty));
        QVERIFY(canvas.takeDirtyRect().isEmpty());
    }

    void textPicturePaintsTheText_data()
    {
        QTest::addColumn<Font>("font");
        QTest::addColumn<QString>("text");
        QTest::addRow("8 pt") << Font{FontFace::SansSerif, 8, clBlack, false} << "Ep = E - X";
        QTest::addRow("6 pt caption") << Font{FontFace::SansSerif, 6, clMaroon, false} << "Convertisseur";
        QTest::addRow("10 pt value") << Font{FontFace::SansSerif, 10, clRed, false} << "0,27202583907573";
        QTest::addRow("12 pt bold accents")
            << Font{FontFace::SansSerif, 12, clNavy, true} << "Période d'échantillonnage";
        QTest::addRow("15 pt junction sign") << Font{FontFace::SansSerif, 15, clBlue, false} << "+";
        QTest::addRow("Symbol 10 pt") << Font{FontFace::Symbol, 10, clBlack, false} << "W1";
        QTest::addRow("Symbol 12 pt") << Font{FontFace::Symbol, 12, clGreen, false} << "q";
    }
    void textPicturePaintsTheText()
    {
        QFETCH(Font, font);
        QFETCH(QString, text);
        constexpr QPoint at(7, 9);
        const QByteArray utf8 = text.toUtf8();

        // In the row's colour, then in yellow over it, then in the row's
        // colour again: the last one is the picture the first one left.
        const Color colors[] = {font.color, clYellow, font.color};
        QPainterCanvas canvas(Surface::Window, smallSize * 2, clWhite);
        for (Color c : colors) {
            canvas.font = font;
            canvas.font.color = c;
            canvas.textOut(at.x(), at.y(), utf8.toStdString());
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
        const Change c = changed(expected, canvas.image());
        QCOMPARE(c.pixels, 0);
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
        QTest::addRow("open loop, end-stop warning") << 1 << 300;
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
