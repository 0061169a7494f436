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
    autopkgtest=autopkgtest
    qemu-i386=qemu-user qemu-arm=qemu-user qemu-aarch64=qemu-user qemu-s390x=qemu-user
    i686-linux-gnu-g++=g++-i686-linux-gnu arm-linux-gnueabihf-g++=g++-arm-linux-gnueabihf
    aarch64-linux-gnu-g++=g++-aarch64-linux-gnu s390x-linux-gnu-g++=g++-s390x-linux-gnu"
# The Linux cross builds take each target's C and C++ libraries from its cross compiler's own
# folder (/usr/TRIPLET, packages of architecture all), and its terminfo headers and library
# from fetch_target_terminfo below: no architecture is added for them. Both Wines, the 32-bit
# one the only package of another architecture, are installed by ensure_wine, in step.

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

# ensure_wine: both Wines, before anything else is installed, in an apt transaction of their
# own. Packages that both architectures install (Multi-Arch: same) must agree to the version,
# and a mirror's i386 lists (the security suite's, often) may lag behind the native ones: so each
# pair is held to the newest version that both lists offer, and one whose native twin is
# installed to a version no lower than that twin's, so that nothing is downgraded. Where the i386
# list has no such version, it stops with one line.
ensure_wine() {
    [ ! -e /usr/lib/wine/wine ] || [ ! -e /usr/lib/wine/wine64 ] || return 0
    root_for "wine32:i386" "sudo dpkg --add-architecture i386 && sudo apt-get install wine64 wine32:i386"
    echo "Installing wine wine64 wine32:i386 ..." >&2
    native=$(dpkg --print-architecture)
    dpkg --print-foreign-architectures | grep -qx i386 || $as_root dpkg --add-architecture i386
    $as_root apt-get update -qq >&2 || true # a lagging list fails here, and is left as it was
    packages=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances wine32:i386 |
        sed -n 's/^\([^ <][^ ]*\):i386$/\1/p' | sort -u)
    pins=$(mktemp)
    apt-cache policy $(for package in $packages; do echo "$package:i386 $package:$native"; done) \
        >"$pins.policy"
    dpkg-query -W -f '${db:Status-Status} ${Multi-Arch} ${Package} ${Version}\n' |
        awk '$1 == "installed" && $2 == "same" { print $3, $4 }' >"$pins.installed"
    paired_versions "$pins.installed" "$pins.policy" | while read -r package installed common offers; do
        held=""
        for version in $(echo "$common" | tr , ' '); do
            if [ "$installed" = - ] || [ "$version" = "$installed" ]; then held=$version && break; fi
            [ -n "$held" ] || ! dpkg --compare-versions "$version" gt "$installed" || held=$version
        done
        if [ -n "$held" ]; then
            printf 'Package: %s:i386 %s:%s\nPin: version %s\nPin-Priority: 990\n\n' \
                "$package" "$package" "$native" "$held" >>"$pins"
        elif [ "$installed" != - ] && [ ! -s "$pins.behind" ]; then
            echo "$package:i386 must be $installed, as the installed $native one is, but the mirror's" \
                "i386 list offers $(echo "$offers" | tr , ' '): that list is behind; try again later" \
                >"$pins.behind"
        fi
    done
    log=$(mktemp)
    if [ ! -s "$pins.behind" ] && $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        -o Dir::Etc::Preferences="$pins" wine wine64 wine32:i386 >"$log" 2>&1; then
        rm -f "$log" "$pins"*
        return 0
    fi
    if [ -s "$pins.behind" ]; then
        echo "morvalen: $(head -n 1 "$pins.behind")" >&2
    else
        cat "$log" >&2 && echo "morvalen: could not install wine wine64 wine32:i386" >&2
    fi
    rm -f "$log" "$pins"*
    exit 1
}

# paired_versions INSTALLED POLICY: for each package of apt-cache's POLICY of both architectures,
# a line: its name, the version of its native twin in INSTALLED (- for none), the versions that
# both architectures' lists offer and those that the i386 one offers (- for none), newest
# first, comma-separated. Versions pinned out are left out.
paired_versions() {
    awk -v native="$native" 'NR == FNR { installed[$1] = $2; next }
        /^[^ ].*:$/ {
            name = substr($0, 1, length($0) - 1); arch = native
            if (sub(/:i386$/, "", name)) arch = "i386"
            sub(":" native "$", "", name)
            names[name] = 1
            next
        }
        /^ (\*\*\*|   ) [^ ]+ -?[0-9]+$/ && $NF >= 0 { offered[name, arch] = offered[name, arch] "," $(NF - 1) }
        END {
            for (name in names) {
                common = ""
                n = split(substr(offered[name, "i386"], 2), version, ",")
                for (i = 1; i <= n; i++)
                    if (index(offered[name, native] ",", "," version[i] ",")) common = common "," version[i]
                print name, (name in installed ? installed[name] : "-"), common == "" ? "-" : substr(common, 2),
                    n ? substr(offered[name, "i386"], 2) : "-"
            }
        }' "$1" "$2"
}

# ensure_qemu_for_wine: where the kernel runs no i386 program, tests/wine_e2e.sh runs the 32-bit
# Wine under qemu-i386, which must be qemu 10 or later: 7.2 takes MAP_FIXED_NOREPLACE as a
# hint, and Wine then fails to map its shared user data. Debian 12 has that qemu in its
# backports suite, which is added on the mirror that this machine's apt sources already name.
ensure_qemu_for_wine() {
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

# fetch_target_terminfo ARCH DIR: the terminfo headers and library of Debian architecture ARCH,
# from the release's own packages, unpacked under DIR/root. apt fetches them through lists of its
# own in DIR, of that architecture alone: nothing is added to dpkg or installed, and the release
# suite has every architecture's lists in step, where a security suite's may lag.
fetch_target_terminfo() {
    [ -z "$(find "$2/root" -name 'libtinfo.so.6*' 2>/dev/null)" ] || return 0
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    stanza=$(backports_source "$release" "$release" | grep -v '^Architectures:')
    case $stanza in
    "") echo "morvalen: no Debian source in apt's sources to fetch terminfo for $1 from" >&2 && exit 1 ;;
    deb*) list=$2/sources.list ;;
    *) list=$2/debian.sources ;;
    esac
    mkdir -p "$2/lists/partial" "$2/cache/archives/partial" "$2/root" "$2/none"
    echo "$stanza" >"$list"
    : >"$2/status"
    apt="apt-get -qq -o APT::Architecture=$1 -o APT::Architectures=$1
        -o Dir::State::Lists=$2/lists -o Dir::State::status=$2/status -o Dir::Cache=$2/cache
        -o Dir::Etc::SourceList=$list -o Dir::Etc::SourceParts=$2/none
        -o Dir::Etc::Preferences=$2/none/preferences -o Dir::Etc::PreferencesParts=$2/none
        -o Debug::NoLocking=1"
    [ "$(id -u)" != 0 ] || apt="$apt -o APT::Sandbox::User=root"
    $apt update >&2
    (cd "$2" && $apt download libtinfo6 libncurses-dev >&2)
    for package in "$2"/*.deb; do dpkg-deb -x "$package" "$2/root"; done
}
