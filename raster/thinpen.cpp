#include "raster/thinpen.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace lodrix {

void ThinPen::polygon(const pathfill::Path &path)
{
    const std::size_t n = path.size();
    if (n == 0)
        return;
    pathfill::PointF p = path.point(0);
    const pathfill::PointF movedTo = p;
    patternOffset_ = 0;
    lastPixel_ = {INT_MIN, INT_MIN};
    // The closing segment comes from the last point that is not the first again.
    const pathfill::PointF last = path.point(n > 2 && path.point(n - 1) == p ? n - 2 : n - 1);
    lastPoint(last.x, last.y, p.x, p.y);
    for (std::size_t i = 1; i < n; ++i) {
        const pathfill::PointF p2 = path.point(i);
        // A point whose segment drew nothing is skipped, so that tiny steps add up.
        if (segment(p.x, p.y, p2.x, p2.y, 0) || i == 1 || i == n - 1)
            p = p2;
    }
    segment(p.x, p.y, movedTo.x, movedTo.y, 0);
}

void ThinPen::path(const pathfill::Path &path)
{
    using pathfill::Element;
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t end = i + 1;
        while (end < path.size() && path.type(end) != Element::MoveTo)
            ++end;
        pathfill::PointF p = path.point(i);
        patternOffset_ = 0;
        lastPixel_ = {INT_MIN, INT_MIN};
        const bool closed = p == path.point(end - 1);
        if (closed && end - i >= 2) {
            const pathfill::PointF a = path.point(end - 2), b = path.point(end - 1);
            lastPoint(a.x, a.y, b.x, b.y);
        }
        int caps = closed ? noCaps : capBegin;
        for (++i; i < end;) {
            if (path.type(i) == Element::LineTo) {
                if (!closed && i == end - 1)
                    caps |= capEnd;
                const pathfill::PointF p2 = path.point(i);
                segment(p.x, p.y, p2.x, p2.y, caps);
                p = p2;
                ++i;
            } else if (path.type(i) == Element::CurveTo && i + 2 < end) {
                if (!closed && i == end - 3)
                    caps |= capEnd;
                curve(p, path.point(i), path.point(i + 1), path.point(i + 2), caps);
                p = path.point(i + 2);
                i += 3;
            } else {
                ++i;
            }
            caps = noCaps;
        }
        i = end;
    }
}

// The dotted pattern over the pixels start..stop (26.6) of one segment,
// walked backwards when the segment was swapped.
struct ThinPen::Dashes {
    int offset;
    int index = 0;
    int onParity;
    Dashes(ThinPen &pen, bool reverse, int start, int stop)
    {
        const int delta = stop - start;
        offset = reverse ? patternPx26 - pen.patternOffset_ - delta - ((start & 63) - 32)
                         : pen.patternOffset_ - ((start & 63) - 32);
        onParity = reverse ? 0 : 1;
        offset %= patternPx26;
        if (offset < 0)
            offset += patternPx26;
        while (offset >= dashPx26 * (index + 1))
            ++index;
        pen.patternOffset_ = (pen.patternOffset_ + delta) % patternPx26;
    }
    bool on() const { return ((index + onParity) & 1) != 0; }
    void next()
    {
        offset += 64;
        if (offset >= dashPx26 * (index + 1))
            index = (index + 1) % 2;
        offset %= patternPx26;
    }
};

bool ThinPen::clip(double &x1, double &y1, double &x2, double &y2)
{
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
        return lastPixel_.x = INT_MIN, true;
    const auto cut = [&](double &a1, double &b1, double a2, double b2, double at) {
        b1 += (b2 - b1) / (a2 - a1) * (at - a1);
        a1 = at;
    };
    // One axis at a time: a along it, b across it.
    const auto clipAxis = [&](double &a1, double &b1, double &a2, double &b2, double low, double high) {
        if (a1 < low) {
            if (a2 <= low)
                return true;
            cut(a1, b1, a2, b2, low);
        } else if (a1 > high) {
            if (a2 >= high)
                return true;
            cut(a1, b1, a2, b2, high);
        }
        if (a2 < low || a2 > high) {
            lastPixel_.x = INT_MIN;
            cut(a2, b2, a1, b1, a2 < low ? low : high);
        }
        return false;
    };
    if (clipAxis(x1, y1, x2, y2, xmin_, xmax_) || clipAxis(y1, x1, y2, x2, ymin_, ymax_))
        return lastPixel_.x = INT_MIN, true;
    return false;
}

