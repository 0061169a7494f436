# Common to the Linux cross toolchain files, for Debian's cross compilers: LINUX_TRIPLET names
# the compiler and its folder of the target's C and C++ libraries, /usr/${LINUX_TRIPLET},
# LINUX_LOADER the dynamic loader there, and QEMU_ARCH the qemu-user command that runs the
# programs and tests built.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${LINUX_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${LINUX_TRIPLET}-g++)
# Libraries of the target come from its own folder, never the host's. No terminfo is there:
# name it with -DTERMINFO_INCLUDE_DIR and -DTERMINFO_LIBRARY, or the console is not cleared.
set(CMAKE_FIND_ROOT_PATH /usr/${LINUX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The programs name the loader in the target's folder, and their run path leads it to the C
# library beside it, ahead of any the host has of the same architecture (the 32-bit Wine brings
# i386's, in the host's library cache): a loader and a C library of two builds hang fork. So
# they run alike under qemu-user and, where the kernel runs them, natively.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--dynamic-linker=/usr/${LINUX_TRIPLET}/lib/${LINUX_LOADER} \
-Wl,-rpath,/usr/${LINUX_TRIPLET}/lib -Wl,--disable-new-dtags")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${QEMU_ARCH} -L /usr/${LINUX_TRIPLET})
