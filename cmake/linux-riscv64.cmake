# Cross-builds for 64-bit RISC-V Linux, run under qemu-riscv64:
#   cmake -S . -B build/riscv64 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-riscv64.cmake
set(LINUX_TRIPLET riscv64-linux-gnu)
set(QEMU_ARCH riscv64)
set(LINUX_LOADER ld-linux-riscv64-lp64d.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
