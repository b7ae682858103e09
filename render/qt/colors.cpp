#include "colors.h"

#include <algorithm>
#include <iterator>

namespace lodrix {

namespace {

struct SchemeColor {
    Color id;
    QRgb rgb;
};

// The classic light scheme the lessons were laid out on.
constexpr SchemeColor scheme[] = {
    {clFace, qRgb(212, 208, 200)},
    {clHighlight, qRgb(0, 0, 128)},
};

constexpr QRgb highlightedTextRgb = qRgb(255, 255, 255);

constexpr QRgb schemeRgb(Color id)
{
    const auto *row =
        std::find_if(std::begin(scheme), std::end(scheme), [id](const SchemeColor &s) { return s.id == id; });
    // An unknown desktop colour reads as black, as the desktop answers for an index it lacks.
    return row == std::end(scheme) ? qRgb(0, 0, 0) : row->rgb;
}

static_assert(std::all_of(std::begin(scheme), std::end(scheme),
                          [](const SchemeColor &s) { return isSystemColor(s.id); }));

} // namespace

QColor toQColor(Color c)
{
    if (isSystemColor(c))
        return QColor::fromRgb(schemeRgb(c));
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

QPalette lodrixPalette()
{
    // Built from the two faces alone, so that nothing of the desktop's own
    // palette leaks in: texts come out black, bases white.
    QPalette palette(toQColor(clFace), toQColor(clFace));
    palette.setColor(QPalette::Highlight, toQColor(clHighlight));
    palette.setColor(QPalette::HighlightedText, QColor::fromRgb(highlightedTextRgb));
    return palette;
}

} // namespace lodrix
