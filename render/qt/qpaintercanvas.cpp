#include "qpaintercanvas.h"

#include "colors.h"
#include "fonts.h"

#include "render/linewalk.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

namespace lodrix {

namespace {

// Wide pens are geometric pens: round ends and round joins.
QPen toQPen(const Pen &pen)
{
    const QColor color = toQColor(pen.color);
    if (pen.width > 1)
        return QPen(color, pen.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPen thin(color, 1);
    // Only a 1-pixel pen can be dotted; a wider dotted pen draws solid.
    if (pen.style == PenStyle::Dot)
        thin.setDashPattern({qreal(dotRunPx), qreal(dotRunPx)});
    return thin;
}

QBrush toQBrush(const Brush &brush)
{
    return brush.style == BrushStyle::Clear ? QBrush(Qt::NoBrush) : QBrush(toQColor(brush.color));
}

// The pixels a box given by two corners covers: right and bottom edges
// excluded, corners in either order. An empty box is null.
std::optional<QRect> coveredBox(Point p1, Point p2)
{
    const QRect box(std::min(p1.x, p2.x), std::min(p1.y, p2.y), std::abs(p2.x - p1.x), std::abs(p2.y - p1.y));
    return box.isEmpty() ? std::nullopt : std::optional(box);
}

// The rectangle whose outline Qt draws with a 1-pixel pen on a covered box.
QRect qtOutline(const QRect &covered)
{
    return QRect(covered.topLeft(), covered.size() - QSize(1, 1));
}

// Angle of the radial through p, counter-clockwise in degrees, y down.
double radialDegrees(QPointF centre, Point p)
{
    return std::atan2(centre.y() - p.y, p.x - centre.x()) * 180.0 / std::numbers::pi;
}

constexpr int qtAngleUnitsPerDegree = 16;

// Beyond this many texts in one font (the value row's numbers keep
// changing) the font's painted texts start over: memory stays bounded.
constexpr std::size_t maxPicturesPerFont = 512;

// Room around a text's picture for glyphs that reach outside their cell.
constexpr int glyphOverhangPx = 2;

// The area a pen of the given width touches along the box spanned by a and b.
QRect strokedBounds(Point a, Point b, int penWidth)
{
    const int reach = std::max(penWidth, 1);
    return QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)),
                 QPoint(std::max(a.x, b.x), std::max(a.y, b.y)))
        .adjusted(-reach, -reach, reach, reach);
}

} // namespace

QPainterCanvas::QPainterCanvas(Surface surface, QSize size, Color fill)
    : Canvas(surface), image_(size, QImage::Format_RGB32)
{
    image_.fill(toQColor(fill));
}

QPainterCanvas::~QPainterCanvas() = default;

const QImage &QPainterCanvas::image() const
{
    endPainting();
    return image_;
}

QImage &QPainterCanvas::image()
{
    endPainting();
    return image_;
}

void QPainterCanvas::resize(QSize size)
{
    endPainting();
    QImage grown(size, QImage::Format_RGB32);
    grown.fill(toQColor(clFace));
    QPainter(&grown).drawImage(0, 0, image_);
    image_ = std::move(grown);
    markDirty(image_.rect());
}

QRect QPainterCanvas::takeDirtyRect()
{
    return std::exchange(dirty_, QRect());
}

void QPainterCanvas::markDirty(const QRect &r)
{
    dirty_ |= r.intersected(image_.rect());
}

QPainter &QPainterCanvas::painter()
{
    if (!painter_) {
        painter_.emplace(&image_);
        painter_->setRenderHints(
            QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform, false);
        painter_->setBackgroundMode(Qt::TransparentMode);
    }
    return *painter_;
}

void QPainterCanvas::endPainting() const
{
    painter_.reset();
}

QPainter &QPainterCanvas::shapePainter()
{
    QPainter &p = painter();
    p.setPen(toQPen(pen));
    p.setBrush(toQBrush(brush));
    return p;
}

QPainterCanvas::CachedFont &QPainterCanvas::currentFont()
{
    // The colour is the pen's: texts of every colour share a layout.
    for (CachedFont &cached : fonts_) {
        if (cached.font.face == font.face && cached.font.size == font.size && cached.font.bold == font.bold)
            return cached;
    }
    QFont qfont = canvasFont(font);
    const int ascent = QFontMetrics(qfont).ascent();
    return fonts_.emplace_back(CachedFont{font, std::move(qfont), ascent, 0, {}});
}

const QPainterCanvas::TextPicture &QPainterCanvas::picture(CachedFont &cached, std::string_view utf8)
{
    Pictures &inColor = cached.pictures[font.color];
    if (const auto found = inColor.find(utf8); found != inColor.end())
        return found->second;
    if (cached.pictureCount >= maxPicturesPerFont) {
        cached.pictures.clear();
        cached.pictureCount = 0;
    }
    // Glyphs are painted without antialiasing, so each pixel of the picture
    // is either the text's colour or transparent, and laying the picture on
    // the canvas gives the very pixels the text would.
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    const QFontMetrics metrics(cached.qfont);
    const QRect cell(0, -cached.ascentPx, metrics.horizontalAdvance(text), metrics.height());
    const QRect area = (cell | metrics.boundingRect(text))
                           .adjusted(-glyphOverhangPx, -glyphOverhangPx, glyphOverhangPx, glyphOverhangPx);
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing, false);
        p.setFont(cached.qfont);
        p.setPen(toQColor(font.color));
        p.drawText(-area.left(), -area.top(), text);
    }
    ++cached.pictureCount;
    const QPoint offset(area.left(), cached.ascentPx + area.top());
    return cached.pictures[font.color]
        .emplace(std::string(utf8), TextPicture{std::move(image), offset})
        .first->second;
}

