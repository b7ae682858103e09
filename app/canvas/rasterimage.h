#pragma once
// The software canvas as Qt sees it: a QImage over the canvas's own memory,
// with no copy, for widgets to paint and tools to save.

#include "raster/pixelrect.h"
#include "raster/rastercanvas.h"

#include <QImage>
#include <QRect>

namespace lodrix {

// Valid until the canvas is resized or destroyed.
inline QImage imageOf(const RasterCanvas &canvas)
{
    return QImage(reinterpret_cast<const uchar *>(canvas.pixels()), canvas.width(), canvas.height(),
                  qsizetype(canvas.width()) * 4, QImage::Format_RGB32);
}

inline QRect toQRect(PixelRect r)
{
    return r.empty() ? QRect() : QRect(r.x, r.y, r.width, r.height);
}

} // namespace lodrix
