#pragma once
// The canvas that paints without Qt: a plain buffer of 0xFFRRGGBB pixels,
// row after row (the memory of QImage::Format_RGB32), painted with the very
// pixels Qt 6's raster engine gives the same calls without antialiasing, on
// the desktop and in the browser alike. Its rules are written at the top of
// rastercanvas.cpp.

#include "raster/canvas.h"
#include "raster/filler.h"
#include "raster/path.h"
#include "raster/pixelrect.h"
#include "raster/stroker.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace lodrix {

// 0xBBGGRR, or a desktop colour of the fixed light scheme, as 0xFFRRGGBB.
std::uint32_t toArgb(Color c);

class RasterCanvas final : public Canvas {
public:
    RasterCanvas(Surface surface, int width, int height, Color fill = clFace);

    int width() const { return width_; }
    int height() const { return height_; }
    // Rows of width() pixels, stride width() * 4 bytes.
    std::uint32_t *pixels() { return pixels_.data(); }
    const std::uint32_t *pixels() const { return pixels_.data(); }

    // Keeps what is drawn; new area is face-coloured.
    void resize(int width, int height);

    // The part of the buffer painted since the last call (empty: none).
    PixelRect takeDirtyRect();

protected:
    void paintLine(Point from, Point to) override;
    void paintRect(Point p1, Point p2) override;
    void paintEllipse(Point p1, Point p2) override;
    void paintArc(Point p1, Point p2, Point start, Point end) override;
    void paintPolygon(std::span<const Point> points) override;
    void paintText(Point at, std::string_view utf8) override;
    void paintCopy(Point at, const Canvas &source) override;

private:
    void markDirty(PixelRect r);
    // A shape's box given by two corners: the corners clamped, the box
    // marked painted; nothing for an empty box.
    std::optional<PixelRect> beginBox(Point &p1, Point &p2);
    void fillBox(PixelRect box, std::uint32_t argb);
    void fillSpans(const std::vector<pathfill::Span> &spans, std::uint32_t argb);
    void fillOutlinedBox(PixelRect covered);
    void strokeWide(const pathfill::Path &path);
    void strokeThin(const pathfill::Path &path, bool closed);
    int penWidth() const;

    int width_;
    int height_;
    std::vector<std::uint32_t> pixels_;
    PixelRect dirty_;
    // Kept between calls: no allocation once a frame has been drawn.
    pathfill::Path path_;
    pathfill::Path outline_;
    pathfill::RoundPenStroker stroker_;
    pathfill::Filler filler_;
    std::vector<std::uint32_t> copyRows_;
};

} // namespace lodrix
