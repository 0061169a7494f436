#!/bin/sh
# The run command, on a machine that lacks cmake, run by a user who cannot install it (not
# root, no sudo), stops before building with one line naming what is missing and how to
# install it.
set -eu
source=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
chmod 755 "$dir"
mkdir "$dir/copy" "$dir/path"
cp -r "$source/scripts" "$dir/copy/"
ln -sf /bin/* /usr/bin/* "$dir/path/"
rm -f "$dir/path/cmake" "$dir/path/sudo"
as_user=""
[ "$(id -u)" != 0 ] || as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
. "$(dirname "$0")/checks.sh"

status=0
$as_user env PATH="$dir/path" sh "$dir/copy/scripts/run-sample" </dev/null >"$dir/out" 2>"$dir/err" ||
    status=$?
cat "$dir/err"
check "the run command fails" test $status != 0
check "it says what is missing and how to install it, in one line" \
    sh -c "[ \$(wc -l <'$dir/err') = 1 ] &&
        grep -qx 'morvalen: missing cmake; install them with: sudo apt-get install cmake' '$dir/err'"
check "it stops before building" test ! -e "$dir/copy/build"
check "it prints nothing else" test ! -s "$dir/out"
finish
