#include "raster/rastercanvas.h"

#include "raster/linewalk.h"
#include "raster/textraster.h"
#include "raster/thinpen.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <numbers>
#include <optional>
#include <utility>

// The canvas rules, as Qt paints them (Qt 6's raster engine,
// no antialiasing), pixel for pixel:
//  - a pixel is 0xFFRRGGBB; a colour 0xBBGGRR; clFace is RGB(212, 208, 200)
//    and clHighlight RGB(0, 0, 128), whatever the desktop says;
//  - a box given by two corners, in either order, covers x1..x2-1 and
//    y1..y2-1; a box of no width or height draws nothing;
//  - a one-pixel line is the classic canvas's Bresenham walk without its end
//    point (raster/linewalk.h); a dotted pen is 3 pixels on, 3 off, from each
//    line's start, and leaves the ground in its gaps;
//  - a pen wider than one pixel is solid, with round caps and round joins,
//    centred on the outline (raster/stroker.h); a box's or an ellipse's
//    outline runs from the corner (x1, y1) to the corner (x2-1, y2-1) of
//    the pixel grid, so that a 2-pixel pen covers x1-1 .. x2-1;
//  - a box with a solid one-pixel pen is its edge pixels round its fill; one
//    pixel wide or high, it is all edge, whatever the pen;
//  - an ellipse with a solid one-pixel pen is the midpoint ellipse of the box
//    shrunk by one pixel, whose outline reaches x2-1 and y2-1; with any other
//    pen it is four quarter curves, filled and then stroked;
//  - an arc runs counter-clockwise from the radial through its start point
//    to the radial through its end point, on the ellipse of the shrunk box,
//    the angles rounded to 1/16 degree; equal radials make a full turn;
//  - a polygon is filled by the odd-even rule, then its closed outline is
//    stroked;
//  - the dotted and other one-pixel outlines of boxes, polygons, ellipses and
//    arcs follow Qt's cosmetic pen (raster/thinpen.h);
//  - texts are drawn by raster/textraster.h, placed by their cell's top-left
//    corner, on a transparent ground;
//  - everything is clipped to the buffer.

