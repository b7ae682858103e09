#include "opjson.h"

#include <cstdio>

namespace lodrix {

namespace {

std::string quoted(std::string_view s)
{
    std::string out = "\"";
    for (const char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string color(Color c)
{
    if (c == clFace)
        return quoted("face");
    if (c == clHighlight)
        return quoted("highlight");
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%06X", c & 0xFFFFFFu);
    return quoted(buf);
}

std::string surfaceName(Surface s)
{
    switch (s) {
    case Surface::Window:
        return quoted("window");
    case Surface::Scene:
        return quoted("scene");
    case Surface::Anim:
        return quoted("anim");
    }
    return quoted("?");
}

std::string point(Point p)
{
    return "[" + std::to_string(p.x) + "," + std::to_string(p.y) + "]";
}

std::string corners(const Op &op)
{
    const Point a = op.points.at(0);
    const Point b = op.points.at(1);
    return "\"x1\":" + std::to_string(a.x) + ",\"y1\":" + std::to_string(a.y) +
           ",\"x2\":" + std::to_string(b.x) + ",\"y2\":" + std::to_string(b.y);
}

std::string at(const Op &op)
{
    return "\"x\":" + std::to_string(op.points.at(0).x) + ",\"y\":" + std::to_string(op.points.at(0).y);
}

} // namespace

std::string opToJson(const Op &op)
{
    std::string kind;
    std::string geometry;
    switch (op.kind) {
    case Op::Kind::Line:
        kind = "line";
        geometry = corners(op);
        break;
    case Op::Kind::Rect:
        kind = "rect";
        geometry = corners(op);
        break;
    case Op::Kind::Ellipse:
        kind = "ellipse";
        geometry = corners(op);
        break;
    case Op::Kind::Arc:
        kind = "arc";
        geometry = "\"box\":[" + point(op.points.at(0)) + "," + point(op.points.at(1)) +
                   "],\"from\":" + point(op.points.at(2)) + ",\"to\":" + point(op.points.at(3));
        break;
    case Op::Kind::Polygon: {
        kind = "polygon";
        geometry = "\"points\":[";
        for (std::size_t i = 0; i < op.points.size(); ++i)
            geometry += (i ? "," : "") + point(op.points[i]);
        geometry += "]";
        break;
    }
    case Op::Kind::Text:
        kind = "text";
        geometry = at(op) + ",\"text\":" + quoted(op.text);
        break;
    case Op::Kind::Copy:
        kind = "copy";
        geometry = at(op) + ",\"source\":" + surfaceName(op.source);
        break;
    }
    const std::string pen = "{\"color\":" + color(op.pen.color) +
                            ",\"width\":" + std::to_string(op.pen.width) +
                            ",\"style\":" + quoted(op.pen.style == PenStyle::Dot ? "dot" : "solid") + "}";
    const std::string brush = "{\"color\":" + color(op.brush.color) + ",\"style\":" +
                              quoted(op.brush.style == BrushStyle::Clear ? "clear" : "solid") + "}";
    const std::string font =
        "{\"name\":" + quoted(op.font.face == FontFace::Symbol ? "Symbol" : "MS sans Serif") +
        ",\"size\":" + std::to_string(op.font.size) + ",\"color\":" + color(op.font.color) +
        ",\"bold\":" + (op.font.bold ? "true" : "false") + "}";
    return "{\"surface\":" + surfaceName(op.surface) + ",\"op\":" + quoted(kind) + "," + geometry +
           ",\"pen\":" + pen + ",\"brush\":" + brush + ",\"font\":" + font + "}";
}

} // namespace lodrix
