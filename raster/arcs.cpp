#include "raster/pathgeometry.h"

// Arcs and ellipses as Qt 6's raster engine makes them, step for step: cubic
// curves, one per quarter turn at most, with control points at kappa =
// 0.5522847498 of the radius; a partial quarter is cut from the whole one at
// the parameter that matches its angle.

namespace lodrix::pathfill {

namespace {

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

} // namespace

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

} // namespace lodrix::pathfill
