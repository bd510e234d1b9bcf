# Builds the Windows intro from the same source tree as a nested CMake build
# with the mingw-w64 toolchain, so that one Linux build yields the tools, the
# tests and intro.exe. INTRO_EXE names the 32-bit program.
#
# The tests run Windows programs through Wine. 32-bit Wine needs a kernel
# that runs 32-bit Linux programs; where it cannot, the same host sources are
# built a second time for x86-64 and the tests run that build under wine64.
# INTRO_WINE_LOADER, INTRO_WINE_BINARY_DIR and INTRO_WINE_EXE name what the
# tests use. INTRO_RELEASE_EXE and INTRO_WINE_RELEASE_EXE name the release
# program (intro-release.exe) built in the same trees.
option(INTRO_BUILD_WINDOWS "Cross-compile intro.exe with mingw-w64" ON)
option(INTRO_FULLSCREEN "Build the full-screen variant of the Windows programs" OFF)

set(INTRO_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows)
set(INTRO_EXE ${INTRO_WINDOWS_BINARY_DIR}/host/intro.exe)
set(INTRO_RELEASE_EXE ${INTRO_WINDOWS_BINARY_DIR}/host/intro-release.exe)
set(INTRO_HAVE_WINDOWS_BUILD OFF)

include(ExternalProject)

function(intro_windows_tree name toolchain binary_dir)
  ExternalProject_Add(${name}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${binary_dir}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
      -DCMAKE_BUILD_TYPE=Release
      -DINTRO_FULLSCREEN=${INTRO_FULLSCREEN}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    TEST_COMMAND ""
    BUILD_BYPRODUCTS ${binary_dir}/host/intro.exe ${binary_dir}/host/intro-release.exe)
endfunction()

# True when `loader --version` runs here.
function(intro_loader_runs loader out_var)
  set(${out_var} OFF PARENT_SCOPE)
  if(loader)
    execute_process(COMMAND ${loader} --version RESULT_VARIABLE result
      OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
    if(result EQUAL 0)
      set(${out_var} ON PARENT_SCOPE)
    endif()
  endif()
endfunction()

find_program(INTRO_MINGW_CXX i686-w64-mingw32-g++)
if(INTRO_BUILD_WINDOWS AND INTRO_MINGW_CXX)
  intro_windows_tree(intro_windows mingw-i686.cmake ${INTRO_WINDOWS_BINARY_DIR})
  set(INTRO_HAVE_WINDOWS_BUILD ON)

  find_program(INTRO_WINE32 wine)
  find_program(INTRO_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(INTRO_MINGW64_CXX x86_64-w64-mingw32-g++)
  intro_loader_runs("${INTRO_WINE32}" wine32_runs)
  intro_loader_runs("${INTRO_WINE64}" wine64_runs)
  if(wine32_runs)
    set(INTRO_WINE_LOADER ${INTRO_WINE32})
    set(INTRO_WINE_BINARY_DIR ${INTRO_WINDOWS_BINARY_DIR})
    message(STATUS "Wine tests: 32-bit intro.exe under ${INTRO_WINE32}")
  elseif(wine64_runs AND INTRO_MINGW64_CXX)
    set(INTRO_WINE_LOADER ${INTRO_WINE64})
    set(INTRO_WINE_BINARY_DIR ${CMAKE_BINARY_DIR}/windows64)
    intro_windows_tree(intro_windows64 mingw-x86_64.cmake ${INTRO_WINE_BINARY_DIR})
    message(STATUS "Wine tests: this machine runs no 32-bit programs; "
                   "the 64-bit build of the host runs under ${INTRO_WINE64}")
  else()
    message(STATUS "Wine tests: no Wine that runs here; they will report as skipped")
    set(INTRO_WINE_BINARY_DIR ${INTRO_WINDOWS_BINARY_DIR})
  endif()
  set(INTRO_WINE_EXE ${INTRO_WINE_BINARY_DIR}/host/intro.exe)
  set(INTRO_WINE_RELEASE_EXE ${INTRO_WINE_BINARY_DIR}/host/intro-release.exe)
else()
  message(STATUS "mingw-w64 not found or disabled: intro.exe and its tests are skipped")
endif()
