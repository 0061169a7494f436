#!/bin/sh
# Runs the golden end-to-end cases against the 64-bit Windows build under Wine, in a Wine
# prefix of the build tree. Without Wine or the executable it reports itself skipped (77).
set -eu
test_program=$1 exe=$2 prefix=$3
if ! command -v wine >/dev/null; then
    echo "wine is not installed: skipped"
    exit 77
fi
if [ ! -f "$exe" ]; then
    echo "$exe was not built (no cross compiler): skipped"
    exit 77
fi
. "$(dirname "$0")/checks.sh"
export WINEPREFIX="$prefix" WINEDEBUG=-all MORVALEN_RUNNER=wine MORVALEN_BIN="$exe"
check "the golden cases pass under Wine" "$test_program"

# Under a terminal, Wine's console draws the cleared screen buffer there (a line erased for each
# row), while the redirected output holds the dump and no control code.
dir=$(mktemp -d)
printf 'abc' >"$dir/in.bin"
TERM=xterm script -qec "cd '$dir' && wine '$exe' in.bin >out.txt" /dev/null </dev/null >"$dir/tty.log"
esc=$(printf '\033')
check "the console is cleared" grep -q "$esc\[K" "$dir/tty.log"
check "the redirected output holds no control code" sh -c "! grep -q '$esc' '$dir/out.txt'"
check "the redirected output holds the dump" grep -q '^0000    61 62 63 ' "$dir/out.txt"
rm -rf "$dir"
wineserver -k 2>/dev/null || true # the server would outlive the test and hold its output open
finish
