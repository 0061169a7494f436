# Sourced by the shell tests: `check DESCRIPTION COMMAND...` runs the command, prints ok or
# FAILED with the description, and counts the failures for `finish`.
failures=0
check() {
    what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what" && failures=$((failures + 1)); fi
}
finish() { [ "$failures" -eq 0 ]; }
# check_hardened ELF: PIE, relocations read-only and bound at the start, stack protected, fortified.
check_hardened() { check "$1 is hardened" sh -c 'facts=$(readelf -dlW --dyn-syms "$1") && for fact in \
    "Flags: NOW PIE" BIND_NOW GNU_RELRO " __stack_chk_fail" _chk@; do echo "$facts" | grep -q -- "$fact" || { echo "no $fact" && exit 1; }; done' - "$1"; }
