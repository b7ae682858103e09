#include "raster/path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

// How Qt 6's raster engine paints a filled shape or a wide pen without
// antialiasing, which this file follows step for step, in double precision
// and in the same order of operations (one rounding apart can move a pixel):
//  - arcs and ellipses are cubic curves, one per quarter turn at most, with
//    control points at kappa = 0.5522847498 of the radius; a partial quarter
//    is cut from the whole one at the parameter that matches its angle;
//  - a wide pen's outline goes down one side of a subpath and back up the
//    other, each segment moved by half the width along its normal, curves
//    replaced by offset curves that stray by at most 1/width of a pixel
//    (between 0.01 and 0.25); where two segments meet, the outline cuts
//    through the joint when the offsets cross or turn back by more than
//    90.01 degrees and the next segment is longer than half the width, and
//    goes round it on an arc of that radius otherwise; the ends of an open
//    subpath get half-circle caps; the outline is filled by the winding rule;
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

constexpr double kappa = 0.5522847498; // a quarter circle's control distance, per unit radius
constexpr double flatnessPx = 0.25;    // how far a flattened curve may stray
constexpr int maxOffsetCurves = 16;    // per curve of the path
constexpr int maxFlatteningDepth = 9;  // halvings of one curve
constexpr double sharpTurnDegrees = 90.01;

// How far an offset curve may stray: less for wider pens, whose curves show more.
double offsetTolerance(double penWidth)
{
    return std::clamp(1.0 / penWidth, 0.01, 0.25);
}

// Qt's fuzzy comparisons: equal to 12 significant digits, zero to 1e-12.
bool fuzzyEqual(double a, double b)
{
    return std::abs(a - b) * 1000000000000. <= std::min(std::abs(a), std::abs(b));
}

bool fuzzyZero(double d)
{
    return std::abs(d) <= 0.000000000001;
}

// Points compare the way Qt's do: relative where both are non-zero.
bool samePoint(PointF a, PointF b)
{
    const auto same = [](double p, double q) {
        return (p == 0 || q == 0) ? fuzzyZero(p - q) : fuzzyEqual(p, q);
    };
    return same(a.x, b.x) && same(a.y, b.y);
}

PointF operator+(PointF a, PointF b)
{
    return {a.x + b.x, a.y + b.y};
}

PointF operator-(PointF a, PointF b)
{
    return {a.x - b.x, a.y - b.y};
}

PointF operator*(double k, PointF p)
{
    return {p.x * k, p.y * k};
}

} // namespace

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

