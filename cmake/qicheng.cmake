# Warnings and definitions every target of the project shares. Warnings are errors in the
# presets and in CI; a plain build with any compiler, build type or flags still builds.
option(QICHENG_WERROR "Treat compiler warnings as errors" OFF)
add_library(qicheng_options INTERFACE)
target_compile_options(qicheng_options INTERFACE -Wall -Wextra -Wpedantic)
if(QICHENG_WERROR)
  target_compile_options(qicheng_options INTERFACE -Werror -Wno-error=deprecated-declarations)
  # GCC 12 at -O3 sees overlapping copies in libstdc++'s own string code where none can happen,
  # even in a plain `s = "1"` (GCC bug 105329, mended in GCC 13): a warning there, not an error.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(qicheng_options INTERFACE -Wno-error=restrict)
  endif()
endif()
target_compile_definitions(qicheng_options INTERFACE QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# qicheng_library(name SOURCES ... LINKS ...): one static library per src/ folder.
function(qicheng_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE qicheng_options PUBLIC ${ARG_LINKS})
endfunction()

# qicheng_test(name SOURCES ... LINKS ... [GUI] [WEBENGINE]): one Qt Test executable run by CTest.
function(qicheng_test name)
  cmake_parse_arguments(ARG "GUI;WEBENGINE" "TIMEOUT" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qicheng_options Qt6::Test ${ARG_LINKS})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" "QICHENG_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(ARG_WEBENGINE)
    list(APPEND env "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu --disable-background-networking --disable-component-update")
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${ARG_TIMEOUT})
endfunction()
