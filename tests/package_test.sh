#!/bin/sh
# Installs a Release build into a staging folder, builds the Debian package and unpacks it
# into a throwaway root: both must lay out the program and its manual page, the program from
# the package must dump a file, and the manual page must render with no warning.
set -eu
source=$1 build=$2
rm -rf "$build/stage" "$build/root" "$build"/*.deb
cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMORVALEN_TESTS=OFF -DMORVALEN_WERROR=ON >/dev/null
cmake --build "$build" -j 2 >/dev/null
. "$(dirname "$0")/checks.sh"

cmake --install "$build" --prefix "$build/stage" >/dev/null
check "install puts the program in bin/" test -x "$build/stage/bin/morvalen"
check "install puts the manual page in share/man/man1/" \
    cmp "$build/stage/share/man/man1/morvalen.1" "$source/doc/morvalen.1"

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(echo "$build"/morvalen_*.deb)
dpkg-deb --contents "$deb" >"$build/contents.txt"
check "the package lists the program" grep -q ' \./usr/bin/morvalen$' "$build/contents.txt"
check "the package lists the manual page" \
    grep -q ' \./usr/share/man/man1/morvalen\.1$' "$build/contents.txt"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
check "the package depends on the C library and terminfo" \
    sh -c "echo '$depends' | grep -q 'libc6' && echo '$depends' | grep -q 'libtinfo6'"

dpkg -x "$deb" "$build/root"
printf 'Hi\n' >"$build/hi.txt"
"$build/root/usr/bin/morvalen" "$build/hi.txt" >"$build/installed.txt"
"$build/morvalen" "$build/hi.txt" >"$build/built.txt"
check "the installed program dumps a file" grep -q '^0000    48 69 0a    ' "$build/installed.txt"
check "the installed program matches the built one" cmp "$build/installed.txt" "$build/built.txt"

groff -man -ww -z "$source/doc/morvalen.1" 2>"$build/groff.log"
check "groff renders the manual page with no warning" test ! -s "$build/groff.log"
man --warnings -l "$source/doc/morvalen.1" >/dev/null 2>"$build/man.log"
check "man renders the manual page with no warning" test ! -s "$build/man.log"
cat "$build/groff.log" "$build/man.log"

finish
