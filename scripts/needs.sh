# Sourced by the two commands and by CI: what each command needs, and `ensure`, which installs
# what is missing with the system's package manager or stops with one line that says how.
#
# Each need is THING=PACKAGE: THING is a command looked up on PATH, or a file when it starts
# with a slash.
run_needs="cmake=cmake c++=g++ make=make /usr/include/term.h=libncurses-dev"
test_needs="$run_needs
    /usr/include/gtest/gtest.h=libgtest-dev tput=ncurses-bin script=util-linux
    tic=ncurses-bin python3=python3 clang-format=clang-format clang-tidy=clang-tidy clang++=clang
    /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a=libclang-rt-14-dev
    setpriv=util-linux timeout=coreutils file=file objdump=binutils groff=groff-base man=man-db
    dpkg-buildpackage=dpkg-dev dh=debhelper lintian=lintian
    i686-w64-mingw32-g++=g++-mingw-w64-i686 x86_64-w64-mingw32-g++=g++-mingw-w64-x86-64
    i686-w64-mingw32-g++-posix=g++-mingw-w64-i686-posix
    x86_64-w64-mingw32-g++-posix=g++-mingw-w64-x86-64-posix
    /usr/src/googletest/CMakeLists.txt=googletest
    wineserver=wine /usr/lib/wine/wine64=wine64 /usr/lib/wine/wine=wine32:i386
    autopkgtest=autopkgtest
    qemu-i386=qemu-user qemu-arm=qemu-user qemu-aarch64=qemu-user qemu-s390x=qemu-user
    i686-linux-gnu-g++=g++-i686-linux-gnu arm-linux-gnueabihf-g++=g++-arm-linux-gnueabihf
    aarch64-linux-gnu-g++=g++-aarch64-linux-gnu s390x-linux-gnu-g++=g++-s390x-linux-gnu"
# The Linux cross builds: each target's own C and C++ libraries, which qemu-user runs the
# programs with, GoogleTest and terminfo (Debian 12 has no libncurses-dev:s390x beside the
# host's, so s390x takes the host's headers and its own run-time library).
for target in i386:i386-linux-gnu armhf:arm-linux-gnueabihf arm64:aarch64-linux-gnu \
    s390x:s390x-linux-gnu; do
    arch=${target%%:*} lib=/usr/lib/${target#*:}
    test_needs="$test_needs $lib/libc.so.6=libc6:$arch $lib/libstdc++.so.6=libstdc++6:$arch
        $lib/libgtest.a=libgtest-dev:$arch"
    case $arch in
    s390x) test_needs="$test_needs $lib/libtinfo.so.6=libtinfo6:$arch" ;;
    *) test_needs="$test_needs $lib/libtinfo.so=libncurses-dev:$arch" ;;
    esac
done

# root_for WHAT HOW: sets as_root to what runs a command as root, or stops saying how to get WHAT.
root_for() {
    if [ "$(id -u)" = 0 ]; then
        as_root=""
    elif command -v sudo >/dev/null 2>&1 && { sudo -n true 2>/dev/null || [ -t 0 ]; }; then
        as_root="sudo"
    else
        echo "morvalen: missing $1; install them with: $2" >&2
        exit 1
    fi
}

