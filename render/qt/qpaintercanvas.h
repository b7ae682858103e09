#pragma once
// The canvas that paints: a QImage with the pixel rules of the classic
// desktop canvas (see render/canvas.h). Widgets only copy its image.

#include "render/canvas.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

    // The part of the image painted since the last call (empty: none), so
    // that a widget repaints only that instead of every control over it.
    QRect takeDirtyRect();

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

    void plotThinLine(Point from, Point to);
    void markDirty(const QRect &r);

    struct TextHash {
        using is_transparent = void; // found by string_view, kept as string
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // A text as it paints in one font and colour, on a transparent ground.
    struct TextPicture {
        QImage image;  // opaque where the glyphs are, transparent elsewhere
        QPoint offset; // of the image from the top-left corner of the text's cell
    };
    using Pictures = std::unordered_map<std::string, TextPicture, TextHash, std::equal_to<>>;
    // The lessons use a handful of fonts and colours, with the same few texts
    // on every tick: laying a text out and painting it glyph by glyph costs
    // more than the rest of a frame, so each font keeps its texts painted.
    struct CachedFont {
        Font font; // the colour aside
        QFont qfont;
        int ascentPx = 0;
        std::size_t pictureCount = 0;
        std::unordered_map<Color, Pictures> pictures;
    };
    CachedFont &currentFont();
    const TextPicture &picture(CachedFont &cached, std::string_view utf8);

    QImage image_;
    mutable std::optional<QPainter> painter_;
    std::deque<CachedFont> fonts_; // stays where it is as fonts are added
    std::vector<QPoint> points_;   // reused by polygons
    QRect dirty_;
};

} // namespace lodrix
