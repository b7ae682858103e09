#pragma once
// A drawing surface as the screen shows it when the form is zoomed or the
// desktop scaled: the 1x picture grown to device pixels (whole-pixel blocks
// at whole scales, area-weighted elsewhere). A frame repaints the whole
// scene though little of it changes, so the picture keeps the last frame it
// grew and grows only the bands of rows that differ from it.

#include "raster/upscale.h"

#include <QImage>
#include <QRect>
#include <QRegion>

namespace lodrix {

class ScaledPicture {
public:
    // Grows what changed of `picture` (1x) within `dirty`, for a form zoomed
    // by `zoom` on a screen of `devicePixelRatio`; a new picture size or
    // scale grows it all. Returns the 1x areas that changed.
    QRegion update(const QImage &picture, QRect dirty, double zoom, double devicePixelRatio);
    // The device picture, its device pixel ratio set so that painting it at
    // a logical point lays its pixels one to one on the device.
    const QImage &image() const { return image_; }
    // Paints the part of the device picture under `logicalArea` (the
    // picture's own logical coordinates) at `origin`.
    void paint(QPainter &painter, QPoint origin, QRect logicalArea) const;

    // The logical rectangle of a 1x area once zoomed, rounded outwards.
    static QRect zoomed(QRect area, double zoom);

private:
    void grow(QRect area);

    QImage image_;
    QImage last_; // the 1x frame image_ was grown from
    double zoom_ = 0;
    double ratio_ = 0;
    Upscaler upscaler_;
};

} // namespace lodrix