namespace {

using detail::Line;

double dot(PointF a, PointF b)
{
    return a.x * b.x + a.y * b.y;
}

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

void bezierWeights(double t, double &wa, double &wb, double &wc, double &wd)
{
    const double mt = 1. - t;
    wb = mt * mt;
    wc = t * t;
    wd = wc * t;
    wa = wb * mt;
    wb *= 3. * t;
    wc *= 3. * mt;
}

// The parameter of the unit quarter-circle cubic whose point lies at `angle`
// degrees: two Newton steps on x, two on y, and their mean.
double parameterForAngle(double angle)
{
    if (fuzzyZero(angle))
        return 0;
    if (fuzzyEqual(angle, 90))
        return 1;
    const double radians = angle * (std::numbers::pi / 180);
    const double cosAngle = std::cos(radians);
    const double sinAngle = std::sin(radians);

    double tc = angle / 90;
    for (int i = 0; i < 2; ++i)
        tc -= ((((2 - 3 * kappa) * tc + 3 * (kappa - 1)) * tc) * tc + 1 - cosAngle) /
              (((6 - 9 * kappa) * tc + 6 * (kappa - 1)) * tc);
    double ts = tc;
    for (int i = 0; i < 2; ++i)
        ts -= ((((3 * kappa - 2) * ts - 6 * kappa + 3) * ts + 3 * kappa) * ts - sinAngle) /
              (((9 * kappa - 6) * ts + 12 * kappa - 6) * ts + 3 * kappa);
    return 0.5 * (tc + ts);
}

struct Box {
    double x, y, w, h;
};

// The points of the ellipse in box at `angle` and at `angle + length`.
void ellipsePoints(const Box &box, double angle, double length, PointF *start, PointF *end)
{
    const double w2 = box.w / 2;
    const double h2 = box.h / 2;
    const double angles[2] = {angle, angle + length};
    PointF *points[2] = {start, end};
    for (int i = 0; i < 2; ++i) {
        if (!points[i])
            continue;
        const double theta = angles[i] - 360 * int(std::floor(angles[i] / 360));
        double t = theta / 90;
        const int quadrant = int(t);
        t -= quadrant;
        t = parameterForAngle(90 * t);
        if (quadrant & 1)
            t = 1 - t;
        double wa, wb, wc, wd;
        bezierWeights(t, wa, wb, wc, wd);
        PointF p{wa + wb + wc * kappa, wd + wc + wb * kappa};
        if (quadrant == 1 || quadrant == 2)
            p.x = -p.x;
        if (quadrant == 0 || quadrant == 1)
            p.y = -p.y;
        *points[i] = PointF{box.x + box.w / 2, box.y + box.h / 2} + PointF{w2 * p.x, h2 * p.y};
    }
}

// The curves of an arc: up to five cubics (three points each) into `curves`;
// returns the arc's start point.
PointF arcCurves(const Box &box, double startAngle, double sweep, PointF *curves, int &pointCount)
{
    pointCount = 0;
    if (box.w == 0 && box.h == 0)
        return {};
    const double x = box.x, y = box.y, w = box.w, h = box.h;
    const double w2 = w / 2, w2k = w2 * kappa;
    const double h2 = h / 2, h2k = h2 * kappa;
    // The whole ellipse from 0 degrees clockwise on the screen, three points a quarter.
    const PointF points[13] = {
        {x + w, y + h2},       {x + w, y + h2 + h2k}, {x + w2 + w2k, y + h}, {x + w2, y + h},
        {x + w2 - w2k, y + h}, {x, y + h2 + h2k},     {x, y + h2},           {x, y + h2 - h2k},
        {x + w2 - w2k, y},     {x + w2, y},           {x + w2 + w2k, y},     {x + w, y + h2 - h2k},
        {x + w, y + h2},
    };
    sweep = std::clamp(sweep, -360.0, 360.0);
    if (startAngle == 0.0 && sweep == 360.0) {
        for (int i = 11; i >= 0; --i)
            curves[pointCount++] = points[i];
        return points[12];
    }
    if (startAngle == 0.0 && sweep == -360.0) {
        for (int i = 1; i <= 12; ++i)
            curves[pointCount++] = points[i];
        return points[0];
    }

    int startSegment = int(std::floor(startAngle / 90));
    int endSegment = int(std::floor((startAngle + sweep) / 90));
    double startT = (startAngle - startSegment * 90) / 90;
    double endT = (startAngle + sweep - endSegment * 90) / 90;
    const int delta = sweep > 0 ? 1 : -1;
    if (delta < 0) {
        startT = 1 - startT;
        endT = 1 - endT;
    }
    if (fuzzyZero(startT - 1.0)) { // no empty first segment
        startT = 0;
        startSegment += delta;
    }
    if (fuzzyZero(endT)) { // nor an empty last one
        endT = 1;
        endSegment -= delta;
    }
    startT = parameterForAngle(startT * 90);
    endT = parameterForAngle(endT * 90);
    const bool splitAtStart = !fuzzyZero(startT);
    const bool splitAtEnd = !fuzzyZero(endT - 1.0);
    const int end = endSegment + delta;
    const auto quarterStart = [](int segment) { return 3 * (3 - ((segment % 4) + 4) % 4); };
    if (startSegment == end)
        return delta > 0 ? points[quarterStart(startSegment) + 3] : points[quarterStart(startSegment)];

    PointF startPoint, endPoint;
    ellipsePoints(box, startAngle, sweep, &startPoint, &endPoint);
    for (int i = startSegment; i != end; i += delta) {
        const int j = quarterStart(i);
        Cubic b = delta > 0 ? Cubic{points[j + 3], points[j + 2], points[j + 1], points[j]}
                            : Cubic{points[j], points[j + 1], points[j + 2], points[j + 3]};
        if (startSegment == endSegment && fuzzyEqual(startT, endT))
            return startPoint;
        if (i == startSegment) {
            if (i == endSegment && splitAtEnd)
                b = b.onInterval(startT, endT);
            else if (splitAtStart)
                b = b.onInterval(startT, 1);
        } else if (i == endSegment && splitAtEnd) {
            b = b.onInterval(0, endT);
        }
        curves[pointCount++] = b.b;
        curves[pointCount++] = b.c;
        curves[pointCount++] = b.d;
    }
    curves[pointCount - 1] = endPoint;
    return startPoint;
}

// ---- Offset curves -------------------------------------------------------

enum class Shift { Ok, Discard, Split, Circle };

// Whether `shifted` stays at `offset` from `orig` within the threshold.
Shift checkOffset(const Cubic &orig, const Cubic &shifted, double offset, double threshold)
{
    const double o2 = offset * offset;
    const double maxDistLine = threshold * offset * offset;
    const double maxDistNormal = threshold * offset;
    for (double t = 0.25; t < 0.99; t += 0.25) {
        const PointF p1 = orig.pointAt(t);
        const PointF p2 = shifted.pointAt(t);
        double d = (p1.x - p2.x) * (p1.x - p2.x) + (p1.y - p2.y) * (p1.y - p2.y);
        if (std::abs(d - o2) > maxDistLine)
            return Shift::Split;
        const PointF n = orig.normalAt(t);
        const double l = std::abs(n.x) + std::abs(n.y);
        if (l != 0.0) {
            d = std::abs(n.x * (p1.y - p2.y) - n.y * (p1.x - p2.x)) / l;
            if (d > maxDistNormal)
                return Shift::Split;
        }
    }
    return Shift::Ok;
}

PointF unitNormal(PointF from, PointF to)
{
    return Line{{}, to - from}.normal().unit().p2;
}

// Moves the curve's control polygon by offset along its normals.
Shift shiftCurve(const Cubic &orig, Cubic &shifted, double offset, double threshold)
{
    PointF points[4];
    int map[4];
    int np = 0;
    points[np++] = orig.a;
    map[0] = 0;
    if (!(orig.a == orig.b))
        points[np++] = orig.b;
    map[1] = np - 1;
    if (!(orig.b == orig.c))
        points[np++] = orig.c;
    map[2] = np - 1;
    if (!(orig.c == orig.d))
        points[np++] = orig.d;
    map[3] = np - 1;
    if (np == 1)
        return Shift::Discard;

    if (np == 4 && orig.width() < .1 * offset && orig.height() < .1 * offset) {
        const double l =
            (orig.a.x - orig.b.x) * (orig.a.x - orig.b.x) +
            (orig.a.y - orig.b.y) * (orig.a.y - orig.b.y) * (orig.c.x - orig.d.x) * (orig.c.x - orig.d.x) +
            (orig.c.y - orig.d.y) * (orig.c.y - orig.d.y);
        const double turn =
            (orig.a.x - orig.b.x) * (orig.c.x - orig.d.x) + (orig.a.y - orig.b.y) * (orig.c.y - orig.d.y);
        if (turn < 0 && turn * turn < 0.8 * l)
            return Shift::Circle; // a tight U-turn: a half circle fits better
    }

    PointF moved[4];
    PointF prevNormal = unitNormal(points[0], points[1]);
    moved[0] = points[0] + offset * prevNormal;
    for (int i = 1; i < np - 1; ++i) {
        const PointF nextNormal = unitNormal(points[i], points[i + 1]);
        const PointF sum = prevNormal + nextNormal;
        const double r = 1.0 + prevNormal.x * nextNormal.x + prevNormal.y * nextNormal.y;
        moved[i] = fuzzyZero(r) ? points[i] + offset * prevNormal : points[i] + (offset / r) * sum;
        prevNormal = nextNormal;
    }
    moved[np - 1] = points[np - 1] + offset * prevNormal;
    shifted = {moved[map[0]], moved[map[1]], moved[map[2]], moved[map[3]]};
    return checkOffset(orig, shifted, offset, threshold);
}

// Two curves on the half circle at offset round a tight U-turn.
bool addHalfCircle(const Cubic &b, double offset, Cubic *out)
{
    PointF normals[3];
    normals[0] = {b.b.y - b.a.y, b.a.x - b.b.x};
    double dist = std::sqrt(normals[0].x * normals[0].x + normals[0].y * normals[0].y);
    if (fuzzyZero(dist))
        return false;
    normals[0] = {normals[0].x / dist, normals[0].y / dist};
    normals[2] = {b.d.y - b.c.y, b.c.x - b.d.x};
    dist = std::sqrt(normals[2].x * normals[2].x + normals[2].y * normals[2].y);
    if (fuzzyZero(dist))
        return false;
    normals[2] = {normals[2].x / dist, normals[2].y / dist};
    normals[1] = {b.a.x - b.b.x - b.c.x + b.d.x, b.a.y - b.b.y - b.c.y + b.d.y};
    const double scale = -1 * std::sqrt(normals[1].x * normals[1].x + normals[1].y * normals[1].y);
    normals[1] = {normals[1].x / scale, normals[1].y / scale};

    double angles[2];
    double sign = 1.;
    for (int i = 0; i < 2; ++i) {
        const double cosA =
            std::clamp(normals[i].x * normals[i + 1].x + normals[i].y * normals[i + 1].y, -1.0, 1.0);
        angles[i] = std::acos(cosA) * std::numbers::inv_pi;
    }
    if (angles[0] + angles[1] > 1.) { // more than half a turn
        normals[1] = {-normals[1].x, -normals[1].y};
        angles[0] = 1. - angles[0];
        angles[1] = 1. - angles[1];
        sign = -1.;
    }
    const PointF circle[3] = {
        b.a + offset * normals[0],
        PointF{0.5 * (b.a.x + b.d.x), 0.5 * (b.a.y + b.d.y)} + offset * normals[1],
        b.d + offset * normals[2],
    };
    for (int i = 0; i < 2; ++i) {
        const double k = 2.0 * kappa * sign * offset * angles[i];
        out[i] = {circle[i],
                  {circle[i].x - normals[i].y * k, circle[i].y + normals[i].x * k},
                  {circle[i + 1].x + normals[i + 1].y * k, circle[i + 1].y - normals[i + 1].x * k},
                  circle[i + 1]};
    }
    return true;
}

// Curves at `offset` from `curve`, splitting it where one does not fit;
// the tolerance grows when the pieces run out. Returns how many.
int offsetCurves(const Cubic &curve, Cubic *out, int maxCurves, double offset, float threshold)
{
    if (fuzzyEqual(curve.a.x, curve.b.x) && fuzzyEqual(curve.a.x, curve.c.x) &&
        fuzzyEqual(curve.a.x, curve.d.x) && fuzzyEqual(curve.a.y, curve.b.y) &&
        fuzzyEqual(curve.a.y, curve.c.y) && fuzzyEqual(curve.a.y, curve.d.y))
        return 0;
    --maxCurves;
    constexpr int stackSize = 10;
    Cubic stack[stackSize];
    Cubic *b = stack;
    Cubic *o = out;
    bool gaveUp = false;
    for (bool redo = true; redo && !gaveUp;) {
        redo = false;
        stack[0] = curve;
        b = stack;
        o = out;
        while (b >= stack) {
            const int depth = int(b - stack) + 1;
            if (depth == stackSize || o - out == maxCurves - depth) {
                threshold *= 1.5;
                gaveUp = threshold > 2.0;
                redo = !gaveUp;
                break;
            }
            const Shift res = shiftCurve(*b, *o, offset, threshold);
            if (res == Shift::Discard) {
                --b;
            } else if (res == Shift::Ok) {
                ++o;
                --b;
            } else if (res == Shift::Circle && maxCurves - (o - out) >= 2) {
                if (addHalfCircle(*b, offset, o))
                    o += 2;
                --b;
            } else {
                Cubic first, second;
                b->split(first, second);
                b[0] = second;
                b[1] = first;
                ++b;
            }
        }
    }
    if (gaveUp) {
        for (; b >= stack; --b) {
            const Shift res = shiftCurve(*b, *o, offset, threshold);
            if (res == Shift::Ok || res == Shift::Split)
                ++o;
        }
    }
    return int(o - out);
}

} // namespace

