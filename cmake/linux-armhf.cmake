# Cross-builds for 32-bit ARM Linux (hard float), run under qemu-arm:
#   cmake -S . -B build/armhf -DCMAKE_TOOLCHAIN_FILE=cmake/linux-armhf.cmake
set(LINUX_TRIPLET arm-linux-gnueabihf)
set(QEMU_ARCH arm)
set(LINUX_LOADER ld-linux-armhf.so.3)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
