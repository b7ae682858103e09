#include "opjson.h"

#include "raster/textraster.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace lodrix {

namespace {

using Json = nlohmann::ordered_json;

std::string color(Color c)
{
    if (c == clFace)
        return "face";
    if (c == clHighlight)
        return "highlight";
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%06X", c & 0xFFFFFFu);
    return buf;
}

const char *surfaceName(Surface s)
{
    switch (s) {
    case Surface::Window:
        return "window";
    case Surface::Scene:
        return "scene";
    case Surface::Anim:
        return "anim";
    }
    return "?";
}

Json point(Point p)
{
    return Json::array({p.x, p.y});
}

void corners(Json &j, const Op &op)
{
    j["x1"] = op.points.at(0).x;
    j["y1"] = op.points.at(0).y;
    j["x2"] = op.points.at(1).x;
    j["y2"] = op.points.at(1).y;
}

void at(Json &j, const Op &op)
{
    j["x"] = op.points.at(0).x;
    j["y"] = op.points.at(0).y;
}

} // namespace

std::string opToJson(const Op &op)
{
    Json j;
    j["surface"] = surfaceName(op.surface);
    switch (op.kind) {
    case Op::Kind::Line:
        j["op"] = "line";
        corners(j, op);
        break;
    case Op::Kind::Rect:
        j["op"] = "rect";
        corners(j, op);
        break;
    case Op::Kind::Ellipse:
        j["op"] = "ellipse";
        corners(j, op);
        break;
    case Op::Kind::Arc:
        j["op"] = "arc";
        j["box"] = Json::array({point(op.points.at(0)), point(op.points.at(1))});
        j["from"] = point(op.points.at(2));
        j["to"] = point(op.points.at(3));
        break;
    case Op::Kind::Polygon: {
        j["op"] = "polygon";
        Json points = Json::array();
        for (const Point &p : op.points)
            points.push_back(point(p));
        j["points"] = points;
        break;
    }
    case Op::Kind::Text:
        j["op"] = "text";
        at(j, op);
        j["text"] = op.text;
        // The drawn width in pixels: with the font's cell height, the box a
        // test checks against its surface and the other texts.
        j["w"] = textWidth(op.font, op.text);
        break;
    case Op::Kind::Copy:
        j["op"] = "copy";
        at(j, op);
        j["source"] = surfaceName(op.source);
        break;
    }
    j["pen"] = {{"color", color(op.pen.color)},
                {"width", op.pen.width},
                {"style", op.pen.style == PenStyle::Dot ? "dot" : "solid"}};
    j["brush"] = {{"color", color(op.brush.color)},
                  {"style", op.brush.style == BrushStyle::Clear ? "clear" : "solid"}};
    j["font"] = {{"name", op.font.face == FontFace::Symbol ? "Symbol" : "MS sans Serif"},
                 {"size", op.font.size},
                 {"color", color(op.font.color)},
                 {"bold", op.font.bold}};
    return j.dump();
}

} // namespace lodrix
