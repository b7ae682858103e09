#include "appicon.h"

#include "app/canvas/colors.h"

#include <QPainter>
#include <QPainterPath>

namespace lodrix {

QImage drawAppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, size > 32);
    p.scale(size / 32.0, size / 32.0);

    // A rounded tile in the window's face colour.
    p.setPen(QPen(toQColor(clNavy), 1));
    p.setBrush(toQColor(clFace));
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);

    // Motor and reducer boxes, the slow shaft rising from the reducer.
    p.setPen(QPen(toQColor(clBlue), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 21.5, 9, 7));
    p.drawRect(QRectF(17.5, 21.5, 9, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(toQColor(clAqua));
    p.drawRect(QRectF(14, 24, 3, 3));
    p.setBrush(toQColor(clYellow));
    p.drawRect(QRectF(20, 12, 3, 9));

    // The arm, seen obliquely, turning on top of the shaft.
    p.setPen(QPen(toQColor(clRed), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(21.5, 12), QPointF(7, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(toQColor(clBlue));
    p.drawEllipse(QPointF(21.5, 12), 2.5, 2);
    return image;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(drawAppIcon(size)));
    return icon;
}

} // namespace lodrix
