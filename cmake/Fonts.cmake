# The faces of Debian's fonts-wine that Lodrix draws with: the bitmap
# "MS Sans Serif" replica and the outline "Symbol" replica, for the software
# canvas's glyph tables (raster/) and the desktop's embedded fonts
# (app/canvas/); the outline "Tahoma" for the desktop's scaled controls and the
# page. The build takes them from the installed package; nothing of them is
# kept in the sources.
set(LODRIX_WINE_FONTS_DIR /usr/share/wine/fonts CACHE PATH "Fonts of Debian's fonts-wine")
set(LODRIX_FONTS_COPYRIGHT /usr/share/doc/fonts-wine/copyright CACHE FILEPATH "Licence notice of fonts-wine")

set(sans_source ${LODRIX_WINE_FONTS_DIR}/ms_sans_serif.ttf)
set(symbol_source ${LODRIX_WINE_FONTS_DIR}/symbol.ttf)
set(sans_strikes 13 16 20) # cell heights in pixels
set(symbol_pixel_sizes 8 11 13 16 20) # 6, 8, 10, 12 and 15 pt at 96 dpi (see raster/fontstrikes.h)

set(missing_fonts_hint "Lodrix draws with fonts of Debian's fonts-wine, read at build time with python3-fonttools and python3-freetype: apt-get install fonts-wine python3-fonttools python3-freetype")
foreach(required IN ITEMS ${sans_source} ${symbol_source} ${LODRIX_FONTS_COPYRIGHT})
  if(NOT EXISTS ${required})
    message(FATAL_ERROR "${required} is missing. ${missing_fonts_hint}")
  endif()
endforeach()
lodrix_require_python_modules("${missing_fonts_hint}" fontTools.ttLib freetype)
