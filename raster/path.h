#pragma once
// Paths of moves, lines and cubic curves on a pixel grid, the shapes the
// software canvas fills and strokes as Qt 6's raster engine does without
// antialiasing (arcs.cpp, stroker.h, filler.h), so that the software canvas
// and the QPainter canvas agree to the pixel.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lodrix::pathfill {

struct PointF {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const PointF &) const = default;
};

enum class Element : std::uint8_t { MoveTo, LineTo, CurveTo, CurveData };

// Moves, lines and cubic curves (a CurveTo point, then two CurveData points:
// second control point and end). Keeps its memory across clear().
class Path {
public:
    void clear();
    void moveTo(PointF p);
    void lineTo(PointF p);
    void cubicTo(PointF c1, PointF c2, PointF end);

    bool empty() const { return points_.empty(); }
    std::size_t size() const { return points_.size(); }
    Element type(std::size_t i) const { return types_[i]; }
    PointF point(std::size_t i) const { return points_[i]; }

private:
    std::vector<Element> types_;
    std::vector<PointF> points_;
};

// The ellipse inscribed in the box (x, y, w, h): a move to its rightmost
// point, then four quarter curves round through the bottom.
void addEllipse(Path &path, double x, double y, double w, double h);

// The arc of that ellipse from startDegrees over sweepDegrees, both
// counter-clockwise on the screen: a move to its start, then curves.
void addArc(Path &path, double x, double y, double w, double h, double startDegrees, double sweepDegrees);

} // namespace lodrix::pathfill
