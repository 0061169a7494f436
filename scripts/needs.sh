# Sourced by the two commands and by CI: what each command needs, and `ensure`, which installs
# what is missing with the system's package manager or stops with one line that says how.
#
# Each need is THING=PACKAGE: THING is a command looked up on PATH, or a file when it starts
# with a slash.
run_needs="cmake=cmake c++=g++ make=make /usr/include/term.h=libncurses-dev"
test_needs="$run_needs
    /usr/include/gtest/gtest.h=libgtest-dev tput=ncurses-bin script=util-linux
    setpriv=util-linux timeout=coreutils file=file objdump=binutils groff=groff-base man=man-db
    dpkg-buildpackage=dpkg-dev dh=debhelper lintian=lintian
    i686-w64-mingw32-g++=g++-mingw-w64-i686 x86_64-w64-mingw32-g++=g++-mingw-w64-x86-64
    wineserver=wine /usr/lib/wine/wine64=wine64 /usr/lib/wine/wine=wine32:i386"

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
    if [ "$(id -u)" = 0 ]; then
        as_root=""
    elif command -v sudo >/dev/null 2>&1 && { sudo -n true 2>/dev/null || [ -t 0 ]; }; then
        as_root="sudo"
    else
        echo "morvalen: missing $missing; install them with: sudo apt-get install $missing" >&2
        exit 1
    fi
    echo "Installing $missing ..." >&2
    case " $missing " in
    *:i386*) $as_root dpkg --add-architecture i386 ;;
    esac
    $as_root apt-get update -qq >&2
    $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >&2
}
