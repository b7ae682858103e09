#include "raster/path.h"

namespace lodrix::pathfill {

void Path::clear()
{
    types_.clear();
    points_.clear();
}

void Path::moveTo(PointF p)
{
    types_.push_back(Element::MoveTo);
    points_.push_back(p);
}

void Path::lineTo(PointF p)
{
    types_.push_back(Element::LineTo);
    points_.push_back(p);
}

void Path::cubicTo(PointF c1, PointF c2, PointF end)
{
    types_.insert(types_.end(), {Element::CurveTo, Element::CurveData, Element::CurveData});
    points_.insert(points_.end(), {c1, c2, end});
}

} // namespace lodrix::pathfill
