#pragma once
// Where a view of the free-setting lesson stands on the window canvas: its
// top-left corner and its size, in pixels.

namespace lodrix {

struct ViewBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }  // excluded
    int bottom() const { return top + height; } // excluded
    bool operator==(const ViewBox &) const = default;
};

} // namespace lodrix
