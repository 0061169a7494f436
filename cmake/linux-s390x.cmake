# Cross-builds for 64-bit big-endian IBM Z Linux, run under qemu-s390x:
#   cmake -S . -B build/s390x -DCMAKE_TOOLCHAIN_FILE=cmake/linux-s390x.cmake
set(LINUX_TRIPLET s390x-linux-gnu)
set(QEMU_ARCH s390x)
set(LINUX_LOADER ld64.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
