#include "zplane.h"

#include "model/locusdesign.h"
#include "raster/textraster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace lodrix {

namespace {

constexpr int crossHalfPx = 3;
constexpr int zeroRadiusPx = 3;
constexpr int textSizePt = 6;
constexpr int largeTextSizePt = 8;
constexpr int textCellPx = 13;  // a 6-point line has the 8-point cell
constexpr int titleBandPx = 14; // the title's own row, above the plane
constexpr Point titleOffset{4, 1};
constexpr int labelMarginPx = 1; // between a label and whatever it avoids
constexpr int arrowLengthPx = 10;
constexpr int arrowHeadPx = 4;
constexpr int arrowInsetPx = 2; // the tip, from the plane's edge
constexpr Color branchColors[] = {clNavy, clGreen, clPurple};

std::string rounded(const NumberFormat &f, double v, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return f.general(std::round(v * scale) / scale);
}

// The plane under the title row: z = 0 at its centre, the unit circle a
// third of the box's side.
struct Plane {
    int left;
    int top;    // the plane's first row, under the title's
    int right;  // excluded
    int bottom; // excluded
    int unitPx;

    double centreX() const { return (left + right) / 2; }
    double centreY() const { return (top + bottom) / 2; }

    Point pixel(Complex z) const
    {
        return {static_cast<int>(centreX()) + static_cast<int>(std::lround(z.real() * unitPx)),
                static_cast<int>(centreY()) - static_cast<int>(std::lround(z.imag() * unitPx))};
    }

    // Whether a mark margin pixels wide about p fits in the plane, inside
    // its border.
    bool inside(Point p, int margin = 1) const
    {
        return p.x >= left + margin && p.x < right - margin && p.y >= top + margin && p.y < bottom - margin;
    }
};

// What the labels must keep clear of (branches, marks, labels placed) and,
// at a lesser cost, what they had better not hide (circle, axes), pixel by
// pixel over the box, with sums over rectangles.
class Occupancy {
public:
    Occupancy(int left, int top, int width, int height)
        : left_(left), top_(top), width_(width), height_(height), cells_(std::size_t(width * height), 0)
    {}

    enum Weight : unsigned char { Free = 0, Furniture = 1, Taken = 2 };

    void mark(int x, int y, Weight w)
    {
        x -= left_;
        y -= top_;
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return;
        unsigned char &c = cells_[std::size_t(y * width_ + x)];
        c = std::max<unsigned char>(c, w);
    }

    void markRect(int x1, int y1, int x2, int y2, Weight w)
    {
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x)
                mark(x, y, w);
    }

    // Every pixel a line from a to b may touch, both ends included.
    void markLine(Point a, Point b, Weight w)
    {
        const int steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
        for (int i = 0; i <= steps; ++i) {
            const double t = steps == 0 ? 0.0 : double(i) / steps;
            mark(static_cast<int>(std::lround(a.x + t * (b.x - a.x))),
                 static_cast<int>(std::lround(a.y + t * (b.y - a.y))), w);
        }
    }

    // Sums over the box, so that any rectangle's count is four reads.
    void sum()
    {
        taken_.assign(std::size_t((width_ + 1) * (height_ + 1)), 0);
        furniture_.assign(taken_.size(), 0);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const unsigned char c = cells_[std::size_t(y * width_ + x)];
                const std::size_t i = std::size_t((y + 1) * (width_ + 1) + x + 1);
                const std::size_t up = i - std::size_t(width_ + 1);
                taken_[i] = (c == Taken) + taken_[i - 1] + taken_[up] - taken_[up - 1];
                furniture_[i] = (c == Furniture) + furniture_[i - 1] + furniture_[up] - furniture_[up - 1];
            }
    }

    int taken(int x1, int y1, int x2, int y2) const { return count(taken_, x1, y1, x2, y2); }
    int furniture(int x1, int y1, int x2, int y2) const { return count(furniture_, x1, y1, x2, y2); }

