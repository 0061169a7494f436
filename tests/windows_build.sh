#!/bin/sh
# Cross-builds morvalen.exe for one Windows target (i686 or x86_64) with warnings as errors,
# checks from its headers that it is a console program of that target that needs no runtime
# DLL, and packs its ZIP with the text copy of the manual. The dump tests are built beside it, in
# BUILD-tests, with the compiler whose threads GoogleTest needs, for wine_e2e.sh to run.
# Without the cross compiler it reports itself skipped (77).
set -eu
arch=$1 source=$2 build=$3
if ! command -v "$arch-w64-mingw32-g++" >/dev/null; then
    echo "$arch-w64-mingw32-g++ is not installed: skipped"
    exit 77
fi
cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMORVALEN_WERROR=ON -DMORVALEN_TESTS=OFF
cmake --build "$build" -j 2
cmake -S "$source" -B "$build-tests" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_CXX_COMPILER="$arch-w64-mingw32-g++-posix" -DCMAKE_BUILD_TYPE=Release \
    -DMORVALEN_WERROR=ON -DMORVALEN_TESTS=ON
cmake --build "$build-tests" -j 2 --target dump_test pipe_peer

# The PE headers' machine, optional header (PE32 or PE32+) and subsystem (3: the console).
case $arch in
i686) expected='332 267 3' ;;
*) expected='34404 523 3' ;;
esac
field() { od -An -tu"$1" -j"$2" -N"$1" --endian=little "$build/morvalen.exe" | tr -d ' '; }
pe=$(field 4 60)
kind="$(field 2 $((pe + 4))) $(field 2 $((pe + 24))) $(field 2 $((pe + 92)))"
dlls=$(objdump -p "$build/morvalen.exe" | sed -n 's/^\tDLL Name: //p' | sort | tr '\n' ' ')
echo "morvalen.exe: machine, optional header and subsystem: $kind; imports: $dlls"
[ "$(field 4 "$pe")" = 17744 ] && [ "$kind" = "$expected" ] || { echo "expected: $expected" && exit 1; }
[ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || { echo "expected only the system DLLs" && exit 1; }

# One manifest, long-path aware, and the version resource with the project's version.
resources=$("$arch-w64-mingw32-windres" "$build/morvalen.exe" -O rc)
version=$(sed -n 's/^project(morvalen VERSION \([0-9.]*\) .*/\1/p' "$source/CMakeLists.txt")
fail() { echo "$1" && exit 1; }
[ "$(echo "$resources" | grep -c '/\* RT_MANIFEST \*/')" = 1 ] || fail "expected exactly one manifest"
echo "$resources" | grep -q 'longPathAware.*>true<' || fail "the manifest lacks longPathAware"
for field in "ProductName\", \"Morvalen" "FileVersion\", \"$version" "ProductVersion\", \"$version" \
    "FileDescription\", \"Console hex viewer" "LegalCopyright\", \"Copyright (c) 2026 the Morvalen developers"; do
    echo "$resources" | grep -qF "VALUE \"$field\"" || fail "the version resource lacks $field"
done
echo "resources: one manifest, long-path aware; version $version"

(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(echo "$build"/morvalen-*.zip)
listing=$(cmake -E tar tf "$zip")
echo "$zip: $(echo "$listing" | tr '\n' ' ')"
echo "$listing" | grep -q '/morvalen\.exe$' || { echo "the ZIP lacks morvalen.exe" && exit 1; }
echo "$listing" | grep -q '/morvalen\.txt$' || { echo "the ZIP lacks the manual" && exit 1; }
echo "$listing" | grep -q '/LICENSE\.txt$' || { echo "the ZIP lacks the licence" && exit 1; }
