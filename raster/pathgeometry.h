#pragma once
// The arithmetic the path filler's parts share, internal to raster/: Qt's
// fuzzy comparisons, QLineF's lines and Qt's cubic curves, in double
// precision and in Qt's order of operations (one rounding apart can move a
// pixel), and the curves of an arc (arcs.cpp).

#include "raster/path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lodrix::pathfill {

inline constexpr double kappa = 0.5522847498; // a quarter circle's control distance, per unit radius

// Qt's fuzzy comparisons: equal to 12 significant digits, zero to 1e-12.
inline bool fuzzyEqual(double a, double b)
{
    return std::abs(a - b) * 1000000000000. <= std::min(std::abs(a), std::abs(b));
}

inline bool fuzzyZero(double d)
{
    return std::abs(d) <= 0.000000000001;
}

// Points compare the way Qt's do: relative where both are non-zero.
inline bool samePoint(PointF a, PointF b)
{
    const auto same = [](double p, double q) {
        return (p == 0 || q == 0) ? fuzzyZero(p - q) : fuzzyEqual(p, q);
    };
    return same(a.x, b.x) && same(a.y, b.y);
}

inline PointF operator+(PointF a, PointF b)
{
    return {a.x + b.x, a.y + b.y};
}

inline PointF operator-(PointF a, PointF b)
{
    return {a.x - b.x, a.y - b.y};
}

inline PointF operator*(double k, PointF p)
{
    return {p.x * k, p.y * k};
}

namespace detail {
struct Line;
}

// A line from p1 to p2 with the arithmetic of QLineF.
struct detail::Line {
    PointF p1, p2;

    double dx() const { return p2.x - p1.x; }
    double dy() const { return p2.y - p1.y; }
    double length() const { return std::hypot(dx(), dy()); }
    bool isNull() const { return fuzzyEqual(p1.x, p2.x) && fuzzyEqual(p1.y, p2.y); }

    void setLength(double len)
    {
        const double old = length();
        if (old > 0)
            p2 = {p1.x + len * (dx() / old), p1.y + len * (dy() / old)};
    }
    void translate(double tx, double ty)
    {
        p1 = {p1.x + tx, p1.y + ty};
        p2 = {p2.x + tx, p2.y + ty};
    }
    // Turned a quarter turn clockwise on the screen about p1.
    Line normal() const { return {p1, {p1.x + dy(), p1.y + -dx()}}; }
    Line unit() const
    {
        const double x = dx();
        const double y = dy();
        const double len = std::hypot(x, y);
        return {p1, {p1.x + x / len, p1.y + y / len}};
    }
    // Counter-clockwise from +x on the screen, in degrees [0, 360).
    double angle() const
    {
        const double theta = std::atan2(-dy(), dx()) * (180 / std::numbers::pi);
        const double normalized = theta < 0 ? theta + 360 : theta;
        return fuzzyEqual(normalized, 360) ? 0 : normalized;
    }
    double angleTo(const Line &l) const
    {
        if (isNull() || l.isNull())
            return 0;
        const double delta = l.angle() - angle();
        const double normalized = delta < 0 ? delta + 360 : delta;
        return fuzzyEqual(delta, 360) ? 0 : normalized;
    }
    // Whether the two segments cross within both.
    bool crossesWithin(const Line &l) const
    {
        const PointF a = p2 - p1;
        const PointF b = l.p1 - l.p2;
        const PointF c = p1 - l.p1;
        const double denominator = a.y * b.x - a.x * b.y;
        if (denominator == 0 || !std::isfinite(denominator))
            return false;
        const double reciprocal = 1 / denominator;
        const double na = (b.y * c.x - b.x * c.y) * reciprocal;
        if (na < 0 || na > 1)
            return false;
        const double nb = (a.x * c.y - a.y * c.x) * reciprocal;
        return !(nb < 0 || nb > 1);
    }
};

using detail::Line;

