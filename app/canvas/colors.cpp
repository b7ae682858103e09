#include "colors.h"

#include "raster/rastercanvas.h"

namespace lodrix {

namespace {

constexpr QRgb highlightedTextRgb = qRgb(255, 255, 255);

} // namespace

// The light scheme's values live with the software canvas: both canvases
// paint the same colours.
QColor toQColor(Color c)
{
    return QColor::fromRgb(toArgb(c));
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
