#!/bin/sh
# The habits, checked: every C++ file as clang-format writes it, and clang-tidy quiet, with the
# committed checks, on every source of the native build and, through the MinGW-w64 headers, on
# the Windows sources; both tools of the LLVM that scripts/needs.sh names, on every release.
set -eu
source=$1 build=$2
cd "$source"
. tests/checks.sh
. scripts/needs.sh

# A room includes from another only what CONTRIBUTING.md's table of rooms lets it: a room, or
# one header.
rooms_allow() {
    for file in src/*/*; do
        allowed=" $(awk -F'|' -v room="\`${file%/*}\`" '$2 ~ room { print $4 }' CONTRIBUTING.md |
            tr -d '`,') "
        for include in $(sed -n 's|^#include "\.\./\([^"]*\)"|\1|p' "$file"); do
            case $allowed in *" $include "* | *" ${include%%/*} "*) ;; *) echo "$file: $include" && return 1 ;; esac
        done
    done
}
check "every room includes only what the table of rooms allows" rooms_allow
# No platform header but in the system's room, the console's and the Windows entry files.
check "no platform header outside the platform files" sh -c '! grep -nE "^#include <((sys|asm|linux|mach)/|(win[a-z0-9]*|unistd|poll|fcntl|termios|signal|curses|term|dirent|dlfcn|pthread|io)\.h>)" $(find src -name "*.cpp" -o -name "*.h" | grep -vE "^src/(system|console)/|_windows\.cpp$")'

files=$(find src tests bench -name '*.cpp' -o -name '*.h' | sort)
check "clang-format changes nothing" clang-format-$llvm --dry-run --Werror $files

# Each compile database's sources, two at a time; what clang-tidy says goes to tidy.log. Each
# run's words are sifted and written whole, as two runs' progress lines can cross mid-line.
tidy() {
    python3 -c 'import json, sys
print("\n".join(sorted({e["file"] for e in json.load(open(sys.argv[1]))})))' "$1/compile_commands.json" |
        xargs -n 3 -P 2 sh -c 'said=$(clang-tidy-'$llvm' -p "$0" --quiet --warnings-as-errors="*" "$@" 2>&1 |
            grep -v -e "warnings generated" -e "^\[[0-9]*/[0-9]*] Processing file")
            [ -z "$said" ] || printf "%s\n" "$said"' "$1" >>"$build/tidy.log" || true
}
# The Windows sources, compiled for 64-bit Windows against the MinGW-w64 headers.
windows=$build/lint-windows
mkdir -p "$windows"
gcc_include=$(x86_64-w64-mingw32-g++ -print-file-name=include)
python3 -c 'import json, os, sys
source, include, out = sys.argv[1:4]
flags = ["clang++", "--target=x86_64-w64-mingw32", "-std=c++17", "-Isrc",
         "-isystem", include + "/c++", "-isystem", include + "/c++/x86_64-w64-mingw32", "-c"]
files = [os.path.join(d, f) for d, _, fs in os.walk("src") for f in fs if f.endswith("_windows.cpp")]
json.dump([{"directory": source, "file": os.path.join(source, f), "arguments": flags + [f]}
           for f in files], open(out, "w"))' "$source" "$gcc_include" "$windows/compile_commands.json"
: >"$build/tidy.log"
tidy "$build"
tidy "$windows"
cat "$build/tidy.log"
check "clang-tidy finds nothing" test ! -s "$build/tidy.log"
finish
