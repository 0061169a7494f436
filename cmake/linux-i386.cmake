# Cross-builds for 32-bit x86 Linux, run under qemu-i386:
#   cmake -S . -B build/i386 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake
set(LINUX_TRIPLET i686-linux-gnu)
set(QEMU_ARCH i386)
set(LINUX_LOADER ld-linux.so.2)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
