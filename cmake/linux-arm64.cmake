# Cross-builds for 64-bit ARM Linux, run under qemu-aarch64:
#   cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-arm64.cmake
set(LINUX_TRIPLET aarch64-linux-gnu)
set(QEMU_ARCH aarch64)
set(LINUX_LOADER ld-linux-aarch64.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
