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
export WINEPREFIX="$prefix" WINEDEBUG=-all MORVALEN_RUNNER=wine MORVALEN_BIN="$exe"
status=0
"$test_program" || status=$?
wineserver -k 2>/dev/null || true # the server would outlive the test and hold its output open
exit $status
