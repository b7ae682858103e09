# Run by cpack once the package's files are staged: a package without the
# browser page is refused, rather than made without the page its links open.
file(GLOB_RECURSE staged_page "${CPACK_TEMPORARY_DIRECTORY}/*/lodrix.html")
if(NOT staged_page)
  message(FATAL_ERROR "The package would lack the browser page share/lodrix/lodrix.html, which this build did "
                      "not make (LODRIX_PAGE=${CPACK_LODRIX_PAGE}): apt-get install emscripten, configure "
                      "again and build, then run cpack.")
endif()
