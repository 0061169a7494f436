#!/bin/sh
# Replays the corpus through the fuzzer of the whole run, then tries RUNS new inputs, always the
# same ones, so that the test gives the same verdict every time. Given SECONDS as well
# (`fuzz.sh FUZZER CORPUS 0 SECONDS`), it fuzzes that long, with new random choices each time.
set -eu
fuzzer=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") corpus=$(cd "$2" && pwd)
runs=$3 seconds=${4:-0}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/new"
if [ "$seconds" -gt 0 ]; then
    set -- -max_total_time="$seconds"
else
    set -- -runs="$runs" -seed=1 # the same inputs every time, so a pass or a failure repeats
fi
status=0
(cd "$work" && "$fuzzer" "$@" -max_len=1024 -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 \
    new "$corpus") >"$work/log" 2>&1 || status=$?
grep -E '^(Done|stat::number_of_executed_units|==.*ERROR|SUMMARY)' "$work/log" || true
if [ $status -ne 0 ]; then
    tail -n 40 "$work/log"
    for crash in "$work"/crash-* "$work"/timeout-*; do
        [ -f "$crash" ] || continue
        cp "$crash" . # kept where the fuzzer was started from
        echo "the input that failed, kept as $(pwd)/$(basename "$crash"), in hex:"
        od -An -tx1 "$crash" | head -n 40
    done
fi
exit $status