// ---- Paths ---------------------------------------------------------------

void Path::clear()
{
    types_.clear();
    points_.clear();
}

void Path::moveTo(PointF p)
{
    types_.push_back(Element::MoveTo);
    points_.push_back(p);
}

void Path::lineTo(PointF p)
{
    types_.push_back(Element::LineTo);
    points_.push_back(p);
}

void Path::cubicTo(PointF c1, PointF c2, PointF end)
{
    types_.insert(types_.end(), {Element::CurveTo, Element::CurveData, Element::CurveData});
    points_.insert(points_.end(), {c1, c2, end});
}

void addEllipse(Path &path, double x, double y, double w, double h)
{
    PointF curves[12];
    int count = 0;
    const PointF start = arcCurves({x, y, w, h}, 0, -360, curves, count);
    if (count == 0)
        return;
    path.moveTo(start);
    for (int i = 0; i < count; i += 3)
        path.cubicTo(curves[i], curves[i + 1], curves[i + 2]);
}

void addArc(Path &path, double x, double y, double w, double h, double startDegrees, double sweepDegrees)
{
    const Box box{x, y, w, h};
    if (box.w == 0 && box.h == 0)
        return;
    PointF start;
    ellipsePoints(box, startDegrees, 0, &start, nullptr);
    path.moveTo(start);
    PointF curves[15];
    int count = 0;
    const PointF curveStart = arcCurves(box, startDegrees, sweepDegrees, curves, count);
    if (!samePoint(curveStart, start))
        path.lineTo(curveStart);
    for (int i = 0; i < count; i += 3)
        path.cubicTo(curves[i], curves[i + 1], curves[i + 2]);
}

