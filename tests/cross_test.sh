#!/bin/sh
# Cross-builds the viewer and its tests for one Linux target (one of cross_targets in
# scripts/needs.sh) with warnings as errors, checks that the program is built for that target,
# and runs the behaviour tests under qemu-user, armhf's both with NEON and without. Release,
# without sanitizers: LeakSanitizer spins at exit under qemu.
# The target's terminfo comes from its own packages, alone: its C library is the cross
# compiler's.
set -eu
arch=$1 source=$2 build=$3
terminfo=$(. "$source/scripts/needs.sh" && fetch_root "$arch" --alone libtinfo6 libncurses-dev)
library=$(find "$terminfo/usr/lib" -name libtinfo.so.6)
cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/linux-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMORVALEN_WERROR=ON -DMORVALEN_TESTS=ON \
    -DTERMINFO_INCLUDE_DIR="$terminfo/usr/include" -DTERMINFO_LIBRARY="$library"
cmake --build "$build" -j 2

# The ELF header's class, byte order, type (a position-independent executable) and machine.
case $arch in
i386) expected='1 1 3 3' ;;
armhf | armel) expected='1 1 3 40' ;;
ppc64el) expected='2 1 3 21' ;;
riscv64) expected='2 1 3 243' ;;
arm64) expected='2 1 3 183' ;;
s390x) expected='2 2 3 22' ;;
esac
set -- $(od -An -tu1 -j4 -N2 "$build/morvalen") # class and byte order (1: little-endian)
order=big && [ "$2" != 1 ] || order=little
header=$(echo "$@" $(od -An -tu2 -j16 -N4 --endian=$order "$build/morvalen"))
echo "morvalen: ELF class, byte order, type and machine: $header"
[ "$header" = "$expected" ] || { echo "expected: $expected" && exit 1; }
. "$(dirname "$0")/checks.sh" && check_hardened "$build/morvalen" && finish

ctest --test-dir "$build" -L behaviour --no-tests=error --output-on-failure
# armhf again on a processor without NEON, where the lines come from the tables.
[ "$arch" != armhf ] || QEMU_CPU=cortex-r5f ctest --test-dir "$build" -L behaviour --output-on-failure