namespace lodrix {

namespace {

constexpr std::uint32_t opaque = 0xFF000000u;

struct SchemeColor {
    Color id;
    std::uint32_t argb;
};

// The classic light scheme the lessons were laid out on.
constexpr SchemeColor scheme[] = {
    {clFace, 0xFFD4D0C8},      // RGB(212, 208, 200)
    {clHighlight, 0xFF000080}, // RGB(0, 0, 128)
};

// Qt paints an ellipse with a one-pixel pen by the midpoint rule up to this size.
constexpr int midpointEllipseLimitPx = 32767;

// Far beyond any buffer, and small enough for the fixed-point arithmetic of
// wide pens and fills to stay within 64 bits: coordinates and pen widths
// beyond are taken at the limit.
constexpr int coordinateLimitPx = 1 << 28;
constexpr int penWidthLimitPx = 1 << 24;

Point clamped(Point p)
{
    return {std::clamp(p.x, -coordinateLimitPx, coordinateLimitPx),
            std::clamp(p.y, -coordinateLimitPx, coordinateLimitPx)};
}

std::optional<PixelRect> coveredBox(Point p1, Point p2)
{
    const PixelRect box{std::min(p1.x, p2.x), std::min(p1.y, p2.y), std::abs(p2.x - p1.x),
                        std::abs(p2.y - p1.y)};
    return box.empty() ? std::nullopt : std::optional(box);
}

// Long runs are copied from their own start, doubling: the C library's copy
// uses the widest stores the machine has (the scene is cleared every tick).
void fillRun(std::uint32_t *run, int length, std::uint32_t argb)
{
    constexpr int seedPx = 16;
    std::fill_n(run, std::min(length, seedPx), argb);
    for (int done = seedPx; done < length;) {
        const int chunk = std::min(done, length - done);
        std::memcpy(run + done, run, std::size_t(chunk) * sizeof(std::uint32_t));
        done += chunk;
    }
}

// The area a pen of the given width touches along the box spanned by a and b.
PixelRect strokedBounds(Point a, Point b, int penWidth)
{
    const int reach = std::max(penWidth, 1);
    const int left = std::min(a.x, b.x) - reach;
    const int top = std::min(a.y, b.y) - reach;
    return {left, top, std::max(a.x, b.x) + reach - left + 1, std::max(a.y, b.y) + reach - top + 1};
}

PixelRect intersected(PixelRect a, PixelRect b)
{
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    return right > left && bottom > top ? PixelRect{left, top, right - left, bottom - top} : PixelRect{};
}

PixelRect united(PixelRect a, PixelRect b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    return {left, top, std::max(a.x + a.width, b.x + b.width) - left,
            std::max(a.y + a.height, b.y + b.height) - top};
}

// Angle of the radial through p, counter-clockwise in degrees, y down.
double radialDegrees(pathfill::PointF centre, Point p)
{
    return std::atan2(centre.y - p.y, p.x - centre.x) * 180.0 / std::numbers::pi;
}

int roundHalfAway(double v)
{
    return int(v + std::copysign(0.5, v));
}

constexpr int sixteenthsPerDegree = 16;

// The corners of a box's outline (excluded edges already taken off).
void boxOutline(pathfill::Path &path, PixelRect outline)
{
    const double left = outline.x, top = outline.y;
    const double right = left + outline.width, bottom = top + outline.height;
    path.clear();
    path.moveTo({left, top});
    path.lineTo({right, top});
    path.lineTo({right, bottom});
    path.lineTo({left, bottom});
}

// A midpoint ellipse in the box (x, y, w, h): its outline reaches x + w and
// y + h. Calls row(y, x, length, isOutline) for each run, the fill of a row
// before its outline.
template<class Row> void midpointEllipse(PixelRect box, bool filled, Row row)
{
    const int midx = box.x + (box.width + 1) / 2;
    const int midy = box.y + (box.height + 1) / 2;
    // Mirrors a run right of the centre column into the four quadrants.
    const auto runs = [&](int dx, int dy, int length) {
        if (length == 0)
            return;
        const int x = dx + midx;
        const int y = midy - dy;
        const int leftX = midx + (midx - x) - (length - 1) - (box.width & 1);
        const int leftLength = std::min(length, x - leftX);
        const int bottomY = midy + (midy - y) - (box.height & 1);
        if (filled && leftX + leftLength < x) {
            const int fillX = leftX + leftLength - 1;
            row(y, fillX, std::max(0, x - fillX), false);
            if (y < bottomY)
                row(bottomY, fillX, std::max(0, x - fillX), false);
        }
        row(y, leftX, leftLength, true);
        row(y, x, length, true);
        if (y < bottomY) {
            row(bottomY, leftX, leftLength, true);
            row(bottomY, x, length, true);
        }
    };
    const double a = double(box.width) / 2;
    const double b = double(box.height) / 2;
    double d = b * b - (a * a * b) + 0.25 * a * a;
    int x = 0;
    int y = (box.height + 1) / 2;
    int startx = x;
    while (a * a * (2 * y - 1) > 2 * b * b * (x + 1)) { // where the slope is below 1
        if (d < 0) {
            d += b * b * (2 * x + 3);
            ++x;
        } else {
            d += b * b * (2 * x + 3) + a * a * (-2 * y + 2);
            runs(startx, y, x - startx + 1);
            startx = ++x;
            --y;
        }
    }
    runs(startx, y, x - startx + 1);
    d = b * b * (x + 0.5) * (x + 0.5) + a * a * ((y - 1) * (y - 1) - b * b);
    const int miny = box.height & 1;
    while (y > miny) { // steep part: one pixel a row
        if (d < 0) {
            d += b * b * (2 * x + 2) + a * a * (-2 * y + 3);
            ++x;
        } else {
            d += a * a * (-2 * y + 3);
        }
        --y;
        runs(x, y, 1);
    }
}

} // namespace

std::uint32_t toArgb(Color c)
{
    if (isSystemColor(c)) {
        const auto *row = std::find_if(std::begin(scheme), std::end(scheme),
                                       [c](const SchemeColor &s) { return s.id == c; });
        // An unknown desktop colour reads as black, as the desktop answers for an index it lacks.
        return row == std::end(scheme) ? opaque : row->argb;
    }
    return opaque | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

RasterCanvas::RasterCanvas(Surface surface, int width, int height, Color fill)
    : Canvas(surface), width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(std::size_t(width_) * std::size_t(height_), toArgb(fill))
{}

void RasterCanvas::resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::vector<std::uint32_t> grown(std::size_t(width) * std::size_t(height), toArgb(clFace));
    const int keptWidth = std::min(width, width_);
    for (int y = 0; y < std::min(height, height_); ++y)
        std::copy_n(pixels_.begin() + std::ptrdiff_t(y) * width_, keptWidth,
                    grown.begin() + std::ptrdiff_t(y) * width);
    pixels_ = std::move(grown);
    width_ = width;
    height_ = height;
    markDirty({0, 0, width_, height_});
}

PixelRect RasterCanvas::takeDirtyRect()
{
    return std::exchange(dirty_, PixelRect{});
}

void RasterCanvas::markDirty(PixelRect r)
{
    dirty_ = united(dirty_, intersected(r, {0, 0, width_, height_}));
}

void RasterCanvas::fillBox(PixelRect box, std::uint32_t argb)
{
    const PixelRect r = intersected(box, {0, 0, width_, height_});
    if (r.empty())
        return;
    std::uint32_t *const first = pixels_.data() + std::ptrdiff_t(r.y) * width_ + r.x;
    fillRun(first, r.width, argb);
    for (int y = 1; y < r.height; ++y)
        std::memcpy(first + std::ptrdiff_t(y) * width_, first, std::size_t(r.width) * sizeof(std::uint32_t));
}

void RasterCanvas::fillSpans(const std::vector<pathfill::Span> &spans, std::uint32_t argb)
{
    // The filler keeps its spans inside the buffer.
    for (const pathfill::Span &s : spans)
        fillRun(pixels_.data() + std::ptrdiff_t(s.y) * width_ + s.x, s.length, argb);
}

void RasterCanvas::fillOutlinedBox(PixelRect covered)
{
    // With a solid one-pixel pen a box is its four edges round its fill.
    const std::uint32_t edge = toArgb(pen.color);
    if (covered.width <= 2 || covered.height <= 2) {
        fillBox(covered, edge);
        return;
    }
    if (brush.style == BrushStyle::Solid)
        fillBox({covered.x + 1, covered.y + 1, covered.width - 2, covered.height - 2}, toArgb(brush.color));
    fillBox({covered.x, covered.y, covered.width, 1}, edge);
    fillBox({covered.x, covered.y + covered.height - 1, covered.width, 1}, edge);
    fillBox({covered.x, covered.y + 1, 1, covered.height - 2}, edge);
    fillBox({covered.x + covered.width - 1, covered.y + 1, 1, covered.height - 2}, edge);
}

void RasterCanvas::strokeWide(const pathfill::Path &path)
{
    outline_.clear();
    stroker_.stroke(path, penWidth(), outline_);
    fillSpans(filler_.fill(outline_, pathfill::FillRule::Winding, width_, height_), toArgb(pen.color));
}

void RasterCanvas::strokeThin(const pathfill::Path &path, bool closed)
{
    ThinPen thin(pixels_.data(), width_, height_, toArgb(pen.color), pen.style == PenStyle::Dot);
    closed ? thin.polygon(path) : thin.path(path);
}

int RasterCanvas::penWidth() const
{
    return std::clamp(pen.width, 1, penWidthLimitPx);
}

void RasterCanvas::paintLine(Point from, Point to)
{
    if (from == to)
        return;
    from = clamped(from);
    to = clamped(to);
    markDirty(strokedBounds(from, to, penWidth()));
    if (penWidth() > 1) {
        path_.clear();
        path_.moveTo({double(from.x), double(from.y)});
        path_.lineTo({double(to.x), double(to.y)});
        strokeWide(path_);
        return;
    }
    const bool dotted = pen.style == PenStyle::Dot;
    const std::uint32_t argb = toArgb(pen.color);
    walkLineWithin(from, to, width_, height_, [&](int step, int x, int y) {
        if ((!dotted || dotIsOn(step)) && y >= 0 && y < height_ && x >= 0 && x < width_)
            pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)] = argb;
    });
}

