// The form on a scaled screen (Qt's scale factor 2 here) and zoomed: texts
// drawn at the device's size, the 1x layout scaled, the canvases grown
// sharp; and the growth of a picture by whole and fractional scales.

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "app/canvas/rasterimage.h"
#include "app/tvitesse.h"
#include "raster/upscale.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <memory>
#include <vector>

using namespace lodrix;

namespace {

// The rows of an image that hold ink of another colour than the ground.
int inkHeight(const QImage &image, QRgb ground)
{
    int top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != ground) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return bottom < top ? 0 : bottom - top + 1;
}

} // namespace

class TestScaling : public QObject {
    Q_OBJECT

    std::unique_ptr<Tvitesse> w;

private slots:
    void init()
    {
        w = std::make_unique<Tvitesse>(NumberFormat(","));
        w->Timer1->stop();
        w->show();
    }
    void cleanup() { w.reset(); }

    // At scale 2 the title is written twice as tall as the bitmap face
    // writes it at 1x, not in 1x glyphs spread apart.
    void textsGrowWithTheScale()
    {
        QCOMPARE(w->devicePixelRatioF(), 2.0);
        const QRgb face = toQColor(clFace).rgb();
        QImage oneX(400, 30, QImage::Format_RGB32);
        oneX.fill(face);
        {
            QPainter p(&oneX);
            p.setFont(uiFont(13, true));
            p.setPen(toQColor(clMaroon));
            p.drawText(QPoint(0, 20), w->Label1->text());
        }
        const int oneXInk = inkHeight(oneX, face);
        const int twoXInk = inkHeight(w->Label1->grab().toImage(), face);
        QVERIFY(twoXInk >= 2 * oneXInk - 3 && twoXInk <= 2 * oneXInk + 3);
    }

    // Zoomed, every control lies where its 1x place lies, scaled; the scene
    // is the 1x scene in whole-pixel blocks.
    void layoutAndCanvasesScale()
    {
        const QRect button1 = w->Button1->geometry();
        const QRect list = w->ListBox1->geometry();
        QCOMPARE(button1, QRect(488, 512, 105, 25));
        w->clickListItem(w->ListBox1, 2);
        w->Button1->click();
        for (int i = 0; i < 40; ++i)
            w->Timer1Timer();
        w->setZoom(150);
        QCOMPARE(w->Button1->geometry(), QRect(732, 768, 158, 38));
        QCOMPARE(w->ListBox1->geometry(), QRect(list.topLeft() * 1.5, list.size() * 1.5));
        QCOMPARE(w->FOND->geometry(), QRect(12, 24, 1178, 338));
        w->setZoom(100);
        QCOMPARE(w->Button1->geometry(), button1);

        // Scale 2: picture pixel (x, y) is the device block (2x, 2y)-(2x+1, 2y+1).
        const QImage scene = imageOf(w->sceneCanvas);
        const QImage shown = w->FOND->grab().toImage();
        QCOMPARE(shown.size(), scene.size() * 2);
        for (const QPoint p : {QPoint(10, 140), QPoint(120, 40), QPoint(500, 60), QPoint(784, 224)})
            for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
                QCOMPARE(shown.pixel(p * 2 + d), scene.pixel(p));
    }

    // Full screen fills it by the form's rule on the device's pixels (this
    // screen has two per logical pixel), the form centred; the zoom steps
    // wait, and leaving gives the window back at its zoom.
    void fullScreenFillsTheScreen_data()
    {
        QTest::addColumn<QSize>("screen"); // logical pixels
        QTest::addColumn<double>("deviceScale");
        QTest::addRow("3840 x 2160 device pixels: 2160 / 560") << QSize(1920, 1080) << 2160.0 / 560;
        QTest::addRow("2048 x 1536: 2048 / 800") << QSize(1024, 768) << 2048.0 / 800;
        QTest::addRow("1700 x 1190: blocks of 2") << QSize(850, 595) << 2.0;
    }
    void fullScreenFillsTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(double, deviceScale);
        w->setZoom(150);
        w->setFormFullScreen(true);
        w->resize(screen);
        const double zoom = deviceScale / 2;
        QVERIFY2(std::abs(w->zoomFactor() - zoom) < 1e-9, qPrintable(QString::number(w->zoomFactor())));
        const QSize form(int(std::ceil(800 * zoom - 1e-6)), int(std::ceil(560 * zoom - 1e-6)));
        QCOMPARE(w->formOrigin(),
                 QPoint((screen.width() - form.width()) / 2, (screen.height() - form.height()) / 2));
        QCOMPARE(w->FOND->geometry().topLeft(), w->formOrigin() + QPoint(int(8 * zoom), int(16 * zoom)));
        // The scene reaches the control's edges: its last device pixels are
        // its last picture pixel's.
        const QImage scene = imageOf(w->sceneCanvas);
        const QImage shown = w->FOND->grab().toImage();
        QCOMPARE(shown.pixel(shown.width() - 1, shown.height() - 1), scene.pixel(784, 224));
        QCOMPARE(shown.pixel(shown.width() - 1, 0), scene.pixel(784, 0));
        w->zoomInAction->trigger();
        QCOMPARE(w->zoomFactor(), zoom);
        w->setFormFullScreen(false);
        QCOMPARE(w->zoomFactor(), 1.5);
        QCOMPARE(w->Button1->geometry(), QRect(732, 768, 158, 38));
    }

    // At a fractional scale every 1-pixel line carries the same ink wherever
    // it lies, and pixels away from it are untouched.
    void fractionalScaleKeepsLinesEven()
    {
        constexpr int size = 12;
        constexpr double scale = 1.5;
        Upscaler upscaler;
        std::vector<double> inks;
        for (int x = 0; x < size; ++x) {
            std::vector<std::uint32_t> picture(size * size, 0xFFFFFFFFu);
            for (int y = 0; y < size; ++y)
                picture[std::size_t(y * size + x)] = 0xFF000000u;
            std::vector<std::uint32_t> device(18 * 18, 0);
            upscaler.scale({picture.data(), size, size}, {0, 0, size, size}, scale, {device.data(), 18, 18});
            double ink = 0;
            for (int dx = 0; dx < 18; ++dx) {
                const int blue = int(device[std::size_t(9 * 18 + dx)] & 0xFF);
                ink += (255 - blue) / 255.0;
                if (dx < int(x * scale) - 1 || dx > int((x + 1) * scale) + 1)
                    QCOMPARE(blue, 255);
            }
            inks.push_back(ink);
        }
        for (double ink : inks)
            QVERIFY2(std::abs(ink - scale) < 0.02, qPrintable(QString::number(ink)));
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    QApplication::setPalette(lodrixPalette());
    TestScaling t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_scaling.moc"
