# Sourced by the commands, the benchmark and CI: what each needs, and `ensure`, which installs
# what is missing with the system's package manager or stops with one line that says how.
#
# Each need is THING=PACKAGE: THING is a command looked up on PATH, or a file when it starts
# with a slash.
#
# The LLVM of the format check, the tidy check and the fuzzer, on every release: one that Debian
# 12 and 13 both carry, so that what passes the checks on one passes on the other.
llvm=19
# fuzzer_runtime: the libFuzzer archive that clang would link, as clang itself names it.
fuzzer_runtime() {
    clang++-$llvm -fsanitize=fuzzer -### -x c++ /dev/null 2>&1 |
        sed -n 's/.*"\([^"]*libclang_rt\.fuzzer-[^"]*\.a\)".*/\1/p' | grep . || echo /none/libFuzzer
}
run_needs="cmake=cmake c++=g++ make=make /usr/include/term.h=libncurses-dev"
test_needs="$run_needs
    /usr/include/gtest/gtest.h=libgtest-dev tput=ncurses-bin script=util-linux
    tic=ncurses-bin python3=python3 clang-format-$llvm=clang-format-$llvm
    clang-tidy-$llvm=clang-tidy-$llvm clang++-$llvm=clang-$llvm
    $(fuzzer_runtime)=libclang-rt-$llvm-dev
    setpriv=util-linux timeout=coreutils objdump=binutils readelf=binutils groff=groff-base
    man=man-db dpkg-buildpackage=dpkg-dev dh=debhelper lintian=lintian
    i686-w64-mingw32-g++=g++-mingw-w64-i686 x86_64-w64-mingw32-g++=g++-mingw-w64-x86-64
    i686-w64-mingw32-g++-posix=g++-mingw-w64-i686-posix
    x86_64-w64-mingw32-g++-posix=g++-mingw-w64-x86-64-posix
    /usr/src/googletest/CMakeLists.txt=googletest autopkgtest=autopkgtest
    /usr/lib/wine/wine64=wine64 wineserver=wine
    qemu-i386=qemu-user qemu-arm=qemu-user qemu-aarch64=qemu-user qemu-s390x=qemu-user
    qemu-ppc64le=qemu-user i686-linux-gnu-g++=g++-i686-linux-gnu
    arm-linux-gnueabihf-g++=g++-arm-linux-gnueabihf aarch64-linux-gnu-g++=g++-aarch64-linux-gnu
    s390x-linux-gnu-g++=g++-s390x-linux-gnu arm-linux-gnueabi-g++=g++-arm-linux-gnueabi
    powerpc64le-linux-gnu-g++=g++-powerpc64le-linux-gnu"
bench_needs="$run_needs xxd=xxd hexdump=bsdextrautils /usr/bin/time=time valgrind=valgrind
    qemu-x86_64=qemu-user qemu-i386=qemu-user qemu-arm=qemu-user qemu-aarch64=qemu-user
    qemu-s390x=qemu-user qemu-ppc64le=qemu-user qemu-riscv64=qemu-user
    i686-linux-gnu-g++=g++-i686-linux-gnu arm-linux-gnueabihf-g++=g++-arm-linux-gnueabihf
    aarch64-linux-gnu-g++=g++-aarch64-linux-gnu s390x-linux-gnu-g++=g++-s390x-linux-gnu
    arm-linux-gnueabi-g++=g++-arm-linux-gnueabi powerpc64le-linux-gnu-g++=g++-powerpc64le-linux-gnu
    riscv64-linux-gnu-g++=g++-riscv64-linux-gnu"
# The Linux cross targets the test command builds and tests, by Debian's names: the
# architectures Debian 13 builds for besides amd64, the host's; riscv64 only on a release whose
# archive has packages for it, where known_release adds it.
cross_targets="i386 armhf arm64 s390x armel ppc64el"
# Nothing of another architecture is installed: the Linux cross builds take each target's C and
# C++ libraries from its cross compiler's own folder (/usr/TRIPLET, packages of architecture
# all), and fetch_root below brings each target's terminfo and the 32-bit Wine into folders of
# their own.

# known_release: stops with one line unless this is a Debian release that the test command
# knows; sets what differs between them, keyed by the release's name, here and nowhere else.
known_release() {
    release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    case $release in
    bookworm) qemu_suite=bookworm-backports ;; # its own qemu-user, 7.2, cannot run the 32-bit Wine
    trixie)
        qemu_suite=""
        cross_targets="$cross_targets riscv64"
        test_needs="$test_needs qemu-riscv64=qemu-user riscv64-linux-gnu-g++=g++-riscv64-linux-gnu"
        ;;
    *)
        echo "morvalen: the test command knows Debian 12 (bookworm) and 13 (trixie), not ${release:-this system}" >&2
        exit 1
        ;;
    esac
}

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
    # qemu-user without the qemu-user-binfmt it recommends, which registers qemu for the whole
    # system; the tests start qemu themselves.
    case " $missing " in *" qemu-user "*) missing="$missing qemu-user-binfmt-" ;; esac
    # A mirror in the middle of a sync may fail once: the lists are fetched again a little later.
    for attempt in 1 2; do
        $as_root apt-get update -qq >&2 || true
        $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >&2 && return 0
        [ $attempt = 2 ] || sleep 30
    done
    echo "morvalen: could not install $missing" >&2
    exit 1
}

