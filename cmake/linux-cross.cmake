# Common to the Linux cross toolchain files, for Debian's cross compilers and multiarch
# libraries: LINUX_TRIPLET names the compiler, LINUX_MULTIARCH the library folder and
# QEMU_ARCH the qemu-user command that runs the programs and tests built.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${LINUX_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${LINUX_TRIPLET}-g++)
# The target's libraries are installed beside the host's (dpkg --add-architecture), in the same
# root: only their multiarch folder tells them apart.
set(CMAKE_LIBRARY_ARCHITECTURE ${LINUX_MULTIARCH})
# qemu-user takes the target's own loader and C library from /. The loader from
# /usr/${LINUX_TRIPLET} with the multiarch C library mixes two, and fork hangs in the child.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${QEMU_ARCH} -L /)
