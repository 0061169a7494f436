#!/bin/sh
# Runs the golden end-to-end cases against one Windows build under the Wine of its width (the
# 32-bit executable under 32-bit Wine), in a Wine prefix of the build tree. Without that Wine,
# or where this machine cannot run it, or without the executable, it reports itself skipped (77).
set -eu
test_program=$1 exe=$2 prefix=$3 arch=$4
case $arch in
i686) loader=/usr/lib/wine/wine ;;
*) loader=/usr/lib/wine/wine64 ;;
esac
if [ ! -x "$loader" ]; then
    echo "$loader is not installed: skipped"
    exit 77
fi
if ! "$loader" --version >/dev/null 2>&1; then
    echo "$loader cannot run on this machine (no $arch programs here): skipped"
    exit 77
fi
if [ ! -f "$exe" ]; then
    echo "$exe was not built (no cross compiler): skipped"
    exit 77
fi
. "$(dirname "$0")/checks.sh"
export WINEPREFIX="$prefix" WINEDEBUG=-all MORVALEN_RUNNER="$loader" MORVALEN_BIN="$exe"
check "the golden cases pass under Wine" "$test_program"

# Under a terminal, Wine's console draws the cleared screen buffer there (a line erased for each
# row), while the redirected output holds the dump and no control code.
dir=$(mktemp -d)
printf 'abc' >"$dir/in.bin"
TERM=xterm script -qec "cd '$dir' && '$loader' '$exe' in.bin >out.txt" /dev/null </dev/null >"$dir/tty.log"
esc=$(printf '\033')
check "the console is cleared" grep -q "$esc\[K" "$dir/tty.log"
check "the redirected output holds no control code" sh -c "! grep -q '$esc' '$dir/out.txt'"
check "the redirected output holds the dump" grep -q '^0000    61 62 63 ' "$dir/out.txt"
rm -rf "$dir"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true # it would outlive the test and hold its output open
finish
