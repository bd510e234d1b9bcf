# Builds the Windows intro from the same source tree as a nested CMake build
# with the mingw-w64 toolchain, so that one Linux build yields the tools, the
# tests and intro.exe. INTRO_EXE names the result for the tests that run it.
option(INTRO_BUILD_WINDOWS "Cross-compile intro.exe with mingw-w64" ON)

set(INTRO_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows)
set(INTRO_EXE ${INTRO_WINDOWS_BINARY_DIR}/host/intro.exe)

find_program(INTRO_MINGW_CXX i686-w64-mingw32-g++)
if(INTRO_BUILD_WINDOWS AND INTRO_MINGW_CXX)
  include(ExternalProject)
  ExternalProject_Add(intro_windows
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${INTRO_WINDOWS_BINARY_DIR}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
      -DCMAKE_BUILD_TYPE=Release
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    TEST_COMMAND ""
    BUILD_BYPRODUCTS ${INTRO_EXE})
  set(INTRO_HAVE_WINDOWS_BUILD ON)
else()
  message(STATUS "mingw-w64 not found or disabled: intro.exe and its tests are skipped")
  set(INTRO_HAVE_WINDOWS_BUILD OFF)
endif()
