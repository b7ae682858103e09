#pragma once
// Filled shapes and wide pens on a pixel grid, as Qt 6's raster engine paints
// them without antialiasing, so that the software canvas and the QPainter
// canvas agree to the pixel. The rules are written once in pathfill.cpp.

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

namespace detail {
struct Line;
}

// The outline of a pen `width` pixels wide along a path, with round caps at
// open ends and round joins (a subpath that ends where it starts is closed).
class RoundPenStroker {
public:
    void stroke(const Path &path, double width, Path &outline);

private:
    struct Item {
        Element type;
        PointF p;
    };
    void strokeSubpath();
    bool strokeSide(const std::vector<Item> &items, bool capFirst, detail::Line &startTangent);
    void join(PointF focal, const detail::Line &next, bool cap);
    void emitMove(PointF p);
    void emitLine(PointF p);
    void emitCubic(PointF c1, PointF c2, PointF end);

    std::vector<Item> forward_;
    std::vector<Item> backward_;
    Path *outline_ = nullptr;
    double width_ = 1.0;
    PointF back1_; // the outline's last point, and the one before it
    PointF back2_;
};

// A run of pixels of one row: x .. x + length - 1.
struct Span {
    int x;
    int y;
    int length;
};

enum class FillRule { OddEven, Winding };

// The pixels inside a path on a grid of width x height pixels.
class Filler {
public:
    // Valid until the next call.
    const std::vector<Span> &fill(const Path &path, FillRule rule, int width, int height);

private:
    struct Vec26 { // 26.6 fixed point
        std::int64_t x;
        std::int64_t y;
    };
    struct Edge {
        std::int64_t x;     // 16.16, at the centre of row `top`
        std::int64_t slope; // 16.16 per row
        int top;
        int bottom;
        int winding;
    };
    void flatten(const Path &path);
    void addEdge(Vec26 a, Vec26 b);
    bool clipEdge(std::int64_t &x, int &top, int &bottom, std::int64_t slope, std::int64_t edge, int winding);
    void scan(FillRule rule);

    std::vector<PointF> flat_;
    std::vector<std::size_t> contourEnds_;
    std::vector<Vec26> fixed_;
    std::vector<Edge> edges_;
    std::vector<Edge *> active_;
    std::vector<Span> spans_;
    int top_ = 0;
    int bottom_ = 0;
    std::int64_t left_ = 0;
    std::int64_t right_ = 0;
};

} // namespace lodrix::pathfill
