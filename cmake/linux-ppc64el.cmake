# Cross-builds for 64-bit little-endian POWER Linux, run under qemu-ppc64le:
#   cmake -S . -B build/ppc64el -DCMAKE_TOOLCHAIN_FILE=cmake/linux-ppc64el.cmake
set(LINUX_TRIPLET powerpc64le-linux-gnu)
set(QEMU_ARCH ppc64le)
set(LINUX_LOADER ld64.so.2)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
