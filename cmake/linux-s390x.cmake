# Cross-builds for 64-bit big-endian IBM Z Linux, run under qemu-s390x:
#   cmake -S . -B build/s390x -DCMAKE_TOOLCHAIN_FILE=cmake/linux-s390x.cmake
set(LINUX_TRIPLET s390x-linux-gnu)
set(LINUX_MULTIARCH s390x-linux-gnu)
set(QEMU_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
# Debian 12 installs no libncurses-dev:s390x beside the host's: the host's terminfo headers
# serve, with the target's run-time library.
set(TERMINFO_LIBRARY /usr/lib/s390x-linux-gnu/libtinfo.so.6 CACHE FILEPATH "terminfo library")
