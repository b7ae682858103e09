#pragma once
// A drawing surface as the screen shows it when the form is zoomed or the
// desktop scaled: the 1x picture grown to device pixels (whole-pixel blocks
// at whole scales, area-weighted elsewhere), kept up to date area by area so
// that a tick grows only what it painted.

#include "render/upscale.h"

#include <QImage>
#include <QRect>

namespace lodrix {

class ScaledPicture {
public:
    // Grows `dirty` of `picture` (1x) for a form zoomed by `zoom` on a screen
    // of `devicePixelRatio`; a new picture size or scale grows it all.
    void update(const QImage &picture, QRect dirty, double zoom, double devicePixelRatio);
    // The device picture, its device pixel ratio set so that painting it at
    // a logical point lays its pixels one to one on the device.
    const QImage &image() const { return image_; }
    // The logical rectangle of a 1x area once zoomed, rounded outwards.
    static QRect zoomed(QRect area, double zoom);

private:
    QImage image_;
    QSize pictureSize_;
    double scale_ = 0;
    Upscaler upscaler_;
};

} // namespace lodrix