// ---- Wide pens -----------------------------------------------------------

void RoundPenStroker::stroke(const Path &path, double width, Path &outline)
{
    outline_ = &outline;
    width_ = width;
    forward_.clear();
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.type(i) == Element::MoveTo) {
            if (forward_.size() > 1)
                strokeSubpath();
            forward_.clear();
        }
        forward_.push_back({path.type(i), path.point(i)});
    }
    if (forward_.size() > 1)
        strokeSubpath();
    outline_ = nullptr;
}

void RoundPenStroker::strokeSubpath()
{
    // The way back: the same points from the end, each curve's control points swapped.
    backward_.clear();
    backward_.push_back({Element::MoveTo, forward_.back().p});
    for (std::size_t i = forward_.size() - 1; i-- > 0;) {
        Element type = Element::LineTo;
        switch (forward_[i + 1].type) {
        case Element::CurveData:
            type = forward_[i].type == Element::CurveTo ? Element::CurveData : Element::CurveTo;
            break;
        case Element::CurveTo:
            type = Element::CurveData;
            break;
        default:
            break;
        }
        backward_.push_back({type, forward_[i].p});
    }
    Line forwardStart{}, backwardStart{};
    const bool closed = strokeSide(forward_, false, forwardStart);
    const bool backClosed = strokeSide(backward_, !closed, backwardStart);
    if (!backClosed && !forwardStart.isNull())
        join(forward_.front().p, forwardStart, true);
}

