#include "fonts.h"

#include "raster/fontstrikes.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QtDebug>

#include <cmath>

namespace lodrix {

namespace {

constexpr auto resourceDir = ":/lodrix/fonts"; // where the build embeds the split fonts
constexpr auto sansSerifFamily = "MS Sans Serif";
constexpr auto symbolFamily = "Symbol";
constexpr auto tahomaFamily = "Tahoma";
QFont makeFont(const char *family, int pixelSize, bool bold)
{
    registerLodrixFonts();
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // The Symbol outlines must come out as crisp as the bitmap strikes. The
    // faces carry no layout tables, so skipping shaping changes no pixel and
    // makes a long line of text cost a third less.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferNoShaping));
    font.setKerning(false);
    return font;
}

} // namespace

void registerLodrixFonts()
{
    // Fonts can only be added once the application object exists; a call made
    // before must not count as done.
    static bool registered = false;
    if (registered || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    registered = true;
    const QDir dir(QString::fromLatin1(resourceDir));
    const auto files = dir.entryList(QDir::Files, QDir::Name);
    if (files.isEmpty())
        qWarning("No embedded fonts under %s: texts fall back to the desktop's fonts", resourceDir);
    for (const QString &file : files) {
        if (QFontDatabase::addApplicationFont(dir.filePath(file)) < 0)
            qWarning() << "Cannot load the embedded font" << file;
    }
}

QFont canvasFont(const Font &font)
{
    return makeFont(font.face == FontFace::Symbol ? symbolFamily : sansSerifFamily, pixelSizeFor(font),
                    font.bold);
}

QFont uiFont(int characterHeightPx, bool bold, double zoom, double devicePixelRatio)
{
    if (zoom * devicePixelRatio == 1.0)
        return makeFont(sansSerifFamily, cellPxFor(characterHeightPx), bold);
    // The bitmap strikes cannot grow: Tahoma, whose em is the character
    // height, smoothed like the desktop's own texts.
    QFont font = makeFont(tahomaFamily, int(std::lround(characterHeightPx * zoom)), bold);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

} // namespace lodrix
