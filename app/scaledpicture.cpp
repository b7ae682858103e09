#include "scaledpicture.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lodrix {

namespace {

// Rows compared and grown together: the arm and the value row change on
// every tick, the diagram between them does not.
constexpr int bandRows = 8;

const std::uint32_t *row(const QImage &image, int y)
{
    return reinterpret_cast<const std::uint32_t *>(image.constScanLine(y));
}

} // namespace

QRegion ScaledPicture::update(const QImage &picture, QRect dirty, double zoom, double devicePixelRatio)
{
    if (picture.size() != last_.size() || zoom != zoom_ || devicePixelRatio != ratio_) {
        const PixelRect whole =
            scaledArea({0, 0, picture.width(), picture.height()}, zoom * devicePixelRatio);
        image_ = QImage(whole.width, whole.height, QImage::Format_RGB32);
        image_.setDevicePixelRatio(devicePixelRatio);
        last_ = picture.copy();
        zoom_ = zoom;
        ratio_ = devicePixelRatio;
        grow(picture.rect());
        return QRegion(picture.rect());
    }
    dirty &= picture.rect();
    QRegion changed;
    for (int top = dirty.top(); top <= dirty.bottom(); top += bandRows) {
        const int bottom = std::min(top + bandRows - 1, dirty.bottom());
        int left = dirty.right() + 1;
        int right = dirty.left() - 1;
        for (int y = top; y <= bottom; ++y) {
            const std::uint32_t *now = row(picture, y);
            const std::uint32_t *was = row(last_, y);
            // Most rows are the same: one quick comparison says so.
            if (std::memcmp(now + dirty.left(), was + dirty.left(), std::size_t(dirty.width()) * 4) == 0)
                continue;
            int x = dirty.left();
            while (x <= dirty.right() && now[x] == was[x])
                ++x;
            if (x > dirty.right())
                continue;
            int last = dirty.right();
            while (now[last] == was[last])
                --last;
            left = std::min(left, x);
            right = std::max(right, last);
        }
        if (left > right)
            continue;
        const QRect band(left, top, right - left + 1, bottom - top + 1);
        for (int y = band.top(); y <= band.bottom(); ++y)
            std::memcpy(last_.scanLine(y) + left * 4, row(picture, y) + left, std::size_t(band.width()) * 4);
        grow(band);
        changed += band;
    }
    return changed;
}

void ScaledPicture::grow(QRect area)
{
    // One picture pixel more around: at fractional scales a device pixel on
    // the edge of the area also covers its neighbour.
    area = area.adjusted(-1, -1, 1, 1) & last_.rect();
    const ConstPixelBuffer from{row(last_, 0), last_.width(), last_.height()};
    const PixelBuffer to{reinterpret_cast<std::uint32_t *>(image_.bits()), image_.width(), image_.height()};
    upscaler_.scale(from, {area.x(), area.y(), area.width(), area.height()}, zoom_ * ratio_, to);
}

void ScaledPicture::paint(QPainter &painter, QPoint origin, QRect logicalArea) const
{
    const double scale = zoom_ * ratio_;
    const PixelRect device =
        scaledArea({logicalArea.x(), logicalArea.y(), logicalArea.width(), logicalArea.height()}, ratio_);
    const QRect source = QRect(device.x, device.y, device.width, device.height) & image_.rect();
    if (source.isEmpty() || scale <= 0)
        return;
    painter.drawImage(
        QRectF(origin + QPointF(source.x() / ratio_, source.y() / ratio_), source.size() / ratio_), image_,
        source);
}

QRect ScaledPicture::zoomed(QRect area, double zoom)
{
    const PixelRect r = scaledArea({area.x(), area.y(), area.width(), area.height()}, zoom);
    return {r.x, r.y, r.width, r.height};
}

} // namespace lodrix
