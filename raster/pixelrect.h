#pragma once
// A box of pixels on a plain buffer: what a drawing call may have touched.

namespace lodrix {

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect &) const = default;
};

} // namespace lodrix
