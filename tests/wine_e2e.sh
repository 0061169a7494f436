#!/bin/sh
# Runs the dump tests of one Windows build (the program's calls scripted) and the golden
# end-to-end cases against it, under the Wine of its width, in a fresh Wine prefix that it
# removes at the end. The 32-bit Wine is the folder that scripts/needs.sh fetches (wine32_root),
# laid over /usr in a mount namespace of this test's own, so that nothing outside sees it; it
# runs directly where the kernel runs i386 programs, and under qemu-i386 user emulation where
# it does not, or where MORVALEN_WINE32=qemu asks for that (MORVALEN_WINE32=native, the other).
# Without that Wine, or where this machine cannot run it, or without the executable, it
# reports itself skipped (77).
set -eu
test_program=$1 exe=$2 prefix=$3 arch=$4 dump_tests=$5
case $arch in
i686) loader=/usr/lib/wine/wine ;;
*) loader=/usr/lib/wine/wine64 ;;
esac
skip() {
    echo "$1: skipped"
    exit 77
}
[ -f "$exe" ] || skip "$exe was not built (no cross compiler)"
# Every run in a mount namespace of its own, where the mounts it makes go with it.
if [ -z "${MORVALEN_WINE_NS:-}" ]; then
    MORVALEN_WINE32_ROOT=/
    [ "$arch" != i686 ] || MORVALEN_WINE32_ROOT=$(. "$(dirname "$0")/../scripts/needs.sh" && wine32_root) ||
        skip "the 32-bit Wine could not be fetched"
    as_root="" && [ "$(id -u)" = 0 ] || as_root="--user --map-root-user"
    export MORVALEN_WINE32_ROOT MORVALEN_WINE_NS=1
    exec unshare $as_root --mount sh -c '[ "$MORVALEN_WINE32_ROOT" = / ] || mount -t overlay overlay \
        -o "lowerdir=$MORVALEN_WINE32_ROOT/usr:/usr" /usr && exec sh "$@"' overlaid "$0" "$@"
fi
[ -x "$loader" ] || skip "$loader is not installed"
way=${MORVALEN_WINE32:-}
[ -n "$way" ] || { "$loader" --version >/dev/null 2>&1 && way=native || way=qemu; }

qemu=/usr/bin/qemu-i386
if [ -n "${MORVALEN_QEMU_NS:-}" ]; then # here, inside the namespace
    echo >&3 && exec 3>&-
    read -r mapped <"$MORVALEN_QEMU_NS/go"
    [ "$mapped" = mapped ] || skip "the ids could not be mapped into a user namespace"
    mount -t binfmt_misc binfmt_misc "$MORVALEN_QEMU_NS/binfmt" 2>/dev/null ||
        skip "this kernel gives a user namespace no binfmt_misc of its own (Linux 6.7 or later)"
    elf='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf '%s' ":i386:M::$elf:$mask:$qemu:F" >"$MORVALEN_QEMU_NS/binfmt/register"
    echo "32-bit Wine under $($qemu --version | head -n 1)"
