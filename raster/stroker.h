#pragma once
// Wide pens: the outline a round pen draws along a path, to be filled by
// the winding rule (filler.h). The rules are written at the top of
// stroker.cpp.

#include "raster/path.h"

#include <vector>

namespace lodrix::pathfill {

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
} // namespace lodrix::pathfill
