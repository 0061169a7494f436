#!/bin/sh
# The screen is cleared through the controlling terminal, never through standard output, and
# only when the terminal type has a clear capability.
set -eu
bin=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'abc' >"$dir/in.bin"
clear_sequence=$(tput -x -T xterm clear) # the capability alone, without the scrollback
esc=$(printf '\033')

# Runs the viewer under a pseudo-terminal with TERM set to $1 (empty: unset), its standard
# output redirected to a file; the terminal's output lands in tty.log.
run_in_terminal() {
    if [ -n "$1" ]; then set -- env TERM="$1"; else set -- env -u TERM; fi
    "$@" script -qec "'$bin' '$dir/in.bin' >'$dir/out.txt'" /dev/null </dev/null >"$dir/tty.log"
}

. "$(dirname "$0")/checks.sh"

run_in_terminal xterm
check "xterm: the clear sequence reaches the terminal" grep -qF "$clear_sequence" "$dir/tty.log"
check "xterm: the output file holds no control code" sh -c "! grep -q '$esc' '$dir/out.txt'"
check "xterm: the output file holds the dump" grep -q '^0000    61 62 63 ' "$dir/out.txt"

for term in "" dumb; do
    run_in_terminal "$term"
    check "TERM='$term': nothing reaches the terminal" sh -c "! grep -q '$esc' '$dir/tty.log'"
    check "TERM='$term': the output file holds the dump" grep -q '^0000    61 62 63 ' "$dir/out.txt"
done
TERM=dumb script -qec "'$bin' '$(printf 'nothere\033[31m\233\177\340\200\257\033]0;T\007')'" /dev/null </dev/null >"$dir/tty.log" || true
check "a name on the terminal: shown escaped" grep -qF "Error:fopen  \$'nothere\x1b[31m\x9b\x7f\xe0\x80\xaf\x1b]0;T\x07'" "$dir/tty.log"

# A clear sequence longer than any buffer reaches the terminal whole.
printf 'long-clear|a terminal whose clear sequence is long,\n\tclear=\\E[H\\E[2J%s,\n' \
    "$(printf '\\E[0m%.0s' $(seq 100))" >"$dir/long.ti"
tic -o "$dir/terminfo" "$dir/long.ti"
long_sequence=$(TERMINFO="$dir/terminfo" tput -T long-clear clear)
TERMINFO="$dir/terminfo" run_in_terminal long-clear
check "a 407-byte clear sequence reaches the terminal whole" grep -qF "$long_sequence" "$dir/tty.log"

# Padding proportional to the lines affected is sent for every line of the screen, as clear does.
printf 'pad-clear|a terminal whose clear needs padding for each line,\n\tclear=\\E[H\\E[2J$<5*/>, lines#40,\n' \
    >"$dir/pad.ti"
tic -o "$dir/terminfo" "$dir/pad.ti"
TERMINFO="$dir/terminfo" TERM=pad-clear script -qec clear /dev/null </dev/null >"$dir/clear.log"
TERMINFO="$dir/terminfo" run_in_terminal pad-clear
padding=$(tr -cd '\000' <"$dir/tty.log" | wc -c)
check "proportional padding: as much as clear sends ($padding bytes)" \
    test "$padding" -gt 100 -a "$padding" = "$(tr -cd '\000' <"$dir/clear.log" | wc -c)"

# A background job, under `stty tostop`, clears nothing and is not stopped for it.
TERM=xterm timeout 20 script -qec "stty tostop; set -m; '$bin' '$dir/in.bin' >'$dir/bg.txt' & wait" \
    /dev/null </dev/null >"$dir/tty.log"
check "background: nothing reaches the terminal" sh -c "! grep -q '$esc' '$dir/tty.log'"
check "background: the job finishes its dump" grep -q '^0000    61 62 63 ' "$dir/bg.txt"

finish