elif [ "$arch" = i686 ] && [ "$way" = qemu ]; then
    version=$($qemu --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
    [ "${version:-0}" -ge 10 ] || skip "the 32-bit Wine goes through qemu-i386 here, and qemu-i386 10 or later is not installed"
    [ "$(id -u)" = 0 ] || skip "the 32-bit Wine goes through qemu-i386 here, and only root maps every id for it"
    ns=$(mktemp -d)
    mkfifo "$ns/ready" "$ns/go"
    mkdir "$ns/binfmt"
    MORVALEN_QEMU_NS=$ns unshare --user --mount sh "$0" "$@" 3>"$ns/ready" &
    pid=$!
    exec 4<>"$ns/go" # read and write: the word goes in even if no one reads it
    mapped=no
    if read -r _ <"$ns/ready" && echo '0 0 4294967295' >"/proc/$pid/uid_map" &&
        echo '0 0 4294967295' >"/proc/$pid/gid_map"; then
        mapped=mapped
    fi
    echo "$mapped" >&4
    status=0
    wait "$pid" || status=$?
    rm -rf "$ns"
    exit "$status"
elif ! "$loader" --version >/dev/null 2>&1; then
    skip "$loader cannot run on this machine (no $arch programs here)"
elif [ "$arch" = i686 ]; then
    echo "32-bit Wine, run directly"
fi

. "$(dirname "$0")/checks.sh"
export WINEPREFIX="$prefix" WINEDEBUG=-all MORVALEN_RUNNER="$loader" MORVALEN_BIN="$exe"
dir=$(mktemp -d)
exe_in_wine=Z:$(cd "$(dirname "$exe")" && pwd | tr / '\\')\\$(basename "$exe")
cleanup() {
    wineserver -k 2>/dev/null || true # it would outlive the test and hold its output open
    umount "$dir/a" "$dir/b" 2>/dev/null || true
    rm -rf "$dir" "$prefix"
}
trap cleanup EXIT
rm -rf "$prefix"
start=$(date +%s)
if ! "$loader" wineboot --init >"$dir/wineboot.log" 2>&1 || [ ! -d "$prefix/drive_c/windows/system32" ]; then
    cat "$dir/wineboot.log"
    echo "FAILED: a fresh Wine prefix" && exit 1
fi
echo "ok: a fresh Wine prefix, in $(($(date +%s) - start)) s"
# A server that a program starts ends with it, and the next program may meet it ending
# ("Connection reset by peer"): one server, kept until the end, serves every run.
wineserver -w && wineserver -p
check "the dump tests pass under Wine" "$loader" "$dump_tests" --gtest_brief=1
start=$(date +%s)
check "the golden cases pass under Wine" "$test_program"
echo "(the cases took $(($(date +%s) - start)) s)"

# Under a terminal, Wine's console draws the cleared screen buffer there (a line erased for each
# row), while the redirected output holds the dump and no control code.
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

# A reader that leaves a pipe that Windows made ends the program, even in a run of repeats that
# writes nothing (Wine tells the pipe's state for such a pipe, not for a Unix shell's): here
# zeros without end, through a FIFO.
mkfifo "$dir/zeros"
cat /dev/zero >"$dir/zeros" 2>/dev/null &
feeder=$!
peer=$(dirname "$dump_tests")/pipe_peer.exe zeros=Z:$(echo "$dir" | tr / '\\')\\zeros
check "a reader that leaves a Windows pipe ends an endless run of zeros, status 1" \
    sh -c "'$loader' '$peer' leave '$exe_in_wine $zeros' 2>&1 | tr -d '\\r' | paste -sd ' ' | grep -qx 'status 1'"
kill $feeder 2>/dev/null || true

# The output file named as input, from a Unix shell and through cmd, is refused: it would grow
# as it is read. (A limit on the file's size ends a run that is not.) Whether Wine gives the
# volume of a handle made from a Unix descriptor depends on the mounts it finds: where it does
# not, the program cannot tell, and refuses all the same.
printf 'abcdef' >"$dir/self.bin"
(cd "$dir" && ulimit -f 2000 && status=0 && "$loader" "$exe" self.bin >>self.bin 2>self.err ||
    status=$? && echo $status >self_status)
check "f >> f from a Unix shell: refused" grep -qE '^morvalen: self.bin: (cannot tell whether )?input file is output file' "$dir/self.err"
check "f >> f from a Unix shell: status 1" test "$(cat "$dir/self_status")" = 1
(cd "$dir" && ulimit -f 2000 && "$loader" cmd /c "$exe_in_wine self.bin >> self.bin" 2>cmd.err) || true
check "f >> f through cmd: refused" grep -qE '^morvalen: self.bin: (cannot tell whether )?input file is output file' "$dir/cmd.err"

# A pipe served in messages, one of no bytes, is dumped whole when its server ends the connection;
# its server's end as the output is refused at once, as is one file through two drives (hard links).
(cd "$dir" && "$loader" "$peer" messages "$exe_in_wine \\\\.\\pipe\\morvalen" >served.txt 2>&1)
check "a pipe's messages: all 35 bytes, status 0" sh -c "grep -q '^0020    65 73 2e  ' '$dir/served.txt' && grep -qx 'status 0.' '$dir/served.txt'"
check "its own pipe's server end as output: refused, status 1" sh -c "timeout 60 '$loader' '$peer' own '$exe_in_wine \\\\.\\pipe\\morvalen' 2>&1 | tr -d '\\r' | paste -sd ' ' | grep -qx 'morvalen: .*input file is output file status 1'"
mkdir "$dir/e" "$dir/g" && echo x >"$dir/e/g.txt" && ln "$dir/e/g.txt" "$dir/g/g.txt" && ln -s "$dir/e" "$prefix/dosdevices/e:" && ln -s "$dir/g" "$prefix/dosdevices/g:"
"$loader" cmd /c "$exe_in_wine E:\\g.txt >> G:\\g.txt" 2>"$dir/drives.err" || true
check "one file through two drives: refused, nothing dumped" sh -c "grep -q 'input file is output file' '$dir/drives.err' && ! grep -q '^0000' '$dir/e/g.txt'"

# A FIFO as its own output is refused; two files on two tmpfs mounts (as root, in this test's
# namespace) are not one.
mkfifo "$dir/p" && (cd "$dir" && timeout 60 "$loader" "$exe" p 1<>p 2>p.err || echo $? >p_status)
check "a FIFO as its own output: refused, status 1" sh -c "grep -qE '^morvalen: p: (cannot tell whether )?input file is output file' '$dir/p.err' && test \$(cat '$dir/p_status') = 1"
if [ "$(id -u)" = 0 ] && mkdir "$dir/a" "$dir/b" && mount -t tmpfs tmpfs "$dir/a" && mount -t tmpfs tmpfs "$dir/b"; then
    echo x | tee "$dir/a/log" "$dir/b/log" >/dev/null && touch -d 2020-01-01 "$dir/a/log" "$dir/b/log" && { (cd "$dir" && "$loader" "$exe" a/log >>b/log 2>two.err) || true; }
    check "two files on two tmpfs mounts: not one" grep -qE '^morvalen: a/log: cannot tell|^0000    78 0a' "$dir/two.err" "$dir/b/log"
fi

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
finish
