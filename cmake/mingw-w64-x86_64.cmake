# Cross-building the Windows x86-64 program on Linux with MinGW-w64
# (Debian: g++-mingw-w64-x86-64). The test programs run through Wine when it
# is installed, so ctest works on the cross build as it does natively.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BODWRIGHT_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX-thread flavour when present: its C++ runtime has the complete
# thread library, which the win32 flavour of GCC 12 lacks.
find_program(BODWRIGHT_MINGW_CXX NAMES ${BODWRIGHT_MINGW_PREFIX}-g++-posix ${BODWRIGHT_MINGW_PREFIX}-g++ REQUIRED)
find_program(BODWRIGHT_MINGW_CC NAMES ${BODWRIGHT_MINGW_PREFIX}-gcc-posix ${BODWRIGHT_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${BODWRIGHT_MINGW_CXX})
set(CMAKE_C_COMPILER ${BODWRIGHT_MINGW_CC})
find_program(CMAKE_RC_COMPILER NAMES ${BODWRIGHT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BODWRIGHT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib linked in (Debian's libz-mingw-w64-dev has both), so that the
# program needs no DLL beside it.
set(ZLIB_USE_STATIC_LIBS ON)

# Debian installs the 64-bit loader outside PATH.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(BODWRIGHT_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CACHE)
  if(BODWRIGHT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${BODWRIGHT_WINE})
  endif()
endif()
