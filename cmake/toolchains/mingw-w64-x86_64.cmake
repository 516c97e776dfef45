# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread
# model, for std::thread), linked statically so that the programs need no
# MinGW DLLs beside them. They run on this machine under Wine, which the tests
# and the test discovery use through CMAKE_CROSSCOMPILING_EMULATOR (Wine's
# first start in a new prefix takes a while; a wineserver kept running with
# `wineserver -p` spares the start-up of every later program).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine in a prefix of the build tree's own, made on first use, and quiet.
# Debian's wine64 package keeps the program out of PATH.
find_program(OMBRISK_WINE64 NAMES wine64 wine PATHS /usr/lib/wine)
if(OMBRISK_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
      WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${OMBRISK_WINE64})
endif()
