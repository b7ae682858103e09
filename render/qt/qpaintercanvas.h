#pragma once
// The canvas that paints: a QImage with the pixel rules of the classic
// desktop canvas (see render/canvas.h). Widgets only copy its image.

#include "render/canvas.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QSize>

#include <optional>
#include <vector>

namespace lodrix {

class QPainterCanvas final : public Canvas {
public:
    QPainterCanvas(Surface surface, QSize size, Color fill = clFace);
    ~QPainterCanvas() override;

    // Reading the image finishes the drawing made so far.
    const QImage &image() const;
    QImage &image();
    // Keeps what is drawn; new area is face-coloured.
    void resize(QSize size);

protected:
    void paintLine(Point from, Point to) override;
    void paintRect(Point p1, Point p2) override;
    void paintEllipse(Point p1, Point p2) override;
    void paintArc(Point p1, Point p2, Point start, Point end) override;
    void paintPolygon(std::span<const Point> points) override;
    void paintText(Point at, std::string_view utf8) override;
    void paintCopy(Point at, const Canvas &source) override;

private:
    // One painter stays open across calls: opening one per call would cost
    // more than a whole frame of drawing.
    QPainter &painter();
    void endPainting() const;
    QPainter &shapePainter();
    void fillOutlinedBox(const QRect &covered);
    bool isAllOutline(const QRect &covered) const;

    struct CachedFont {
        Font font;
        QFont qfont;
        int ascentPx = 0;
    };
    const CachedFont &currentFont();

    QImage image_;
    mutable std::optional<QPainter> painter_;
    std::optional<CachedFont> font_;
    std::vector<QPoint> points_; // reused by lines and polygons
};

} // namespace lodrix
