#include "raster/stroker.h"

#include "raster/pathgeometry.h"

#include <algorithm>
#include <cmath>

// How Qt 6's raster engine outlines a wide pen, which this file follows step
// for step: the outline goes down one side of a subpath and back up the
// other, each segment moved by half the width along its normal, curves
// replaced by offset curves that stray by at most 1/width of a pixel
// (between 0.01 and 0.25); where two segments meet, the outline cuts
// through the joint when the offsets cross or turn back by more than
// 90.01 degrees and the next segment is longer than half the width, and
// goes round it on an arc of that radius otherwise; the ends of an open
// subpath get half-circle caps. The outline is then filled by the winding
// rule (filler.h).

namespace lodrix::pathfill {

namespace {

constexpr int maxOffsetCurves = 16; // per curve of the path
constexpr double sharpTurnDegrees = 90.01;

// How far an offset curve may stray: less for wider pens, whose curves show more.
double offsetTolerance(double penWidth)
{
    return std::clamp(1.0 / penWidth, 0.01, 0.25);
}

double dot(PointF a, PointF b)
{
    return a.x * b.x + a.y * b.y;
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

} // namespace lodrix::pathfill
