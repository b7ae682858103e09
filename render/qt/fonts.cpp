#include "fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QtDebug>

#include <algorithm>
#include <iterator>

namespace lodrix {

namespace {

constexpr auto resourceDir = ":/lodrix/fonts"; // where the build embeds the split fonts
constexpr auto sansSerifFamily = "MS Sans Serif";
constexpr auto symbolFamily = "Symbol";
constexpr int screenDpi = 96;
constexpr int pointsPerInch = 72;

// A bitmap strike of "MS Sans Serif": its cell height and the character height
// (cell less internal leading) that a font size asks for.
struct Strike {
    int cellPx;
    int characterHeightPx;
};

constexpr Strike sansSerifStrikes[] = {
    {13, 11},
    {16, 13},
    {20, 16},
};

static_assert(std::is_sorted(std::begin(sansSerifStrikes), std::end(sansSerifStrikes),
                             [](const Strike &a, const Strike &b) { return a.cellPx < b.cellPx; }));

// Rounded like the desktop's MulDiv, so 8 pt is 11 px and 10 pt is 13 px.
constexpr int characterHeightPx(int points)
{
    return std::max(1, (points * screenDpi + pointsPerInch / 2) / pointsPerInch);
}

// The smallest strike tall enough, else the largest: 6 and 8 pt share the
// 13 px cell, 15 pt takes the 20 px one.
constexpr int cellPxFor(int charHeightPx)
{
    const auto *fit =
        std::find_if(std::begin(sansSerifStrikes), std::end(sansSerifStrikes),
                     [charHeightPx](const Strike &s) { return s.characterHeightPx >= charHeightPx; });
    return fit == std::end(sansSerifStrikes) ? std::prev(std::end(sansSerifStrikes))->cellPx : fit->cellPx;
}

static_assert(cellPxFor(characterHeightPx(6)) == 13);
static_assert(cellPxFor(characterHeightPx(8)) == 13);
static_assert(cellPxFor(characterHeightPx(10)) == 16);
static_assert(cellPxFor(characterHeightPx(12)) == 20);
static_assert(cellPxFor(characterHeightPx(15)) == 20);

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
    const int height = characterHeightPx(font.size);
    // The Symbol replica is an outline font: its em is the character height.
    if (font.face == FontFace::Symbol)
        return makeFont(symbolFamily, height, font.bold);
    return makeFont(sansSerifFamily, cellPxFor(height), font.bold);
}

QFont uiFont(int characterHeightPx, bool bold)
{
    return makeFont(sansSerifFamily, cellPxFor(characterHeightPx), bold);
}

} // namespace lodrix
