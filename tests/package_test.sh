#!/bin/sh
# Installs a Release build into a staging folder, and builds the Debian package from a copy of
# the source tree: both must lay out the program and its manual page, lintian must pass the
# package with no error and no warning, its copyright file must carry the licence, the program
# from the package must dump a file, autopkgtest must pass the package's own tests (the package
# build runs the behaviour tests too), and the manual page must render with no warning. The
# install build needs no GoogleTest: without it the tests are off, said in one line.
set -eu
source=$1 build=$2
rm -rf "$build"
mkdir -p "$build/src/morvalen"
. "$(dirname "$0")/checks.sh"
no_gtest="-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_BUILD_TYPE=Release -DMORVALEN_WERROR=ON"
status=0
cmake -S "$source" -B "$build/asked" $no_gtest -DMORVALEN_TESTS=ON >"$build/asked.log" 2>&1 || status=$?
check "without GoogleTest, asking for the tests fails and names the package" \
    sh -c "[ $status != 0 ] && grep -q 'install libgtest-dev' '$build/asked.log'"
cmake -S "$source" -B "$build" $no_gtest >"$build/configure.log"
check "without GoogleTest, the install build configures with the tests off, in one line" \
    test "$(grep -c 'Tests not built' "$build/configure.log")" = 1
cmake --build "$build" -j 2 >/dev/null

cmake --install "$build" --prefix "$build/stage" >/dev/null
check "install puts the program in bin/" test -x "$build/stage/bin/morvalen"
check_hardened "$build/stage/bin/morvalen"
check "install puts the manual page in share/man/man1/" \
    cmp "$build/stage/share/man/man1/morvalen.1" "$source/doc/morvalen.1"

# dpkg-buildpackage writes the packages beside the source folder, so it builds a copy.
tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$build/src/morvalen" -xf -
(cd "$build/src/morvalen" && dpkg-buildpackage -b -us -uc >"$build/dpkg-buildpackage.log" 2>&1) ||
    { tail -20 "$build/dpkg-buildpackage.log" && exit 1; }
deb=$(echo "$build"/src/morvalen_*_"$(dpkg --print-architecture)".deb)
lintian --fail-on error,warning --display-info "$deb" >"$build/lintian.log" 2>&1 || true
grep -v 'running with root privileges' "$build/lintian.log" >"$build/lintian.tags" || true
cat "$build/lintian.tags"
check "lintian finds nothing in the package" test ! -s "$build/lintian.tags"

dpkg-deb --contents "$deb" >"$build/contents.txt"
for file in usr/bin/morvalen usr/share/man/man1/morvalen.1.gz usr/share/doc/morvalen/copyright \
    usr/share/doc/morvalen/changelog.gz; do
    check "the package holds /$file" grep -q " \./$file\$" "$build/contents.txt"
done
version=$(sed -n 's/^project(morvalen VERSION \([0-9.]*\) .*/\1/p' "$source/CMakeLists.txt")
check "the package's version is the project's, $version" test "$(dpkg-deb --field "$deb" Version)" = "$version"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
check "the package depends on the C library and terminfo" \
    sh -c "echo '$depends' | grep -q 'libc6' && echo '$depends' | grep -q 'libtinfo6'"

dpkg -x "$deb" "$build/root"
# The licence text of the copyright file, as plain lines, is the licence's own.
awk '/^License: MIT$/ { last = NR } { line[NR] = $0 } END { for (i = last + 1; i <= NR; i++) print line[i] }' \
    "$build/root/usr/share/doc/morvalen/copyright" | sed 's/^ //; s/^\.$//' >"$build/licence-from-copyright.txt"
tail -n +5 "$source/LICENSE" >"$build/licence.txt"
check "the copyright file carries the licence" cmp "$build/licence.txt" "$build/licence-from-copyright.txt"
check "the copyright file names the copyright holders" \
    grep -qx 'Copyright: 2026 the Morvalen developers' "$build/root/usr/share/doc/morvalen/copyright"

printf 'Hi\n' >"$build/hi.txt"
"$build/root/usr/bin/morvalen" "$build/hi.txt" >"$build/installed.txt"
"$build/morvalen" "$build/hi.txt" >"$build/built.txt"
check "the installed program dumps a file" grep -q '^0000    48 69 0a    ' "$build/installed.txt"
check "the installed program matches the built one" cmp "$build/installed.txt" "$build/built.txt"

# The package's own tests (debian/tests), as autopkgtest runs them on the installed package.
# The package is removed again when it was not installed before.
installed=$(dpkg-query -W -f '${Status}' morvalen 2>/dev/null || true)
status=0
autopkgtest --no-built-binaries "$deb" "$build/src/morvalen/" -- null >"$build/autopkgtest.log" 2>&1 ||
    status=$?
[ "$installed" = "install ok installed" ] || dpkg --purge morvalen >/dev/null
sed -n '/@@@@ summary$/,/^autopkgtest/p' "$build/autopkgtest.log"
# Exit status 16 and up is the testbed's trouble after the tests (its apt lists fetched again at
# the end, from a mirror in mid-sync), not theirs: the summary tells how they went.
check "autopkgtest passes the end-to-end tests on the installed package" \
    sh -c "{ [ $status = 0 ] || [ $status -ge 16 ]; } && grep -q '^end-to-end  *PASS\$' '$build/autopkgtest.log'"
[ $status = 0 ] || tail -40 "$build/autopkgtest.log"

groff -man -ww -z "$source/doc/morvalen.1" 2>"$build/groff.log"
check "groff renders the manual page with no warning" test ! -s "$build/groff.log"
man --warnings -l "$source/doc/morvalen.1" >/dev/null 2>"$build/man.log"
check "man renders the manual page with no warning" test ! -s "$build/man.log"
check "the manual page has the copyright line" \
    sh -c "man -l '$source/doc/morvalen.1' 2>/dev/null | grep -q 'Copyright (c) 2026 the Morvalen developers'"
cat "$build/groff.log" "$build/man.log"

# The README's sample (around its "...") and the manual's example (run with sh -v) are the program's.
awk '/^```$/ { inside = !inside; next } inside' "$source/README.md" >"$build/readme.txt"
(cd "$source" && "$build/morvalen" samples/sample.bin) >"$build/sample.txt"
cut=$(sed -n '/^\.\.\.$/=' "$build/readme.txt") && after=$(($(wc -l <"$build/readme.txt") - cut))
{ head -n $((cut - 1)) "$build/sample.txt" && echo ... && tail -n $after "$build/sample.txt"; } >"$build/shown.txt"
check "the README's sample is the program's" cmp "$build/readme.txt" "$build/shown.txt"
sed -n '/^\.SH EXAMPLES/,/^\.fi/p' "$source/doc/morvalen.1" | sed '1,/^\.nf/d; /^\.fi/d; s/\\fB//g; s/\\fP//g
    s/\\(rs/\\/g; s/\\-/-/g; s/ *$//' >"$build/example.txt"
mkdir "$build/example" "$build/bin" && ln -s "$build/morvalen" "$build/bin/morvalen"
sed -n 's/^ *\$ //p' "$build/example.txt" >"$build/example.sh" && sed 's/^\( *\)\$ /\1/' "$build/example.txt" >"$build/example.out"
(cd "$build/example" && PATH="$build/bin:$PATH" sh -v ../example.sh 2>&1 | sed 's/ *$//' >../example.ran) || true
check "the manual's example is the program's" cmp "$build/example.out" "$build/example.ran"

finish
