#include "raster/filler.h"

#include "raster/pathgeometry.h"

#include <algorithm>
#include <cmath>

// How Qt 6's raster engine fills a path without antialiasing, which this
// file follows step for step, in the same order of operations:
//  - curves are flattened into lines until their control points lie within
//    a quarter of a pixel (in a Manhattan measure) of the chord, at most nine
//    halvings deep, and every point is rounded to 1/64 pixel;
//  - a row of pixels is inside where its centres are: an edge covers the
//    rows whose centre lies in [top, bottom), its crossing of each centre
//    line is kept in 16.16 fixed point, and a pixel is inside when its
//    centre lies right of the crossing; the odd-even or winding rule then
//    picks the runs. Edges beyond the grid's sides are moved onto them.

namespace lodrix::pathfill {

namespace {

constexpr double flatnessPx = 0.25;   // how far a flattened curve may stray
constexpr int maxFlatteningDepth = 9; // halvings of one curve

} // namespace

// ---- Filling -------------------------------------------------------------

void Filler::flatten(const Path &path)
{
    flat_.clear();
    contourEnds_.clear();
    std::size_t contourStart = 0;
    const auto close = [&] {
        if (flat_.empty())
            return;
        if (!samePoint(flat_.back(), flat_[contourStart]))
            flat_.push_back(flat_[contourStart]);
    };
    for (std::size_t i = 0; i < path.size(); ++i) {
        switch (path.type(i)) {
        case Element::MoveTo:
            if (i + 1 == path.size())
                break;
            close();
            if (!flat_.empty())
                contourEnds_.push_back(flat_.size());
            contourStart = flat_.size();
            flat_.push_back(path.point(i));
            break;
        case Element::LineTo:
            flat_.push_back(path.point(i));
            break;
        case Element::CurveTo: {
            if (flat_.empty() || i + 2 >= path.size())
                break;
            Cubic stack[maxFlatteningDepth + 1];
            int levels[maxFlatteningDepth + 1];
            stack[0] = {flat_.back(), path.point(i), path.point(i + 1), path.point(i + 2)};
            levels[0] = maxFlatteningDepth;
            i += 2;
            for (int top = 0; top >= 0;) {
                const Cubic &b = stack[top];
                const double dy = b.d.y - b.a.y;
                const double dx = b.d.x - b.a.x;
                double l = std::abs(dx) + std::abs(dy);
                double d;
                if (l > 1.) {
                    d = std::abs(dx * (b.a.y - b.b.y) - dy * (b.a.x - b.b.x)) +
                        std::abs(dx * (b.a.y - b.c.y) - dy * (b.a.x - b.c.x));
                } else {
                    d = std::abs(b.a.x - b.b.x) + std::abs(b.a.y - b.b.y) + std::abs(b.a.x - b.c.x) +
                        std::abs(b.a.y - b.c.y);
                    l = 1.;
                }
                if (d < flatnessPx * l || levels[top] == 0) {
                    flat_.push_back(b.d);
                    --top;
                } else {
                    Cubic first, second;
                    b.split(first, second);
                    stack[top] = second;
                    stack[top + 1] = first;
                    levels[top + 1] = --levels[top];
                    ++top;
                }
            }
            break;
        }
        case Element::CurveData:
            break;
        }
    }
    close();
    if (!flat_.empty())
        contourEnds_.push_back(flat_.size());
}

const std::vector<Span> &Filler::fill(const Path &path, FillRule rule, int width, int height)
{
    spans_.clear();
    flatten(path);
    if (flat_.size() < 3 || width <= 0 || height <= 0)
        return spans_;
    fixed_.clear();
    const auto to26 = [](double v) {
        const double scaled = v * 64;
        return std::int64_t(scaled + std::copysign(0.5, scaled));
    };
    std::int64_t minY = 0, maxY = 0;
    for (const PointF &p : flat_) {
        const Vec26 v{to26(p.x), to26(p.y)};
        minY = fixed_.empty() ? v.y : std::min(minY, v.y);
        maxY = fixed_.empty() ? v.y : std::max(maxY, v.y);
        fixed_.push_back(v);
    }
    // Rows whose centre lies within the shape's height.
    top_ = std::max(0, int((minY + 32) >> 6));
    bottom_ = std::min(height - 1, int((maxY - 32) >> 6));
    if (top_ > bottom_)
        return spans_;
    left_ = 0;
    right_ = std::int64_t(width) << 16;
    edges_.clear();
    std::size_t first = 0;
    for (const std::size_t end : contourEnds_) {
        for (std::size_t j = first; j + 1 < end; ++j)
            addEdge(fixed_[j], fixed_[j + 1]);
        first = end;
    }
    scan(rule);
    return spans_;
}

void Filler::addEdge(Vec26 a, Vec26 b)
{
    int winding = 1;
    if (a.y > b.y) {
        std::swap(a, b);
        winding = -1;
    }
    int top = std::max(top_, int((a.y + 32) >> 6));
    int bottom = std::min(bottom_, int((b.y - 32) >> 6));
    if (top > bottom)
        return;
    // x at the centre of row `top`, in 16.16, half a pixel right so that a
    // shift down gives the first pixel whose centre is right of the edge.
    const std::int64_t start = 0x8000 + a.x * 1024;
    if (b.x == a.x) {
        edges_.push_back({std::clamp(start, left_, right_), 0, top, bottom, winding});
        return;
    }
    const double slopePx = double(b.x - a.x) / double(b.y - a.y);
    const auto slope = std::int64_t(slopePx * 65536.);
    std::int64_t x = start + ((slope * ((std::int64_t(top) << 16) + 0x8000 - a.y * 1024)) >> 16);
    if (clipEdge(x, top, bottom, slope, left_, winding) || clipEdge(x, top, bottom, slope, right_, winding))
        return;
    edges_.push_back({x, slope, top, bottom, winding});
}

// Moves the part of an edge beyond a side of the grid onto that side; true
// when nothing of it is left to add.
bool Filler::clipEdge(std::int64_t &x, int &top, int &bottom, std::int64_t slope, std::int64_t side,
                      int winding)
{
    const bool right = side == right_;
    if (x == side) {
        if ((slope > 0) ^ right)
            return false;
        edges_.push_back({side, 0, top, bottom, winding});
        return true;
    }
    const std::int64_t last = x + slope * (bottom - top);
    if (last == side) {
        if ((slope < 0) ^ right)
            return false;
        edges_.push_back({side, 0, top, bottom, winding});
        return true;
    }
    if ((last < side) ^ (x < side)) { // crosses the side
        const auto rows = std::int64_t(double(side - x) / (double(slope) * (1. / 65536.)));
        if ((x < side) ^ right) { // the top part is beyond
            const int height = int((rows + 1) >> 16);
            const int middle = top + height;
            edges_.push_back({side, 0, top, middle, winding});
            if (middle == bottom)
                return true;
            x += slope * (height + 1);
            top = middle + 1;
        } else { // the bottom part is
            const int height = int(rows >> 16);
            const int middle = top + height;
            if (middle != bottom) {
                edges_.push_back({side, 0, middle + 1, bottom, winding});
                bottom = middle;
            }
        }
        return false;
    }
    if ((x < side) ^ right) { // wholly beyond
        edges_.push_back({side, 0, top, bottom, winding});
        return true;
    }
    return false;
}

void Filler::scan(FillRule rule)
{
    if (edges_.empty())
        return;
    const int mask = rule == FillRule::Winding ? ~0 : 1;
    std::sort(edges_.begin(), edges_.end(), [](const Edge &a, const Edge &b) { return a.top < b.top; });
    active_.clear();
    std::size_t next = 0;
    for (int y = edges_.front().top; y <= bottom_; ++y) {
        for (; next < edges_.size() && edges_[next].top == y; ++next)
            active_.push_back(&edges_[next]);
        // Nearly sorted from the row before: insertion sort.
        for (std::size_t i = 1; i < active_.size(); ++i) {
            Edge *e = active_[i];
            std::size_t j = i;
            for (; j > 0 && e->x < active_[j - 1]->x; --j)
                active_[j] = active_[j - 1];
            active_[j] = e;
        }
        int x = 0;
        int winding = 0;
        std::size_t kept = 0;
        for (Edge *e : active_) {
            const int at = int(e->x >> 16);
            if ((winding & mask) && at > x)
                spans_.push_back({x, y, at - x});
            x = at;
            winding += e->winding;
            if (e->bottom != y) {
                e->x += e->slope;
                active_[kept++] = e;
            }
        }
        active_.resize(kept);
    }
}

} // namespace lodrix::pathfill
