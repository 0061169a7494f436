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

# A reader that goes away ends the program at once, with no message and status 1.
head -c 4000000 /dev/urandom >"$dir/big.bin"
(cd "$dir" && { status=0 && "$loader" "$exe" big.bin 2>pipe.txt || status=$? && echo $status >pipe_status; } |
    head -c 100 >/dev/null)
check "a closed pipe: status 1" test "$(cat "$dir/pipe_status")" = 1
check "a closed pipe: no message" test ! -s "$dir/pipe.txt"

# Names in any script open, and the header names them in UTF-8, in a file and on the console.
export LC_ALL=C.UTF-8 # Wine reads the command line, and writes to the terminal, in UTF-8
names="café.bin|日本語 ファイル.bin|Ωμέγα δοκιμή.bin"
for name in café.bin "日本語 ファイル.bin" "Ωμέγα δοκιμή.bin"; do printf 'z' >"$dir/$name"; done
(cd "$dir" && "$loader" "$exe" café.bin "日本語 ファイル.bin" "Ωμέγα δοκιμή.bin" >names.txt)
TERM=xterm script -qec "cd '$dir' && '$loader' '$exe' café.bin '日本語 ファイル.bin' 'Ωμέγα δοκιμή.bin'" \
    /dev/null </dev/null >"$dir/names-tty.log"
for where in names.txt names-tty.log; do
    check "$where: every name is dumped" test "$(grep -c '^0000    7a ' "$dir/$where")" = 3
    check "$where: the headers name them in UTF-8" sh -c "grep -a '^El archivo visualizado es: ' '$dir/$where' |
        sed 's/^El archivo visualizado es: //; s/\r*\$//' | paste -sd '|' | grep -qx '$names'"
done
rm -rf "$dir"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true # it would outlive the test and hold its output open
finish
