#include "upscale.h"

#include <algorithm>
#include <cmath>

namespace lodrix {

namespace {

// A scale this close to a whole number is that number: 2.0000000001 from a
// division must still give clean blocks.
constexpr double wholeTolerance = 1e-6;

int wholeScale(double scale)
{
    const double f = std::round(scale);
    return f >= 1 && std::abs(scale - f) < wholeTolerance ? int(f) : 0;
}

// The mean of a and b with b weighing w/256, channel by channel.
std::uint32_t mix(std::uint32_t a, std::uint32_t b, int w)
{
    if (w == 0 || a == b)
        return a;
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int ca = int((a >> shift) & 0xFF);
        const int cb = int((b >> shift) & 0xFF);
        out |= std::uint32_t((ca * (256 - w) + cb * w + 128) >> 8) << shift;
    }
    return out;
}

PixelRect clip(PixelRect r, int width, int height)
{
    const int left = std::max(r.x, 0);
    const int top = std::max(r.y, 0);
    const int right = std::min(r.x + r.width, width);
    const int bottom = std::min(r.y + r.height, height);
    return {left, top, right - left, bottom - top};
}

} // namespace

PixelRect scaledArea(PixelRect area, double scale)
{
    const int left = int(std::floor(area.x * scale + wholeTolerance));
    const int top = int(std::floor(area.y * scale + wholeTolerance));
    const int right = int(std::ceil((area.x + area.width) * scale - wholeTolerance));
    const int bottom = int(std::ceil((area.y + area.height) * scale - wholeTolerance));
    return {left, top, right - left, bottom - top};
}

void Upscaler::prepare(Axis &axis, int deviceFrom, int deviceTo, double scale, int pictureSize)
{
    axis.first.resize(std::size_t(deviceTo - deviceFrom));
    axis.weight.resize(axis.first.size());
    for (int d = deviceFrom; d < deviceTo; ++d) {
        // Device pixel d covers [d / scale, (d + 1) / scale) of the picture:
        // at most two picture pixels when scale >= 1.
        const int first = std::clamp(int(std::floor(d / scale + wholeTolerance)), 0, pictureSize - 1);
        const double intoNext = std::clamp((d + 1) - (first + 1) * scale, 0.0, 1.0);
        const bool hasNext = first + 1 < pictureSize && scale >= 1;
        axis.first[std::size_t(d - deviceFrom)] = first;
        axis.weight[std::size_t(d - deviceFrom)] = hasNext ? int(std::lround(intoNext * 256)) : 0;
    }
}

void Upscaler::scale(ConstPixelBuffer from, PixelRect area, double scale, PixelBuffer to)
{
    const PixelRect device =
        clip(scaledArea(clip(area, from.width, from.height), scale), to.width, to.height);
    if (device.empty())
        return;
    if (const int f = wholeScale(scale)) {
        // Blocks: each picture row widened once, then copied f - 1 times down.
        const int firstColumn = device.x / f;
        const int lastColumn = (device.x + device.width - 1) / f;
        for (int y = device.y; y < device.y + device.height; ++y) {
            std::uint32_t *dst = to.pixels + std::size_t(y) * std::size_t(to.width);
            if (y > device.y && y % f != 0) {
                std::copy_n(dst - to.width + device.x, device.width, dst + device.x);
                continue;
            }
            const std::uint32_t *src = from.pixels + std::size_t(y / f) * std::size_t(from.width);
            std::uint32_t *out = dst + std::size_t(firstColumn) * std::size_t(f);
            // Whole blocks, even where the area starts or ends inside one:
            // their pixels are the same picture pixel's, within the row.
            for (int x = firstColumn; x <= lastColumn; ++x, out += f)
                std::fill_n(out, std::min(f, to.width - x * f), src[x]);
        }
        return;
    }
    prepare(columns_, device.x, device.x + device.width, scale, from.width);
    prepare(rows_, device.y, device.y + device.height, scale, from.height);
    for (int j = 0; j < device.height; ++j) {
        const int sy = rows_.first[std::size_t(j)];
        const int wy = rows_.weight[std::size_t(j)];
        const std::uint32_t *top = from.pixels + std::size_t(sy) * std::size_t(from.width);
        const std::uint32_t *below = wy ? top + from.width : top;
        std::uint32_t *dst = to.pixels + std::size_t(device.y + j) * std::size_t(to.width) + device.x;
        for (int i = 0; i < device.width; ++i) {
            const int sx = columns_.first[std::size_t(i)];
            const int wx = columns_.weight[std::size_t(i)];
            const int nx = wx ? sx + 1 : sx;
            dst[i] = mix(mix(top[sx], top[nx], wx), mix(below[sx], below[nx], wx), wy);
        }
    }
}

} // namespace lodrix