# ensure NEED... : returns when everything is there; installs what is not, or exits.
ensure() {
    missing=""
    for need in "$@"; do
        thing=${need%%=*} package=${need#*=}
        case $thing in
        /*) [ -e "$thing" ] ;;
        *) command -v "$thing" >/dev/null 2>&1 ;;
        esac || case " $missing " in *" $package "*) ;; *) missing="$missing $package" ;; esac
    done
    [ -n "$missing" ] || return 0
    missing=${missing# }
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "morvalen: missing $missing; install them with this system's package manager" >&2
        exit 1
    fi
    root_for "$missing" "sudo apt-get install $missing"
    echo "Installing $missing ..." >&2
    # Packages of another architecture (wine32:i386, libc6:s390x) need it added to dpkg first.
    for package in $missing; do
        case $package in *:*)
            arch=${package#*:}
            [ "$arch" = "$(dpkg --print-architecture)" ] ||
                dpkg --print-foreign-architectures | grep -qx "$arch" ||
                $as_root dpkg --add-architecture "$arch" ;;
        esac
    done
    # qemu-user without the qemu-user-binfmt it recommends, of any architecture, which registers
    # qemu for the whole system; the tests start qemu themselves.
    case " $missing " in *" qemu-user "*)
        missing="$missing qemu-user-binfmt-"
        for arch in $(dpkg --print-foreign-architectures); do
            missing="$missing qemu-user-binfmt:$arch-"
        done ;;
    esac
    # A mirror in the middle of a sync serves one architecture's lists stale, and packages of
    # two architectures then cannot agree: the lists are fetched again a little later, and at
    # last the release's own versions, which every architecture has, are preferred.
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    for attempt in 1 2 3; do
        $as_root apt-get update -qq >&2 || true
        prefer=""
        [ $attempt != 3 ] || prefer="-o APT::Default-Release=$release"
        $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $prefer $missing >&2 &&
            return 0
        [ $attempt = 3 ] || sleep 30
    done
    echo "morvalen: could not install $missing" >&2
    exit 1
}

# ensure_i386_wine: where the kernel runs no i386 program, tests/wine_e2e.sh runs the 32-bit
# Wine under qemu-i386, which must be qemu 10 or later: 7.2 takes MAP_FIXED_NOREPLACE as a
# hint, and Wine then fails to map its shared user data. Debian 12 has that qemu in its
# backports suite, which is added on the mirror that this machine's apt sources already name.
ensure_i386_wine() {
    /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
    qemu_major=$(qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
    [ "${qemu_major:-0}" -lt 10 ] || return 0
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")-backports
    root_for "qemu-user" "sudo apt-get install -t $suite qemu-user"
    echo "Installing qemu-user from $suite, for the 32-bit Wine on this kernel ..." >&2
    apt="apt-get -o DPkg::Lock::Timeout=900"
    if grep -rqsE "^[^#]* $suite( |\$)" /etc/apt/sources.list /etc/apt/sources.list.d; then
        $as_root $apt update -qq >&2
    else
        source=$(backports_source "${suite%-backports}" "$suite")
        case $source in
        "") echo "morvalen: no Debian source to add $suite to; add it to apt's sources" >&2 && exit 1 ;;
        deb*) list=/etc/apt/sources.list.d/$suite.list ;;
        *) list=/etc/apt/sources.list.d/$suite.sources ;;
        esac
        echo "$source" | $as_root tee "$list" >/dev/null
        # Only the new suite's lists: the others are as fresh as the last install left them.
        $as_root $apt -o Dir::Etc::SourceList="$list" -o Dir::Etc::SourceParts=- \
            -o APT::Get::List-Cleanup=0 update -qq >&2
    fi
    # Without the recommended qemu-user-binfmt, which would register qemu for the whole system.
    $as_root env DEBIAN_FRONTEND=noninteractive $apt install -y -qq --no-install-recommends \
        -t "$suite" qemu-user >&2
}

# backports_source RELEASE SUITE: the first of this machine's apt sources that names RELEASE,
# with SUITE in its place, as a deb822 stanza or a one-line entry, as that source was written.
backports_source() {
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        stanza=$(awk -v release="$1" -v suite="$2" 'BEGIN { RS = "" }
            {
                deb = ours = 0
                n = split($0, line, "\n")
                for (i = 1; i <= n; i++) {
                    if (line[i] ~ /^Types:/ && (line[i] " ") ~ / deb /) deb = 1
                    if (line[i] ~ /^Suites:/ && (line[i] " ") ~ (" " release " ")) ours = 1
                }
                if (!deb || !ours) next
                for (i = 1; i <= n; i++)
                    if (line[i] ~ /^Types:/) print "Types: deb"
                    else if (line[i] ~ /^Suites:/) print "Suites: " suite
                    else if (line[i] !~ /^#/) print line[i]
                exit
            }' "$file")
        [ -z "$stanza" ] || { echo "$stanza" && return; }
    done
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk -v release="$1" -v suite="$2" '$1 == "deb" {
            for (i = 2; i <= NF; i++) if ($i == release) { $i = suite; print; exit } }'
}