void ThinPen::lastPoint(double rx1, double ry1, double rx2, double ry2)
{
    lastPixel_ = {INT_MIN, INT_MIN};
    if (clip(rx1, ry1, rx2, ry2))
        return;
    int x1 = to26(rx1), y1 = to26(ry1), x2 = to26(rx2), y2 = to26(ry2);
    const bool vertical = std::abs(x2 - x1) < std::abs(y2 - y1);
    if (!vertical && x1 == x2)
        return;
    int &a1 = vertical ? y1 : x1, &a2 = vertical ? y2 : x2;
    int &b1 = vertical ? x1 : y1, &b2 = vertical ? x2 : y2;
    const bool swapped = a1 > a2;
    if (swapped) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    const int step = fixedDiv(b2 - b1, a2 - a1);
    int across = b1 * 1024;
    const int along = (a1 + 32) >> 6;
    const int alongEnd = (a2 + 32) >> 6;
    if (along == alongEnd)
        return;
    across += ((((along * 64) + (step > 0 ? 32 : 0) - a1)) * step) >> 6;
    const Pixel at = swapped ? Pixel{across >> 16, along}
                             : Pixel{(across + (alongEnd - along - 1) * step) >> 16, alongEnd - 1};
    lastPixel_ = vertical ? at : Pixel{at.y, at.x};
    lastDir_ = vertical ? (swapped ? bottomToTop : topToBottom) : (swapped ? rightToLeft : leftToRight);
    lastAxisAligned_ = std::abs(step) < (1 << 14);
}