struct Cubic {
    PointF a, b, c, d; // start, two control points, end

    PointF pointAt(double t) const
    {
        const double mt = 1. - t;
        const auto along = [&](double p1, double p2, double p3, double p4) {
            double u = p1 * mt + p2 * t;
            double v = p2 * mt + p3 * t;
            const double w = p3 * mt + p4 * t;
            u = u * mt + v * t;
            v = v * mt + w * t;
            return u * mt + v * t;
        };
        return {along(a.x, b.x, c.x, d.x), along(a.y, b.y, c.y, d.y)};
    }
    // The direction of the derivative turned a quarter turn, not normalised.
    PointF normalAt(double t) const
    {
        const double mt = 1. - t;
        const double ka = mt * mt;
        const double kb = t * mt;
        const double kc = t * t;
        return {(b.y - a.y) * ka + (c.y - b.y) * kb + (d.y - c.y) * kc,
                -(b.x - a.x) * ka - (c.x - b.x) * kb - (d.x - c.x) * kc};
    }
    // Halves at t = 1/2 by de Casteljau.
    void split(Cubic &first, Cubic &second) const
    {
        const auto half = [](double p, double q) { return (p + q) * .5; };
        const auto halves = [&](double p1, double p2, double p3, double p4, double *f, double *s) {
            const double mid23 = half(p2, p3);
            f[0] = p1;
            f[1] = half(p1, p2);
            s[2] = half(p3, p4);
            s[3] = p4;
            f[2] = half(f[1], mid23);
            s[1] = half(s[2], mid23);
            f[3] = s[0] = half(f[2], s[1]);
        };
        double fx[4], fy[4], sx[4], sy[4];
        halves(a.x, b.x, c.x, d.x, fx, sx);
        halves(a.y, b.y, c.y, d.y, fy, sy);
        first = {{fx[0], fy[0]}, {fx[1], fy[1]}, {fx[2], fy[2]}, {fx[3], fy[3]}};
        second = {{sx[0], sy[0]}, {sx[1], sy[1]}, {sx[2], sy[2]}, {sx[3], sy[3]}};
    }
    // Cuts at t: `left` gets [0, t], this keeps [t, 1].
    void splitLeftAt(double t, Cubic &left)
    {
        left.a = a;
        left.b = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        left.c = {b.x + t * (c.x - b.x), b.y + t * (c.y - b.y)};
        c = {c.x + t * (d.x - c.x), c.y + t * (d.y - c.y)};
        b = {left.c.x + t * (c.x - left.c.x), left.c.y + t * (c.y - left.c.y)};
        left.c = {left.b.x + t * (left.c.x - left.b.x), left.b.y + t * (left.c.y - left.b.y)};
        left.d = a = {left.c.x + t * (b.x - left.c.x), left.c.y + t * (b.y - left.c.y)};
    }
    Cubic onInterval(double t0, double t1) const
    {
        if (t0 == 0 && t1 == 1)
            return *this;
        Cubic rest = *this;
        Cubic result;
        rest.splitLeftAt(t0, result);
        rest.splitLeftAt((t1 - t0) / (1 - t0), result);
        return result;
    }
    double width() const { return std::max({a.x, b.x, c.x, d.x}) - std::min({a.x, b.x, c.x, d.x}); }
    double height() const { return std::max({a.y, b.y, c.y, d.y}) - std::min({a.y, b.y, c.y, d.y}); }
    Line startTangent() const
    {
        Line tangent{a, b};
        if (tangent.isNull())
            tangent = {a, c};
        if (tangent.isNull())
            tangent = {a, d};
        return tangent;
    }
};

// ---- Arcs ----------------------------------------------------------------

struct Box {
    double x, y, w, h;
};

// The curves of an arc: up to five cubics (three points each) into `curves`;
// returns the arc's start point.
PointF arcCurves(const Box &box, double startAngle, double sweep, PointF *curves, int &pointCount);

} // namespace lodrix::pathfill
