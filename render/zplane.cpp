#include "zplane.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <span>
#include <string>

namespace lodrix {

namespace {

constexpr int crossHalfPx = 3;
constexpr int zeroRadiusPx = 3;
constexpr Point titleOffset{4, 2};
constexpr int textSizePt = 6;
constexpr int textCellPx = 13; // an 8-point line
constexpr int crossingLabelDx = 4;
constexpr int crossingLabelDy = -11;
constexpr int crossingLabelWidthPx = 34; // "G=99,9" at 6 points, and a margin
constexpr Color branchColors[] = {clNavy, clGreen, clPurple};

std::string rounded(const NumberFormat &f, double v, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return f.general(std::round(v * scale) / scale);
}

// The box's pixels: z = 0 at its centre, the unit circle a third of its side.
struct Plane {
    int left;
    int top;
    int size;

    int centreX() const { return left + size / 2; }
    int centreY() const { return top + size / 2; }
    int unitPx() const { return size / 3; }

    Point pixel(Complex z) const
    {
        return {centreX() + static_cast<int>(std::lround(z.real() * unitPx())),
                centreY() - static_cast<int>(std::lround(z.imag() * unitPx()))};
    }

    bool inside(Point p, int margin = 1) const
    {
        return p.x >= left + margin && p.x < left + size - margin && p.y >= top + margin &&
               p.y < top + size - margin;
    }
};

void drawBranch(Canvas &canvas, const Plane &plane, std::span<const Complex> branch)
{
    bool drawing = false;
    for (const Complex &z : branch) {
        const Point p = plane.pixel(z);
        if (!plane.inside(p)) {
            drawing = false;
            continue;
        }
        if (drawing)
            canvas.lineTo(p.x, p.y);
        else
            canvas.moveTo(p.x, p.y);
        drawing = true;
    }
}

void drawCross(Canvas &canvas, Point p)
{
    canvas.line(p.x - crossHalfPx, p.y - crossHalfPx, p.x + crossHalfPx + 1, p.y + crossHalfPx + 1);
    canvas.line(p.x + crossHalfPx, p.y - crossHalfPx, p.x - crossHalfPx - 1, p.y + crossHalfPx + 1);
}

} // namespace

void DrawZPlane(Canvas &canvas, const SampledLoop &loop, const NumberFormat &f, ZPlaneBox box)
{
    const Plane plane{box.topLeft.x, box.topLeft.y, box.size};
    const int zLeft = plane.left;
    const int zTop = plane.top;
    const int zSize = plane.size;
    const int zCentreX = plane.centreX();
    const int zCentreY = plane.centreY();
    const int unitCirclePx = plane.unitPx();

    canvas.pen = {clBlack, 1, PenStyle::Solid};
    canvas.brush = {clWhite, BrushStyle::Solid};
    canvas.rectangle(zLeft, zTop, zLeft + zSize, zTop + zSize);
    canvas.pen.style = PenStyle::Dot;
    canvas.line(zLeft + 1, zCentreY, zLeft + zSize - 1, zCentreY);
    canvas.line(zCentreX, zTop + 1, zCentreX, zTop + zSize - 1);
    canvas.pen.style = PenStyle::Solid;
    canvas.brush.style = BrushStyle::Clear;
    canvas.ellipse(zCentreX - unitCirclePx, zCentreY - unitCirclePx, zCentreX + unitCirclePx + 1,
                   zCentreY + unitCirclePx + 1);

    const RootLocus &locus = loop.locus();
    for (std::size_t b = 0; b < locus.branches.size(); ++b) {
        canvas.pen.color = branchColors[b % std::size(branchColors)];
        drawBranch(canvas, plane, locus.branches[b]);
    }
    // The plant's zero, where a branch ends as G grows.
    if (!locus.branches.empty()) {
        const SampledPlant &p = loop.plant();
        const Point zero = plane.pixel(Complex(-p.b0 / p.b1));
        canvas.pen.color = clBlack;
        if (plane.inside(zero, zeroRadiusPx + 1))
            canvas.ellipse(zero.x - zeroRadiusPx, zero.y - zeroRadiusPx, zero.x + zeroRadiusPx + 1,
                           zero.y + zeroRadiusPx + 1);
    }
    canvas.brush.style = BrushStyle::Solid;

    // Each crossing marked where it leaves or enters the circle, its gain
    // written once beside the upper point, inside the plane.
    canvas.font = Font{.face = FontFace::SansSerif, .size = textSizePt, .color = clBlack, .bold = false};
    for (const LocusCrossing &c : locus.crossings) {
        canvas.pen.color = clBlack;
        canvas.brush.color = clBlack;
        const Complex *upper = nullptr;
        for (const Complex &z : c.points) {
            const Point p = plane.pixel(z);
            canvas.rectangle(p.x - 1, p.y - 1, p.x + 2, p.y + 2);
            if (!upper || z.imag() > upper->imag())
                upper = &z;
        }
        if (!upper)
            continue;
        Point at = plane.pixel(*upper);
        at.x = at.x + crossingLabelDx + crossingLabelWidthPx < zLeft + zSize ? at.x + crossingLabelDx
                                                                             : at.x - crossingLabelWidthPx;
        at.y = std::max(at.y + crossingLabelDy, zTop + textCellPx);
        canvas.textOut(at.x, at.y, "G=" + rounded(f, c.gain, 1));
    }
    canvas.brush.color = clWhite;

    // A pole beyond the picture is held on its edge, crossed in red like
    // every pole outside the circle.
    const int low = zLeft + 1 + crossHalfPx;
    const int high = zLeft + zSize - 2 - crossHalfPx;
    for (const Complex &z : loop.poles()) {
        canvas.pen.color = std::abs(z) < 1.0 ? clBlue : clRed;
        const Point p = plane.pixel(z);
        drawCross(canvas, {std::clamp(p.x, low, high),
                           std::clamp(p.y, zTop + 1 + crossHalfPx, zTop + zSize - 2 - crossHalfPx)});
    }

    canvas.font.color = clBlue;
    canvas.textOut(zLeft + titleOffset.x, zTop + titleOffset.y,
                   locus.branches.empty() ? "Pôles en z" : "Lieu des pôles en z");
}

} // namespace lodrix
