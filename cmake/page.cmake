# The browser page the package carries and the desktop's links open. Where
# Debian's emscripten is installed, the desktop build configures the browser
# edition in its web/ folder and builds it at every build (that build's own
# Ninja knows what is up to date): <build>/web/lodrix.html, whose browser tests
# run with ctest --test-dir <build>/web against this build's lodrix-replay.
# Without emscripten the desktop builds alone, and making the package stops
# with a message: it never carries a page older than its program.
find_program(LODRIX_EMCMAKE emcmake DOC "emscripten's emcmake, which builds the browser page")
set(LODRIX_PAGE AUTO CACHE STRING
    "Build the browser page with emscripten: ON, OFF, or AUTO (where emcmake is found, sanitizers off)")
set_property(CACHE LODRIX_PAGE PROPERTY STRINGS AUTO ON OFF)
set(LODRIX_PAGE_BUILT OFF)
if(LODRIX_PAGE STREQUAL "ON" OR (LODRIX_PAGE STREQUAL "AUTO" AND LODRIX_EMCMAKE AND NOT LODRIX_SANITIZE))
  if(NOT LODRIX_EMCMAKE)
    message(FATAL_ERROR "LODRIX_PAGE is ON but emcmake is not found: apt-get install emscripten")
  endif()
  set(LODRIX_PAGE_BUILT ON)
endif()

set(LODRIX_PAGE_DIR ${PROJECT_BINARY_DIR}/web)
if(LODRIX_PAGE_BUILT)
  include(ExternalProject)
  ExternalProject_Add(lodrix-web
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${LODRIX_PAGE_DIR}
    CONFIGURE_COMMAND ${LODRIX_EMCMAKE} ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${LODRIX_PAGE_DIR}
                      -G ${CMAKE_GENERATOR} -DLODRIX_REPLAY=$<TARGET_FILE:lodrix-replay>
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${LODRIX_PAGE_DIR}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${LODRIX_PAGE_DIR}/lodrix.html
    INSTALL_COMMAND ""
    USES_TERMINAL_CONFIGURE ON
    USES_TERMINAL_BUILD ON)
  install(FILES ${LODRIX_PAGE_DIR}/lodrix.html DESTINATION ${CMAKE_INSTALL_DATADIR}/lodrix)
  message(STATUS "The browser page is built in ${LODRIX_PAGE_DIR}/lodrix.html, for the package and the links")
else()
  message(STATUS "The browser page is not built (LODRIX_PAGE=${LODRIX_PAGE}, emcmake: ${LODRIX_EMCMAKE}): "
                 "the desktop runs, but its links name no page and cpack refuses to make the package")
endif()
