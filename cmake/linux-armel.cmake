# Cross-builds for 32-bit ARM Linux (soft float, ARMv5TE, no NEON), run under qemu-arm:
#   cmake -S . -B build/armel -DCMAKE_TOOLCHAIN_FILE=cmake/linux-armel.cmake
set(LINUX_TRIPLET arm-linux-gnueabi)
set(QEMU_ARCH arm)
set(LINUX_LOADER ld-linux.so.3)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
