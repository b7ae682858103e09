# Installs the build into a fresh prefix and checks that every file is where
# the desktop and the program look for it.
#   cmake -DBUILD_DIR=... -DPREFIX=... [-DPAGE=ON] -P installcheck.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()

function(expect path)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endfunction()

# The program, and its commentaries where it looks: <bin>/../share/lodrix.
expect(bin/lodrix)
foreach(n 1 2 3 4)
  expect(share/lodrix/lodrix${n}.rtf)
  expect(share/lodrix/lodrix${n}.en.rtf)
endforeach()

# The desktop entry starts "lodrix" from PATH and names an icon of the theme.
set(desktop ${PREFIX}/share/applications/org.lodrix.Lodrix.desktop)
expect(share/applications/org.lodrix.Lodrix.desktop)
file(STRINGS ${desktop} exec REGEX "^Exec=")
file(STRINGS ${desktop} icon REGEX "^Icon=")
file(STRINGS ${desktop} categories REGEX "^Categories=")
if(NOT exec STREQUAL "Exec=lodrix")
  message(FATAL_ERROR "the desktop entry runs '${exec}', not the installed bin/lodrix")
endif()
if(NOT categories MATCHES "Education")
  message(FATAL_ERROR "the desktop entry is not in the Education category")
endif()
string(REPLACE "Icon=" "" icon_name "${icon}")
foreach(size 32x32 64x64 128x128)
  expect(share/icons/hicolor/${size}/apps/${icon_name}.png)
endforeach()
expect(share/icons/hicolor/scalable/apps/${icon_name}.svg)
expect(share/metainfo/org.lodrix.Lodrix.metainfo.xml)
expect(share/doc/lodrix/fonts-wine-copyright)
expect(share/doc/lodrix/LICENSE)
# The browser page, where this build made it.
if(PAGE)
  expect(share/lodrix/lodrix.html)
endif()

find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net ${PREFIX}/share/metainfo/org.lodrix.Lodrix.metainfo.xml
                  RESULT_VARIABLE invalid)
  if(invalid)
    message(FATAL_ERROR "appstreamcli rejects the metainfo file")
  endif()
endif()
message(STATUS "install layout checked in ${PREFIX}")
