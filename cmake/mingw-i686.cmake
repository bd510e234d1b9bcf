# Cross-compiles the 32-bit Windows intro with mingw-w64 (i686).
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# SSE2 scalar maths instead of x87: single-precision values (the status
# line's rates and average) are then rounded to float at every step, as the
# 64-bit build and Visual Studio's default /arch:SSE2 do.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Test programs built here run through Wine.
find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
