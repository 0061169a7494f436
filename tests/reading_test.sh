#!/bin/sh
# Live sources show each line as soon as its block is in, a socket on standard input is read,
# the file or pipe that the output goes to is refused, and a reader that leaves is noticed.
set -eu
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
. "$(dirname "$0")/checks.sh"

# Waits, up to ten seconds, for a line matching $1 in the file $2.
wait_for() {
    tries=0
    until grep -q "$1" "$2" 2>/dev/null || [ $tries -ge 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

# A FIFO whose writer stays open, read into a pipe and on a terminal.
for mode in pipe terminal; do
    rm -f "$dir/seen.txt"
    mkfifo "$dir/fifo"
    if [ $mode = pipe ]; then
        "$bin" "$dir/fifo" | cat >"$dir/seen.txt" &
    else
        TERM=dumb script -qfec "'$bin' '$dir/fifo'" /dev/null </dev/null >"$dir/seen.txt" &
    fi
    viewer=$! # the last of the pipeline: it ends when the viewer's output has all come
    wait_for '^El archivo visualizado es: ' "$dir/seen.txt"
    check "$mode: the header shows while the FIFO waits for a writer" \
        grep -q "^El archivo visualizado es: $dir/fifo" "$dir/seen.txt"
    exec 3>"$dir/fifo"
    printf '0123456789abcdefXY' >&3
    wait_for '^0000    30 31' "$dir/seen.txt"
    check "$mode: a line shows while the writer keeps the FIFO open" \
        grep -q '^0000    30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66  0123456789abcdef' "$dir/seen.txt"
    check "$mode: a block begun waits for the rest" sh -c "! grep -q '^0010' '$dir/seen.txt'"
    exec 3>&-
    wait $viewer
    check "$mode: the last block shows when the writer closes" grep -q '^0010    58 59 ' "$dir/seen.txt"
    rm "$dir/fifo"
done

# The output appended to the very file to be dumped.
printf 'abc' >"$dir/self.bin"
printf 'xyz' >"$dir/other.bin"
status=0
(cd "$dir" && "$bin" self.bin other.bin >>self.bin 2>err.txt) || status=$?
check "input file is output file: status 1" test $status = 1
check "input file is output file: said on standard error" \
    grep -qx 'morvalen: self.bin: input file is output file' "$dir/err.txt"
check "input file is output file: the next path is dumped" \
    sh -c "head -c 3 '$dir/self.bin' | grep -qx abc && grep -q '^0000    78 79 7a ' '$dir/self.bin'"

# A reader that leaves while a run of repeats writes nothing: the viewer ends as a write would.
{ status=0 && timeout 20 "$bin" /dev/zero || status=$? && echo $status >"$dir/head_status"; } |
    head -n 7 >/dev/null
check "/dev/zero | head: ended by SIGPIPE, not by the timeout" test "$(cat "$dir/head_status")" = 141

# Its own output pipe named as input is refused; a socket on standard input is dumped.
status=0
"$bin" /dev/stdout 2>"$dir/self_pipe.txt" | cat >"$dir/self_pipe_out.txt" || status=$?
check "the output pipe as input: refused on standard error" \
    grep -qx 'morvalen: /dev/stdout: input file is output file' "$dir/self_pipe.txt"
check "the output pipe as input: nothing read back" test "$(grep -c '^0000' "$dir/self_pipe_out.txt")" = 0
python3 -c "import socket,subprocess,sys;a,b=socket.socketpair();b.sendall(b'x'*20);b.close()
sys.exit(subprocess.run([sys.argv[1],'/dev/stdin'],stdin=a,stdout=open(sys.argv[2],'w')).returncode)" \
    "$bin" "$dir/socket.txt"
check "a socket on standard input is dumped" grep -q '^0010    78 78 78 78  ' "$dir/socket.txt"
# Past a file size limit the write fails: one line says so, and the status is 1.
head -c 200000 /dev/urandom >"$dir/big.bin"
status=0
(ulimit -f 100 && "$bin" "$dir/big.bin" >"$dir/limited.txt" 2>"$dir/limited_err.txt") || status=$?
check "a file size limit: status 1" test $status = 1
check "a file size limit: said on standard error" \
    grep -qx 'morvalen: cannot write the output: File too large' "$dir/limited_err.txt"
finish