std::optional<PixelRect> RasterCanvas::beginBox(Point &p1, Point &p2)
{
    p1 = clamped(p1);
    p2 = clamped(p2);
    const auto covered = coveredBox(p1, p2);
    if (covered)
        markDirty(strokedBounds(p1, p2, penWidth()));
    return covered;
}

void RasterCanvas::paintRect(Point p1, Point p2)
{
    const auto covered = beginBox(p1, p2);
    if (!covered)
        return;
    const bool thin = penWidth() <= 1;
    // Edges round a fill; one pixel wide or high, all edge, dotted or not.
    if (thin && (pen.style == PenStyle::Solid || covered->width == 1 || covered->height == 1)) {
        fillOutlinedBox(*covered);
        return;
    }
    const PixelRect outline{covered->x, covered->y, covered->width - 1, covered->height - 1};
    if (brush.style == BrushStyle::Solid)
        fillBox(outline, toArgb(brush.color));
    boxOutline(path_, outline);
    if (thin) {
        strokeThin(path_, true);
        return;
    }
    path_.lineTo(path_.point(0)); // closed
    strokeWide(path_);
}

void RasterCanvas::paintEllipse(Point p1, Point p2)
{
    const auto covered = beginBox(p1, p2);
    if (!covered)
        return;
    const bool thin = penWidth() <= 1;
    if (thin && (covered->width == 1 || covered->height == 1)) {
        fillOutlinedBox(*covered);
        return;
    }
    const PixelRect box{covered->x, covered->y, covered->width - 1, covered->height - 1};
    const bool filled = brush.style == BrushStyle::Solid;
    if (thin && pen.style == PenStyle::Solid && std::max(box.width, box.height) < midpointEllipseLimitPx) {
        const std::uint32_t edge = toArgb(pen.color);
        const std::uint32_t inside = toArgb(brush.color);
        midpointEllipse(box, filled, [&](int y, int x, int length, bool isOutline) {
            fillBox({x, y, length, 1}, isOutline ? edge : inside);
        });
        return;
    }
    path_.clear();
    pathfill::addEllipse(path_, box.x, box.y, box.width, box.height);
    if (filled)
        fillSpans(filler_.fill(path_, pathfill::FillRule::OddEven, width_, height_), toArgb(brush.color));
    thin ? strokeThin(path_, false) : strokeWide(path_);
}

