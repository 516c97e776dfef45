# Cross build for ARM64 Linux with Debian's g++-aarch64-linux-gnu. Programs
# built here run on this machine under qemu-user, which the tests and the
# test discovery use through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(OMBRISK_QEMU_AARCH64 qemu-aarch64)
if(OMBRISK_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OMBRISK_QEMU_AARCH64} -L /usr/aarch64-linux-gnu)
endif()
