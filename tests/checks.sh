# Sourced by the shell tests: `check DESCRIPTION COMMAND...` runs the command, prints ok or
# FAILED with the description, and counts the failures for `finish`.
failures=0
check() {
    what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what" && failures=$((failures + 1)); fi
}
finish() { [ "$failures" -eq 0 ]; }