bool RoundPenStroker::strokeSide(const std::vector<Item> &items, bool capFirst, Line &startTangent)
{
    const double offset = width_ / 2;
    const PointF start = items.front().p;
    PointF prev = start;
    bool first = true;
    // Starts the side's outline with a move, or with a cap from the other side.
    const auto begin = [&](const Line &tangent, PointF at) {
        if (capFirst)
            join(prev, tangent, true);
        else
            emitMove(at);
        startTangent = tangent;
        first = false;
    };
    for (std::size_t i = 1; i < items.size(); ++i) {
        const Item &e = items[i];
        if (e.type == Element::LineTo) {
            Line line{prev, e.p};
            if (samePoint(line.p1, line.p2))
                continue;
            Line normal = line.normal();
            normal.setLength(offset);
            line.translate(normal.dx(), normal.dy());
            if (first)
                begin(line, line.p1);
            else
                join(prev, line, false);
            emitLine(line.p2);
            prev = e.p;
        } else if (e.type == Element::CurveTo && i + 2 < items.size()) {
            const Cubic curve{prev, e.p, items[i + 1].p, items[i + 2].p};
            i += 2;
            Cubic offsets[maxOffsetCurves];
            const int count =
                offsetCurves(curve, offsets, maxOffsetCurves, offset, float(offsetTolerance(width_)));
            if (count) {
                Line tangent = curve.startTangent();
                const PointF shift = offsets[0].a - curve.a;
                tangent.translate(shift.x, shift.y);
                if (first)
                    begin(tangent, offsets[0].a);
                else
                    join(prev, tangent, false);
                for (int k = 0; k < count; ++k)
                    emitCubic(offsets[k].b, offsets[k].c, offsets[k].d);
            }
            prev = curve.d;
        }
    }
    const bool closed = fuzzyEqual(start.x, prev.x) && fuzzyEqual(start.y, prev.y);
    if (closed && !first)
        join(prev, startTangent, false);
    return closed;
}