private:
    int count(const std::vector<int> &s, int x1, int y1, int x2, int y2) const
    {
        x1 = std::clamp(x1 - left_, 0, width_);
        x2 = std::clamp(x2 - left_, 0, width_);
        y1 = std::clamp(y1 - top_, 0, height_);
        y2 = std::clamp(y2 - top_, 0, height_);
        if (x2 <= x1 || y2 <= y1)
            return 0;
        const auto at = [&](int x, int y) { return s[std::size_t(y * (width_ + 1) + x)]; };
        return at(x2, y2) - at(x1, y2) - at(x2, y1) + at(x1, y1);
    }

    int left_, top_, width_, height_;
    std::vector<unsigned char> cells_;
    std::vector<int> taken_, furniture_;
};

void drawBranch(Canvas &canvas, const Plane &plane, std::span<const Complex> branch, Occupancy &room)
{
    bool drawing = false;
    Point last;
    for (const Complex &z : branch) {
        const Point p = plane.pixel(z);
        if (!plane.inside(p)) {
            drawing = false;
            continue;
        }
        if (drawing) {
            canvas.lineTo(p.x, p.y);
            room.markLine(last, p, Occupancy::Taken);
        } else {
            canvas.moveTo(p.x, p.y);
            room.mark(p.x, p.y, Occupancy::Taken);
        }
        last = p;
        drawing = true;
    }
}

void drawCross(Canvas &canvas, Point p)
{
    canvas.line(p.x - crossHalfPx, p.y - crossHalfPx, p.x + crossHalfPx + 1, p.y + crossHalfPx + 1);
    canvas.line(p.x + crossHalfPx, p.y - crossHalfPx, p.x - crossHalfPx - 1, p.y + crossHalfPx + 1);
}

// A pole beyond the plane: an arrow on its edge, on the line from the
// centre to the pole and pointing at it.
void drawArrow(Canvas &canvas, const Plane &plane, Complex z, Occupancy &room)
{
    const double dx = z.real();
    const double dy = -z.imag();
    const double length = std::hypot(dx, dy);
    const double ux = dx / length;
    const double uy = dy / length;
    // How far along (ux, uy) from the centre the inset edge is.
    const double cx = plane.centreX();
    const double cy = plane.centreY();
    double reach = std::numeric_limits<double>::infinity();
    if (ux > 0)
        reach = std::min(reach, (plane.right - 1 - arrowInsetPx - cx) / ux);
    if (ux < 0)
        reach = std::min(reach, (plane.left + arrowInsetPx - cx) / ux);
    if (uy > 0)
        reach = std::min(reach, (plane.bottom - 1 - arrowInsetPx - cy) / uy);
    if (uy < 0)
        reach = std::min(reach, (plane.top + arrowInsetPx - cy) / uy);
    const auto at = [&](double along, double across) {
        return Point{static_cast<int>(std::lround(cx + along * ux - across * uy)),
                     static_cast<int>(std::lround(cy + along * uy + across * ux))};
    };
    const Point tip = at(reach, 0);
    const Point tail = at(reach - arrowLengthPx, 0);
    const Point head[] = {tip, at(reach - arrowHeadPx - 1, arrowHeadPx),
                          at(reach - arrowHeadPx - 1, -arrowHeadPx)};
    canvas.line(tail.x, tail.y, tip.x, tip.y);
    canvas.polygon(head);
    for (const Point &p : {tail, tip, head[1], head[2]})
        room.markRect(std::min({p.x, tip.x, tail.x}) - 1, std::min({p.y, tip.y, tail.y}) - 1,
                      std::max({p.x, tip.x, tail.x}) + 2, std::max({p.y, tip.y, tail.y}) + 2,
                      Occupancy::Taken);
}

// Where a label of width w goes: as near its anchor as can be, clear of
// every branch, mark and label, hiding as little of the circle and axes as
// can be. The cell's first and last rows hold no ink.
Point placeLabel(const Plane &plane, const Occupancy &room, Point anchor, int w)
{
    Point best = anchor;
    double bestCost = std::numeric_limits<double>::infinity();
    for (int y = plane.top + 1 - 1; y + textCellPx - 1 <= plane.bottom - 1; ++y)
        for (int x = plane.left + 2; x + w <= plane.right - 2; ++x) {
            const int x1 = x - labelMarginPx;
            const int y1 = y + 1 - labelMarginPx;
            const int x2 = x + w + labelMarginPx;
            const int y2 = y + textCellPx - 1 + labelMarginPx;
            const double gapX = std::max({0, x1 - anchor.x, anchor.x - x2});
            const double gapY = std::max({0, y1 - anchor.y, anchor.y - y2});
            // The cost is at least the distance: a place farther than the
            // best cost so far cannot beat it (the enlarged plane has five
            // times the places).
            if (gapX * gapX + gapY * gapY >= bestCost * bestCost)
                continue;
            const double cost = 1000.0 * room.taken(x1, y1, x2, y2) + 2.0 * room.furniture(x1, y1, x2, y2) +
                                std::hypot(gapX, gapY);
            if (cost < bestCost) {
                bestCost = cost;
                best = {x, y};
            }
        }
    return best;
}

