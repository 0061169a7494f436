#!/bin/sh
# Cross-builds the viewer and its tests for one Linux target (i386, armhf, arm64 or s390x) with
# warnings as errors, checks that the program is built for that target, and runs the behaviour
# tests under qemu-user, armhf's both with NEON and without. Release, without sanitizers:
# LeakSanitizer spins at exit under qemu.
# The target's terminfo comes from its own packages, unpacked in the build folder.
set -eu
arch=$1 source=$2 build=$3
(. "$source/scripts/needs.sh" && fetch_target_terminfo "$arch" "$build/terminfo")
library=$(find "$build/terminfo/root/lib" -name libtinfo.so.6)
cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/linux-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMORVALEN_WERROR=ON -DMORVALEN_TESTS=ON \
    -DTERMINFO_INCLUDE_DIR="$build/terminfo/root/usr/include" -DTERMINFO_LIBRARY="$library"
cmake --build "$build" -j 2

case $arch in
i386) expected='ELF 32-bit LSB pie executable, Intel 80386' ;;
armhf) expected='ELF 32-bit LSB pie executable, ARM, EABI5' ;;
arm64) expected='ELF 64-bit LSB pie executable, ARM aarch64' ;;
s390x) expected='ELF 64-bit MSB pie executable, IBM S/390' ;;
esac
kind=$(file -b "$build/morvalen")
echo "morvalen: $kind"
case $kind in "$expected"*) ;; *) echo "expected: $expected" && exit 1 ;; esac

ctest --test-dir "$build" -L behaviour --no-tests=error --output-on-failure
# armhf again on a processor without NEON, where the lines come from the tables.
[ "$arch" != armhf ] || QEMU_CPU=cortex-r5f ctest --test-dir "$build" -L behaviour --output-on-failure
