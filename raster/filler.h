#pragma once
// The pixels inside a path: its curves flattened, its edges scanned row by
// row by the odd-even or the winding rule. The rules are written at the top
// of filler.cpp.

#include "raster/path.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lodrix::pathfill {

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
