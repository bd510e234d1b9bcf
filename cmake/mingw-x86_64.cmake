# Cross-compiles a 64-bit build of the same host code with mingw-w64
# (x86_64). The tests run it under wine64 on machines whose kernel runs no
# 32-bit programs; the intro itself is the 32-bit build.
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

find_program(WINE_PROGRAM NAMES wine64 PATHS /usr/lib/wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