bool ThinPen::segment(double rx1, double ry1, double rx2, double ry2, int caps)
{
    bool didDraw = std::abs(rx2 - rx1) + std::abs(ry2 - ry1) >= 1.0;
    if (clip(rx1, ry1, rx2, ry2))
        return true;
    int x1 = to26(rx1), y1 = to26(ry1), x2 = to26(rx2), y2 = to26(ry2);
    const bool vertical = std::abs(x2 - x1) < std::abs(y2 - y1);
    if (!vertical && x1 == x2)
        return true;
    Pixel last = lastPixel_;
    // Along the major axis a, across the minor axis b.
    int &a1 = vertical ? y1 : x1, &a2 = vertical ? y2 : x2;
    int &b1 = vertical ? x1 : y1, &b2 = vertical ? x2 : y2;
    int dir = vertical ? topToBottom : leftToRight;
    const bool swapped = a1 > a2;
    if (swapped) {
        std::swap(a1, a2);
        std::swap(b1, b2);
        caps = swapCaps(caps);
        dir = vertical ? bottomToTop : rightToLeft;
    }
    const int step = fixedDiv(b2 - b1, a2 - a1);
    int across = b1 * 1024;
    if ((lastDir_ ^ (vertical ? verticalMask : horizontalMask)) == dir)
        caps |= swapped ? capEnd : capBegin;
    capAdjust(caps, a1, a2, across, step);
    int along = (a1 + 32) >> 6;
    int alongEnd = (a2 + 32) >> 6;
    // A cap must not move the start off the last segment's last pixel.
    if ((caps & capBegin) && (vertical ? lastPixel_.y : lastPixel_.x) == along + 1)
        ++along;
    if (along != alongEnd) {
        across += ((((along * 64) + (step > 0 ? 32 : 0) - a1)) * step) >> 6;
        const auto pixel = [vertical](int a, int b) { return vertical ? Pixel{b, a} : Pixel{a, b}; };
        Pixel first = pixel(along, across >> 16);
        last = pixel(alongEnd - 1, (across + (alongEnd - along - 1) * step) >> 16);
        if (swapped)
            std::swap(first, last);
        const bool axisAligned = std::abs(step) < (1 << 14);
        if (lastPixel_.x != INT_MIN) {
            if (first.x == lastPixel_.x && first.y == lastPixel_.y) {
                // painted by the segment before
                if (swapped) {
                    --alongEnd;
                } else {
                    ++along;
                    across += step;
                }
            } else if (lastDir_ != dir &&
                       (((axisAligned && lastAxisAligned_) && lastPixel_.x != first.x &&
                         lastPixel_.y != first.y) ||
                        (std::abs(lastPixel_.x - first.x) > 1 || std::abs(lastPixel_.y - first.y) > 1))) {
                // a corner pixel neither segment paints
                if (swapped) {
                    ++alongEnd;
                } else {
                    --along;
                    across -= step;
                }
            } else if (lastDir_ == dir && std::abs(lastPixel_.x - first.x) <= 1 &&
                       std::abs(lastPixel_.y - first.y) > 1) {
                // going on in the same direction after a jump: half a step over
                across += step >> 1;
                const int lastAcross =
                    swapped ? across >> 16 : (across + (alongEnd - along - 1) * step) >> 16;
                (vertical ? last.x : last.y) = lastAcross;
            }
        }
        lastDir_ = dir;
        lastAxisAligned_ = axisAligned;
        std::optional<Dashes> dashes;
        if (dotted_)
            dashes.emplace(*this, swapped, along * 64, alongEnd * 64);
        do {
            if (!dashes || dashes->on()) {
                const Pixel p = pixel(along, across >> 16);
                plot(p.x, p.y);
            }
            if (dashes)
                dashes->next();
            across += step;
        } while (++along < alongEnd);
        didDraw = true;
    }
    lastPixel_ = last;
    return didDraw;
}

void ThinPen::curve(pathfill::PointF p1, pathfill::PointF p2, pathfill::PointF p3, pathfill::PointF p4,
                    int caps)
{
    constexpr int maxHalvings = 6;
    Control points[3 * maxHalvings + 4];
    points[3] = {p1.x, p1.y};
    points[2] = {p2.x, p2.y};
    points[1] = {p3.x, p3.y};
    points[0] = {p4.x, p4.y};
    subdivide(points, maxHalvings, caps);
}

void ThinPen::subdivide(Control *points, int level, int caps)
{
    if (level) {
        const double dx = points[3].x - points[0].x;
        const double dy = points[3].y - points[0].y;
        const double len = .25 * (std::abs(dx) + std::abs(dy));
        if (std::abs(dx * (points[0].y - points[2].y) - dy * (points[0].x - points[2].x)) >= len ||
            std::abs(dx * (points[0].y - points[1].y) - dy * (points[0].x - points[1].x)) >= len) {
            halve(points);
            subdivide(points + 3, level - 1, caps & capBegin);
            subdivide(points, level - 1, caps & capEnd);
            return;
        }
    }
    segment(points[3].x, points[3].y, points[0].x, points[0].y, caps);
}

void ThinPen::halve(Control *points)
{
    const auto along = [points](double Control::*c) {
        const double half = .5;
        points[6].*c = points[3].*c;
        double cc = points[1].*c;
        const double dd = points[2].*c;
        double a = (points[0].*c + cc) * half;
        double b = (points[3].*c + dd) * half;
        points[1].*c = a;
        points[5].*c = b;
        cc = (cc + dd) * half;
        a = (a + cc) * half;
        b = (b + cc) * half;
        points[2].*c = a;
        points[4].*c = b;
        points[3].*c = (a + b) * half;
    };
    along(&Control::x);
    along(&Control::y);
}

} // namespace lodrix
