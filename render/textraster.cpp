#include "render/textraster.h"

namespace lodrix {

PixelRect paintText(std::uint32_t *, int, int, Point, const Font &, std::uint32_t, std::string_view)
{
    return {};
}

int textWidth(const Font &, std::string_view)
{
    return 0;
}

} // namespace lodrix
