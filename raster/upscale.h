#pragma once
// A 1x picture shown on a screen with more device pixels per picture pixel
// (a scaled desktop, a zoomed form, a projector):
//  - at a whole scale F each picture pixel becomes an F x F block, exactly;
//  - at any other scale each device pixel takes the mean of the picture
//    pixels it covers, weighted by the area covered. Every 1-pixel line then
//    carries the same ink whatever its position, and only the device pixels
//    on its edges are mixed: nothing is blurred beyond them.
// Pixels are 0xFFRRGGBB, rows of the buffer's width.

#include "raster/pixelrect.h"

#include <cstdint>
#include <vector>

namespace lodrix {

struct PixelBuffer {
    std::uint32_t *pixels;
    int width;
    int height;
};

struct ConstPixelBuffer {
    const std::uint32_t *pixels;
    int width;
    int height;
};

// The device pixels that picture pixels `area` cover at `scale`.
PixelRect scaledArea(PixelRect area, double scale);

class Upscaler {
public:
    // Writes into `to` the device pixels of scaledArea(area, scale), clipped
    // to both buffers. `to` is the whole picture at that scale.
    void scale(ConstPixelBuffer from, PixelRect area, double scale, PixelBuffer to);

private:
    // One axis of an area-weighted reduction: device pixel d takes picture
    // pixels first[d] and first[d] + 1 with weights 256 - w[d] and w[d].
    struct Axis {
        std::vector<int> first;
        std::vector<int> weight; // in 1/256
    };
    static void prepare(Axis &axis, int deviceFrom, int deviceTo, double scale, int pictureSize);

    Axis columns_;
    Axis rows_;
};

} // namespace lodrix