# ensure_qemu_for_wine: tests/wine_e2e.sh runs the 32-bit Wine under qemu-i386 where the kernel
# runs no i386 program, or where MORVALEN_WINE32=qemu asks for it, and that must be qemu 10 or
# later: 7.2 takes MAP_FIXED_NOREPLACE as a hint, and Wine then fails to map its shared user
# data. Where the release's own is older, it comes from the suite known_release names, added
# on the mirror that this machine's apt sources already name.
ensure_qemu_for_wine() {
    [ "${MORVALEN_WINE32:-}" = qemu ] || ! runs_i386 || return 0
    qemu_major=$(qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
    [ "${qemu_major:-0}" -lt 10 ] || return 0
    suite=$qemu_suite
    root_for "qemu-user" "sudo apt-get install -t $suite qemu-user"
    echo "Installing qemu-user from $suite, for the 32-bit Wine under qemu ..." >&2
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

# runs_i386: whether this kernel runs i386 programs itself, asked of the 32-bit Wine's loader.
runs_i386() {
    "$(wine32_root)/usr/lib/ld-linux.so.2" --version >/dev/null 2>&1
}

# wine32_root: prints the folder that holds the 32-bit Wine, at the version of the 64-bit one
# installed, and what it depends on, for tests/wine_e2e.sh to lay over /usr where only it sees.
wine32_root() {
    version=$(dpkg-query -W -f '${Version}' wine64 2>/dev/null) ||
        { echo "morvalen: the 32-bit Wine is fetched at wine64's version, and wine64 is not installed" >&2 && exit 1; }
    wine32=$(fetch_root i386 "wine32=$version") || exit 1
    [ -e "$wine32/.configured" ] || configure_wine32 "$wine32" || exit 1
    echo "$wine32"
}

# configure_wine32 ROOT: what the maintainer scripts of the 32-bit Wine's packages do that Wine
# needs, done in ROOT: libwine's copies zlib1.dll of the MinGW-w64 zlib into Wine's folder of
# DLLs, marked as one of Wine's own (at byte 64), without which wineboot finds no zlib1.dll.
configure_wine32() {
    dll=$1/usr/i686-w64-mingw32/lib/zlib1.dll
    { head -c 64 "$dll" && printf 'Wine builtin DLL' && head -c 16 /dev/zero && tail -c +97 "$dll"; } \
        >"$1/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll" || return 1
    touch "$1/.configured"
}

# fetch_root ARCH [--alone] PACKAGE...: prints the folder that holds PACKAGE... of Debian
# architecture ARCH (NAME or NAME=VERSION) with what they depend on, or alone with --alone,
# unpacked and merged under usr/. apt fetches them from this machine's own sources through
# lists, state and cache of their own, of that architecture alone, and none of the machine's
# pins, which are for what it installs: nothing is added to dpkg or installed. The folder is
# kept in the user's cache under what was asked for, so that a second run, or a new clone,
# fetches nothing.
fetch_root() {
    arch=$1 depends=true && shift
    [ "$1" != --alone ] || { depends=false && shift; }
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/morvalen
    root=$cache/$arch-$(. /etc/os-release && echo "$VERSION_CODENAME")-$(echo "$*" | tr ' ' '+')
    [ -e "$root/.complete" ] || fetch_into "$arch" "$depends" "$cache/apt-$arch" "$root" "$@" ||
        { echo "morvalen: could not fetch $* for $arch" >&2 && exit 1; }
    echo "$root"
}

# fetch_into ARCH DEPENDS APT ROOT PACKAGE...: fetch_root's work; apt's files in APT until done.
fetch_into() {
    arch=$1 depends=$2 state=$3 root=$4 && shift 4
    debs=$state/archives
    rm -rf "$state" "$root.new"
    mkdir -p "$state/lists/partial" "$state/none" "$debs/partial" "$root.new"
    : >"$state/status"
    apt="apt-get -q -o APT::Architecture=$arch -o APT::Architectures=$arch
        -o Dir::State::Lists=$state/lists -o Dir::State::status=$state/status -o Dir::Cache=$state
        -o Dir::Cache::archives=$debs -o Dir::Etc::Preferences=$state/none/preferences
        -o Dir::Etc::PreferencesParts=$state/none -o Debug::NoLocking=1"
    [ "$(id -u)" != 0 ] || apt="$apt -o APT::Sandbox::User=root"
    echo "Fetching $* for $arch ..." >&2
    $apt update >&2 || true # a list that fails (a mirror in mid-sync) is left out
    if $depends; then
        $apt install -y -qq --download-only --no-install-recommends "$@" >&2 || return 1
    else
        (cd "$debs" && $apt download "$@" >&2) || return 1
    fi
    for deb in "$debs"/*.deb; do
        dpkg-deb -x "$deb" "$root.new" && dpkg-deb -W "$deb" >>"$root.new/packages" || return 1
    done
    # Merged under usr/, as a root whose /usr alone is laid over the machine's must be.
    for dir in bin sbin lib lib32 lib64 libx32; do
        [ -d "$root.new/$dir" ] && [ ! -L "$root.new/$dir" ] || continue
        mkdir -p "$root.new/usr/$dir" && cp -a "$root.new/$dir/." "$root.new/usr/$dir/" &&
            rm -rf "${root:?}.new/$dir" || return 1
    done
    rm -rf "$state" "$root" && mv "$root.new" "$root" && touch "$root/.complete"
}