void QPainterCanvas::paintLine(Point from, Point to)
{
    if (from == to)
        return;
    if (pen.width > 1) {
        QPainter &p = painter();
        p.setPen(toQPen(pen));
        p.drawLine(from.x, from.y, to.x, to.y);
        markDirty(strokedBounds(from, to, pen.width));
        return;
    }
    plotThinLine(from, to);
}

void QPainterCanvas::plotThinLine(Point from, Point to)
{
    // QPainter's own 1-pixel lines disagree with the classic ones at the end
    // point and on diagonals, so the pixels are walked here, and written
    // straight into the image: handing them to QPainter one point at a time
    // cost more than the rest of a frame. The painter paints at once, so
    // its work and these pixels stay in order.
    markDirty(strokedBounds(from, to, 1));
    const bool dotted = pen.style == PenStyle::Dot;
    const QRgb color = toQColor(pen.color).rgb();
    uchar *const bits = image_.bits(); // copies only an image shared since the last painting
    const qsizetype stride = image_.bytesPerLine();
    const QRect bounds = image_.rect();
    walkLine(from, to, [&](int step, int x, int y) {
        if ((!dotted || dotIsOn(step)) && bounds.contains(x, y))
            reinterpret_cast<QRgb *>(bits + y * stride)[x] = color;
    });
}

void QPainterCanvas::fillOutlinedBox(const QRect &covered)
{
    // With a solid 1-pixel pen a box is its four edges around its fill:
    // filling them is exact, and much cheaper than stroking the outline
    // (the scene is cleared with one such box every tick).
    QPainter &p = painter();
    const QColor edge = toQColor(pen.color);
    if (covered.width() <= 2 || covered.height() <= 2) {
        p.fillRect(covered, edge);
        return;
    }
    if (brush.style == BrushStyle::Solid)
        p.fillRect(covered.adjusted(1, 1, -1, -1), toQColor(brush.color));
    p.fillRect(covered.left(), covered.top(), covered.width(), 1, edge);
    p.fillRect(covered.left(), covered.bottom(), covered.width(), 1, edge);
    p.fillRect(covered.left(), covered.top() + 1, 1, covered.height() - 2, edge);
    p.fillRect(covered.right(), covered.top() + 1, 1, covered.height() - 2, edge);
}

bool QPainterCanvas::isAllOutline(const QRect &covered) const
{
    // Qt draws nothing for a box of one pixel; a 1-pixel pen covers it all.
    return pen.width <= 1 && (covered.width() == 1 || covered.height() == 1);
}

void QPainterCanvas::paintRect(Point p1, Point p2)
{
    const auto covered = coveredBox(p1, p2);
    if (!covered)
        return;
    markDirty(strokedBounds(p1, p2, pen.width));
    if (isAllOutline(*covered) || (pen.width <= 1 && pen.style == PenStyle::Solid))
        fillOutlinedBox(*covered);
    else
        shapePainter().drawRect(qtOutline(*covered));
}

void QPainterCanvas::paintEllipse(Point p1, Point p2)
{
    const auto covered = coveredBox(p1, p2);
    if (!covered)
        return;
    markDirty(strokedBounds(p1, p2, pen.width));
    if (isAllOutline(*covered))
        fillOutlinedBox(*covered);
    else
        shapePainter().drawEllipse(qtOutline(*covered));
}

void QPainterCanvas::paintArc(Point p1, Point p2, Point start, Point end)
{
    const auto covered = coveredBox(p1, p2);
    if (!covered)
        return;
    markDirty(strokedBounds(p1, p2, pen.width));
    const QPointF centre((p1.x + p2.x) / 2.0, (p1.y + p2.y) / 2.0);
    const double from = radialDegrees(centre, start);
    double span = radialDegrees(centre, end) - from;
    // Always counter-clockwise; equal radials make a full circle.
    if (span <= 0)
        span += 360.0;
    shapePainter().drawArc(QRectF(qtOutline(*covered)), qRound(from * qtAngleUnitsPerDegree),
                           qRound(span * qtAngleUnitsPerDegree));
}

void QPainterCanvas::paintPolygon(std::span<const Point> points)
{
    if (points.empty())
        return;
    points_.clear();
    QRect outline;
    for (const Point &pt : points) {
        points_.emplace_back(pt.x, pt.y);
        outline |= strokedBounds(pt, pt, pen.width);
    }
    markDirty(outline);
    shapePainter().drawPolygon(points_.data(), int(points_.size()), Qt::OddEvenFill);
}

void QPainterCanvas::paintText(Point at, std::string_view utf8)
{
    if (utf8.empty())
        return;
    const TextPicture &text = picture(currentFont(), utf8);
    const QPoint topLeft = QPoint(at.x, at.y) + text.offset;
    painter().drawImage(topLeft, text.image);
    markDirty(QRect(topLeft, text.image.size()));
}

void QPainterCanvas::paintCopy(Point at, const Canvas &source)
{
    const auto *other = dynamic_cast<const QPainterCanvas *>(&source);
    if (!other)
        return;
    markDirty(QRect(QPoint(at.x, at.y), other->image_.size()));
    if (other == this) {
        // The image cannot be read while it is painted on.
        const QImage snapshot = image().copy();
        painter().drawImage(at.x, at.y, snapshot);
        return;
    }
    painter().drawImage(at.x, at.y, other->image());
}

} // namespace lodrix