void RasterCanvas::paintArc(Point p1, Point p2, Point start, Point end)
{
    start = clamped(start);
    end = clamped(end);
    const auto covered = beginBox(p1, p2);
    if (!covered)
        return;
    const pathfill::PointF centre{(p1.x + p2.x) / 2.0, (p1.y + p2.y) / 2.0};
    const double from = radialDegrees(centre, start);
    double span = radialDegrees(centre, end) - from;
    // Always counter-clockwise; equal radials make a full circle.
    if (span <= 0)
        span += 360.0;
    path_.clear();
    pathfill::addArc(path_, covered->x, covered->y, covered->width - 1, covered->height - 1,
                     roundHalfAway(from * sixteenthsPerDegree) / double(sixteenthsPerDegree),
                     roundHalfAway(span * sixteenthsPerDegree) / double(sixteenthsPerDegree));
    penWidth() > 1 ? strokeWide(path_) : strokeThin(path_, false);
}

void RasterCanvas::paintPolygon(std::span<const Point> points)
{
    if (points.empty())
        return;
    PixelRect outline;
    for (const Point &pt : points)
        outline = united(outline, strokedBounds(clamped(pt), clamped(pt), penWidth()));
    markDirty(outline);
    if (points.size() < 2)
        return;
    path_.clear();
    for (const Point &corner : points) {
        const Point p = clamped(corner);
        path_.empty() ? path_.moveTo({double(p.x), double(p.y)}) : path_.lineTo({double(p.x), double(p.y)});
    }
    if (brush.style == BrushStyle::Solid)
        fillSpans(filler_.fill(path_, pathfill::FillRule::OddEven, width_, height_), toArgb(brush.color));
    if (penWidth() > 1) {
        path_.lineTo(path_.point(0)); // closed
        strokeWide(path_);
    } else {
        strokeThin(path_, true);
    }
}

void RasterCanvas::paintText(Point at, std::string_view utf8)
{
    if (utf8.empty())
        return;
    markDirty(lodrix::paintText(pixels_.data(), width_, height_, at, font, toArgb(font.color), utf8));
}

void RasterCanvas::paintCopy(Point at, const Canvas &source)
{
    const auto *other = dynamic_cast<const RasterCanvas *>(&source);
    if (!other)
        return;
    const PixelRect target =
        intersected({at.x, at.y, other->width_, other->height_}, {0, 0, width_, height_});
    markDirty(target);
    if (target.empty())
        return;
    const std::uint32_t *rows =
        other->pixels_.data() + std::ptrdiff_t(target.y - at.y) * other->width_ + (target.x - at.x);
    std::ptrdiff_t rowStride = other->width_;
    if (other == this) {
        // Copying onto itself: take the rows first, as they were.
        copyRows_.resize(std::size_t(target.width) * std::size_t(target.height));
        for (int y = 0; y < target.height; ++y)
            std::copy_n(rows + y * rowStride, target.width,
                        copyRows_.begin() + std::ptrdiff_t(y) * target.width);
        rows = copyRows_.data();
        rowStride = target.width;
    }
    for (int y = 0; y < target.height; ++y)
        std::copy_n(rows + y * rowStride, target.width,
                    pixels_.begin() + std::ptrdiff_t(target.y + y) * width_ + target.x);
}

} // namespace lodrix