void RoundPenStroker::join(PointF focal, const Line &next, bool cap)
{
    if (fuzzyEqual(back1_.x, next.p1.x) && fuzzyEqual(back1_.y, next.p1.y))
        return; // already there
    const Line prevLine{back2_, back1_};
    const double offset = width_ / 2;
    if (!cap) {
        // On the inner side of a turn the two offsets overlap: go through the focal point.
        const Line shortCut{prevLine.p2, next.p1};
        const double angle = shortCut.angleTo(prevLine);
        if ((prevLine.crossesWithin(next) || angle > sharpTurnDegrees) && next.length() > offset) {
            emitLine(focal);
            emitLine(next.p1);
            return;
        }
        const double fromAngle = prevLine.angle();
        const double sweep = std::abs(next.angle() - fromAngle);
        PointF curves[15];
        int count = 0;
        arcCurves({focal.x - offset, focal.y - offset, offset * 2, offset * 2}, fromAngle + 90, -sweep,
                  curves, count);
        for (int i = 0; i < count; i += 3)
            emitCubic(curves[i], curves[i + 1], curves[i + 2]);
        emitLine(next.p1);
        return;
    }
    // A half circle from the end of one side to the start of the other.
    Line l1 = prevLine;
    if (dot(PointF{prevLine.dx(), prevLine.dy()}, PointF{next.dx(), next.dy()}) > 0)
        l1 = {prevLine.p2, prevLine.p1};
    else
        l1.translate(l1.dx(), l1.dy());
    l1.setLength(kappa * offset);
    Line l2{focal, prevLine.p2};
    l2.translate(-l2.dy(), l2.dx());
    l2.setLength(kappa * offset);
    emitCubic(l1.p2, l2.p2, l2.p1);
    l2 = {l2.p1, {l2.p1.x - l2.dx(), l2.p1.y - l2.dy()}};
    l1.translate(next.p1.x - l1.p1.x, next.p1.y - l1.p1.y);
    emitCubic(l2.p2, l1.p2, l1.p1);
}

void RoundPenStroker::emitMove(PointF p)
{
    back2_ = back1_;
    back1_ = p;
    outline_->moveTo(p);
}

void RoundPenStroker::emitLine(PointF p)
{
    back2_ = back1_;
    back1_ = p;
    outline_->lineTo(p);
}

void RoundPenStroker::emitCubic(PointF c1, PointF c2, PointF end)
{
    // The direction the outline arrives from, for the next join.
    if (c2 == end)
        back2_ = c1 == end ? back1_ : c1;
    else
        back2_ = c2;
    back1_ = end;
    outline_->cubicTo(c1, c2, end);
}

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
