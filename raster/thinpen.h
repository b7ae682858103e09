#pragma once
// The software canvas's thin pen (rastercanvas.cpp): the one-pixel outlines
// of boxes, polygons, ellipses and arcs, as Qt 6's cosmetic pen paints them
// without antialiasing.

#include "raster/path.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

namespace lodrix {

// Qt's cosmetic one-pixel pen, for the outlines that are not the classic
// canvas's own lines: each segment is walked along its major axis from the
// pixel whose centre is nearest its start, in 26.6 fixed point; where two
// segments meet, a pixel painted twice is dropped and a missing corner pixel
// added; a dotted pen's pattern runs on from one segment to the next.
class ThinPen {
public:
    ThinPen(std::uint32_t *pixels, int width, int height, std::uint32_t argb, bool dotted)
        : pixels_(pixels), width_(width), height_(height), argb_(argb), dotted_(dotted), xmax_(width + 1),
          ymax_(height + 1)
    {}

    // A closed polygon: its points, then back to the first.
    void polygon(const pathfill::Path &path);

    // Subpaths of lines and curves; one that ends where it starts is closed,
    // an open one gets half a pixel more at both ends.
    void path(const pathfill::Path &path);

private:
    enum Caps { noCaps = 0, capBegin = 1, capEnd = 2 };
    enum Direction { none = 0, topToBottom = 1, bottomToTop = 2, leftToRight = 4, rightToLeft = 8 };
    static constexpr int verticalMask = 3;
    static constexpr int horizontalMask = 12;
    static constexpr int dashPx26 = 192; // 3 px in 26.6
    static constexpr int patternPx26 = 2 * dashPx26;

    struct Pixel {
        int x;
        int y;
    };

    static int to26(double v) { return int(v * 64.); }
    static int fixedDiv(int x, int y)
    {
        return std::abs(x) > 0x7fff ? int((std::int64_t(x) * 65536) / y) : (x * 65536) / y;
    }
    static int swapCaps(int caps) { return ((caps & capBegin) << 1) | ((caps & capEnd) >> 1); }
    static void capAdjust(int caps, int &from, int &to, int &across, int step)
    {
        if (caps & capBegin) {
            from -= 32;
            across -= step >> 1;
        }
        if (caps & capEnd)
            to += 32;
    }

    void plot(int x, int y)
    {
        if (x >= 0 && x < width_ && y >= 0 && y < height_)
            pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)] = argb_;
    }

    struct Dashes;

    // Clips a segment to one pixel round the buffer; true when nothing is left.
    bool clip(double &x1, double &y1, double &x2, double &y2);

    // The last pixel and direction of a closed outline's last segment, so
    // that its first segment joins it without a gap or a double pixel.
    void lastPoint(double rx1, double ry1, double rx2, double ry2);

    // One segment; returns whether it drew (or could have).
    bool segment(double rx1, double ry1, double rx2, double ry2, int caps);

    struct Control {
        double x, y;
    };

    // A curve, halved until flat enough, up to six times.
    void curve(pathfill::PointF p1, pathfill::PointF p2, pathfill::PointF p3, pathfill::PointF p4, int caps);

    // points[3] is the start, points[0] the end.
    void subdivide(Control *points, int level, int caps);

    // Halves points[0..3] into points[3..6] (start half) and points[0..3].
    static void halve(Control *points);

    std::uint32_t *pixels_;
    int width_;
    int height_;
    std::uint32_t argb_;
    bool dotted_;
    // Segments are clipped to one pixel beyond the buffer.
    double xmin_ = -1;
    double xmax_;
    double ymin_ = -1;
    double ymax_;
    int patternOffset_ = 0;
    Pixel lastPixel_{INT_MIN, INT_MIN};
    int lastDir_ = none;
    bool lastAxisAligned_ = false;
};

} // namespace lodrix
