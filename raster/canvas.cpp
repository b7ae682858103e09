#include "canvas.h"

namespace lodrix {

void Canvas::record(Op::Kind kind, std::vector<Point> points, std::string_view text, Surface source)
{
    if (!log_)
        return;
    log_->push_back(Op{surface_, kind, std::move(points), std::string(text), source, pen, brush, font});
}

void Canvas::lineTo(int x, int y)
{
    const Point to{x, y};
    record(Op::Kind::Line, {penPos_, to});
    paintLine(penPos_, to);
    penPos_ = to;
}

void Canvas::rectangle(int x1, int y1, int x2, int y2)
{
    record(Op::Kind::Rect, {{x1, y1}, {x2, y2}});
    paintRect({x1, y1}, {x2, y2});
}

void Canvas::ellipse(int x1, int y1, int x2, int y2)
{
    record(Op::Kind::Ellipse, {{x1, y1}, {x2, y2}});
    paintEllipse({x1, y1}, {x2, y2});
}

void Canvas::arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    record(Op::Kind::Arc, {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}});
    paintArc({x1, y1}, {x2, y2}, {x3, y3}, {x4, y4});
}

void Canvas::polygon(std::span<const Point> points)
{
    record(Op::Kind::Polygon, {points.begin(), points.end()});
    paintPolygon(points);
}

void Canvas::textOut(int x, int y, std::string_view utf8)
{
    const std::string_view shown = language_.tr(utf8);
    record(Op::Kind::Text, {{x, y}}, shown);
    paintText({x, y}, shown);
}

void Canvas::draw(int x, int y, const Canvas &source)
{
    record(Op::Kind::Copy, {{x, y}}, {}, source.surface());
    paintCopy({x, y}, source);
}

} // namespace lodrix