// Where the gains were written, for the settings, place, separator and
// language they were placed for. A run draws the same box at every tick:
// its labels are placed once, on the first frame of new settings.
struct PlacedLabels {
    FreeSettings settings;
    Point topLeft;
    int size = 0;
    int width = 0;
    std::string separator;
    Language language;
    std::vector<Point> at; // one a crossing, in the locus's order
};

bool placedFor(const PlacedLabels &p, const SampledLoop &loop, const NumberFormat &f, ZPlaneBox box,
               const Language &language)
{
    return p.size == box.size && p.width == box.width && p.topLeft.x == box.topLeft.x &&
           p.topLeft.y == box.topLeft.y && p.settings == loop.settings() &&
           p.separator == f.decimalSeparator() && p.language == language;
}

Plane planeOf(ZPlaneBox box)
{
    return {box.topLeft.x, box.topLeft.y + titleBandPx, box.topLeft.x + box.across(),
            box.topLeft.y + box.size, box.size / 3};
}

} // namespace

void DrawZPlane(Canvas &canvas, const SampledLoop &loop, const NumberFormat &f, ZPlaneBox box)
{
    const int left = box.topLeft.x;
    const int top = box.topLeft.y;
    const int size = box.size;
    const int across = box.across();
    const Plane plane = planeOf(box);
    const int cx = static_cast<int>(plane.centreX());
    const int cy = static_cast<int>(plane.centreY());
    Occupancy room(left, top, across, size);

    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    canvas.rectangle(left, top, left + across, top + size);
    canvas.line(left + 1, plane.top - 1, left + across - 1, plane.top - 1);
    canvas.pen.style = PenStyle::Dot;
    canvas.line(left + 1, cy, left + across - 1, cy);
    canvas.line(cx, plane.top, cx, top + size - 1);
    room.markLine({left + 1, cy}, {left + across - 2, cy}, Occupancy::Furniture);
    room.markLine({cx, plane.top}, {cx, top + size - 2}, Occupancy::Furniture);
    canvas.pen.style = PenStyle::Solid;
    canvas.brush.style = BrushStyle::Clear;
    canvas.ellipse(cx - plane.unitPx, cy - plane.unitPx, cx + plane.unitPx + 1, cy + plane.unitPx + 1);
    for (int a = 0; a < 360; ++a) {
        const double t = a * 3.14159265358979 / 180;
        room.mark(cx + static_cast<int>(std::lround(plane.unitPx * std::cos(t))),
                  cy + static_cast<int>(std::lround(plane.unitPx * std::sin(t))), Occupancy::Furniture);
    }

    const RootLocus &locus = loop.locus();
    for (std::size_t b = 0; b < locus.branches.size(); ++b) {
        canvas.pen.color = branchColors[b % std::size(branchColors)];
        drawBranch(canvas, plane, locus.branches[b], room);
    }
    // The plant's zero, where a branch ends as G grows.
    if (!locus.branches.empty()) {
        const SampledPlant &p = loop.plant();
        const Point zero = plane.pixel(Complex(-p.b0 / p.b1));
        canvas.pen.color = clBlack;
        if (plane.inside(zero, zeroRadiusPx + 1)) {
            canvas.ellipse(zero.x - zeroRadiusPx, zero.y - zeroRadiusPx, zero.x + zeroRadiusPx + 1,
                           zero.y + zeroRadiusPx + 1);
            room.markRect(zero.x - zeroRadiusPx, zero.y - zeroRadiusPx, zero.x + zeroRadiusPx + 1,
                          zero.y + zeroRadiusPx + 1, Occupancy::Taken);
        }
    }

    // The poles, crossed in red outside the circle; a pole beyond the plane
    // is an arrow on its edge.
    canvas.brush.style = BrushStyle::Solid;
    for (const Complex &z : loop.poles()) {
        const Color color = std::abs(z) < 1.0 ? clBlue : clRed;
        canvas.pen.color = color;
        canvas.brush.color = color;
        const Point p = plane.pixel(z);
        if (plane.inside(p, crossHalfPx + 1)) {
            drawCross(canvas, p);
            room.markRect(p.x - crossHalfPx, p.y - crossHalfPx, p.x + crossHalfPx + 2, p.y + crossHalfPx + 2,
                          Occupancy::Taken);
        } else {
            drawArrow(canvas, plane, z, room);
        }
    }

    // Each crossing marked where it leaves or enters the circle.
    canvas.pen.color = clBlack;
    canvas.brush.color = clBlack;
    for (const LocusCrossing &c : locus.crossings)
        for (const Complex &z : c.points) {
            const Point p = plane.pixel(z);
            canvas.rectangle(p.x - 1, p.y - 1, p.x + 2, p.y + 2);
            room.markRect(p.x - 1, p.y - 1, p.x + 2, p.y + 2, Occupancy::Taken);
        }
    thread_local PlacedLabels placed;
    const bool known = placedFor(placed, loop, f, box, canvas.language());
    if (!known) {
        placed = {loop.settings(),      box.topLeft,       box.size, box.width,
                  f.decimalSeparator(), canvas.language(), {}};
        room.sum();
    }

    // Its gain written once, near the upper point, clear of everything and
    // over a white ground that hides the circle or an axis under it.
    // Enlarged, its texts are as large as the plots' labels, in the same cell.
    const Font labelFont{.face = FontFace::SansSerif,
                         .size = box.width > 0 ? largeTextSizePt : textSizePt,
                         .color = clBlack,
                         .bold = false};
    canvas.font = labelFont;
    canvas.pen = {clWhite, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    for (std::size_t i = 0; i < locus.crossings.size(); ++i) {
        const LocusCrossing &c = locus.crossings[i];
        const auto upper =
            std::max_element(c.points.begin(), c.points.end(),
                             [](const Complex &a, const Complex &b) { return a.imag() < b.imag(); });
        if (upper == c.points.end())
            continue;
        const std::string text = "G=" + rounded(f, c.gain, 1);
        const int w = textWidth(labelFont, canvas.language().tr(text));
        if (!known) {
            placed.at.resize(i + 1, plane.pixel(*upper));
            placed.at[i] = placeLabel(plane, room, plane.pixel(*upper), w);
            room.markRect(placed.at[i].x, placed.at[i].y + 1, placed.at[i].x + w,
                          placed.at[i].y + textCellPx - 1, Occupancy::Taken);
            room.sum();
        }
        const Point at = placed.at[i];
        canvas.rectangle(at.x, at.y + 1, at.x + w, at.y + textCellPx - 1);
        canvas.textOut(at.x, at.y, text);
    }

    canvas.font.color = clBlue;
    canvas.textOut(left + titleOffset.x, top + titleOffset.y,
                   locus.branches.empty() ? "Pôles en z" : "Lieu des pôles en z");
    canvas.pen.color = clBlack;
    canvas.brush.color = clWhite;
}

// ---- Pointing at the locus.

namespace {

// How far from a drawn branch a press or a hover still takes it, in pixels.
constexpr double pickReachPx = 6.0;
constexpr int readoutRadiusPx = 4;
constexpr int readoutLinePx = 11;

std::string fixed(const NumberFormat &f, double v, int decimals)
{
    return rounded(f, v, decimals);
}

} // namespace

Complex ZPlanePoint(ZPlaneBox box, Point p)
{
    const Plane plane = planeOf(box);
    return {(p.x - static_cast<int>(plane.centreX())) / double(plane.unitPx),
            (static_cast<int>(plane.centreY()) - p.y) / double(plane.unitPx)};
}

Point ZPlanePixel(ZPlaneBox box, Complex z)
{
    return planeOf(box).pixel(z);
}

std::optional<LocusPick> PickOnLocus(const SampledLoop &loop, ZPlaneBox box, Point p,
                                     std::optional<std::size_t> onBranch)
{
    const Plane plane = planeOf(box);
    const RootLocus &locus = loop.locus();
    if (!plane.inside(p, 0) || locus.gains.size() < 2)
        return std::nullopt;
    // The nearest point of the branches as drawn, in pixels: a segment
    // between two gains of the locus, both in the plane.
    const double cx = static_cast<int>(plane.centreX());
    const double cy = static_cast<int>(plane.centreY());
    const auto at = [&](Complex z) {
        return Complex(cx + z.real() * plane.unitPx, cy - z.imag() * plane.unitPx);
    };
    const Complex target(p.x, p.y);
    double best = std::numeric_limits<double>::infinity();
    std::size_t bestBranch = 0;
    std::size_t bestIndex = 0;
    for (std::size_t b = 0; b < locus.branches.size(); ++b) {
        if (onBranch && *onBranch != b)
            continue;
        const std::vector<Complex> &branch = locus.branches[b];
        for (std::size_t i = 0; i + 1 < branch.size() && i + 1 < locus.gains.size(); ++i) {
            if (!plane.inside(plane.pixel(branch[i])) || !plane.inside(plane.pixel(branch[i + 1])))
                continue;
            const Complex a = at(branch[i]);
            const Complex d = at(branch[i + 1]) - a;
            const double length2 = std::norm(d);
            const double t =
                length2 > 0.0 ? std::clamp(((target - a) * std::conj(d)).real() / length2, 0.0, 1.0) : 0.0;
            const double distance = std::abs(a + t * d - target);
            if (distance < best) {
                best = distance;
                bestBranch = b;
                bestIndex = i;
            }
        }
    }
    // A press off the branches takes nothing; a drag follows its branch
    // wherever the hand goes.
    if (!std::isfinite(best) || (!onBranch && best > pickReachPx))
        return std::nullopt;
    // The gain whose pole comes nearest the point, between the samples
    // either side, as the slider rounds it.
    const std::size_t low = bestIndex == 0 ? 0 : bestIndex - 1;
    const std::size_t high = std::min(bestIndex + 2, locus.gains.size() - 1);
    const Complex z = ZPlanePoint(box, p);
    const GainAtPoint found = gainNearestPoint(loop.settings(), z, locus.gains[low], locus.gains[high]);
    FreeSettings chosen = loop.settings();
    chosen.gain = designGain(found.gain);
    return LocusPick{bestBranch, chosen.gain, poleNearest(chosen, found.pole), best};
}

void DrawLocusReadout(Canvas &canvas, const LocusPick &pick, double period, const NumberFormat &f,
                      ZPlaneBox box)
{
    const Plane plane = planeOf(box);
    const Point p = plane.pixel(pick.pole);
    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush.style = BrushStyle::Clear;
    if (plane.inside(p, readoutRadiusPx + 1))
        canvas.ellipse(p.x - readoutRadiusPx, p.y - readoutRadiusPx, p.x + readoutRadiusPx + 1,
                       p.y + readoutRadiusPx + 1);
    std::vector<std::string> lines{"G=" + f.general(pick.gain)};
    if (const std::optional<PoleCharacter> c = poleCharacter(pick.pole, period)) {
        lines.back() += "  ζ=" + fixed(f, c->damping, 2);
        lines.push_back("ωn=" + fixed(f, c->naturalFrequency, c->naturalFrequency < 100.0 ? 1 : 0) +
                        " rad/s");
    }
    // Written in the half of the plane the pole is not in, over a white ground.
    const Font font{.face = FontFace::SansSerif, .size = textSizePt, .color = clBlack, .bold = false};
    canvas.font = font;
    const int height = readoutLinePx * int(lines.size());
    const int y0 = p.y > plane.centreY() ? plane.top + 2 : plane.bottom - 2 - height;
    canvas.pen = {clWhite, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    int width = 0;
    for (const std::string &line : lines)
        width = std::max(width, textWidth(font, line));
    canvas.rectangle(plane.left + 2, y0, plane.left + 4 + width, y0 + height + 1);
    for (std::size_t i = 0; i < lines.size(); ++i)
        canvas.textOut(plane.left + 3, y0 - 1 + readoutLinePx * int(i), lines[i]);
    canvas.pen.color = clBlack;
}

} // namespace lodrix
