# Debian's interpreter runs the build's own scripts: the one first on PATH may
# lack polib, fontTools and freetype-py.
set(LODRIX_PYTHON3 /usr/bin/python3 CACHE FILEPATH "Python 3 with Debian's python3-polib, python3-fonttools and python3-freetype")

# Stops the configuration when that Python lacks a module a build step needs,
# saying what to install.
function(lodrix_require_python_modules hint)
  foreach(module IN LISTS ARGN)
    execute_process(COMMAND ${LODRIX_PYTHON3} -c "import ${module}"
                    RESULT_VARIABLE module_missing OUTPUT_QUIET ERROR_QUIET)
    if(module_missing)
      message(FATAL_ERROR "${LODRIX_PYTHON3} cannot import ${module}. ${hint}")
    endif()
  endforeach()
endfunction()

# Warnings are errors in our own code.
function(lodrix_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# A library of one folder: every .cpp beside its CMakeLists. QT marks a folder
# that uses Qt (moc, resources).
function(lodrix_folder_library target)
  cmake_parse_arguments(ARG "QT" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # A folder whose sources are not written yet: headers only.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_LIBS})
    return()
  endif()
  add_library(${target} STATIC ${sources})
  if(NOT ARG_QT)
    # Plain C++: no Qt code generation for the model, the engine and the kit.
    set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_LIBS})
  lodrix_warnings(${target})
endfunction()

# Registers a QtTest file with CTest, run on the offscreen platform.
function(lodrix_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${name}.cpp)
  # Tests stay out of bin/, where the commentaries would be found beside them.
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  lodrix_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LODRIX_SOURCE_DIR=${PROJECT_SOURCE_DIR};LODRIX_TESTDATA_DIR=${PROJECT_SOURCE_DIR}/tests/data"
    TIMEOUT 600)
endfunction()
