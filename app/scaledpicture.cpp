#include "scaledpicture.h"

#include <cmath>

namespace lodrix {

void ScaledPicture::update(const QImage &picture, QRect dirty, double zoom, double devicePixelRatio)
{
    const double scale = zoom * devicePixelRatio;
    const PixelRect whole = scaledArea({0, 0, picture.width(), picture.height()}, scale);
    if (picture.size() != pictureSize_ || scale != scale_) {
        image_ = QImage(whole.width, whole.height, QImage::Format_RGB32);
        image_.setDevicePixelRatio(devicePixelRatio);
        pictureSize_ = picture.size();
        scale_ = scale;
        dirty = picture.rect();
    }
    dirty &= picture.rect();
    if (dirty.isEmpty())
        return;
    const ConstPixelBuffer from{reinterpret_cast<const std::uint32_t *>(picture.constBits()), picture.width(),
                                picture.height()};
    const PixelBuffer to{reinterpret_cast<std::uint32_t *>(image_.bits()), image_.width(), image_.height()};
    upscaler_.scale(from, {dirty.x(), dirty.y(), dirty.width(), dirty.height()}, scale, to);
}

QRect ScaledPicture::zoomed(QRect area, double zoom)
{
    const PixelRect r = scaledArea({area.x(), area.y(), area.width(), area.height()}, zoom);
    return {r.x, r.y, r.width, r.height};
}

} // namespace lodrix
