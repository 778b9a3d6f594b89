# Sourced by the scripts that run Windows programs: which Wine loader and
# which of the project's prefixes serve each build.
#   wine_use ARCH [DPI]  ARCH is win32 (Turfwise.exe) or win64 (Turfwise64.exe);
#                        sets WINE_LOADER, WINESERVER and, unless the caller set
#                        one, WINEPREFIX. With a DPI, WINEPREFIX is always the
#                        project's prefix for that screen DPI: the usual one
#                        for 96, Wine's own default, else one of its own
#                        (build/wineprefix64-dpi192 and so on), as the DPI
#                        holds for every program of a prefix.
#   runs_32bit           true where this machine runs 32-bit programs
#   i686_how             "native", or "emulated" where qemu-i386 runs them
#   pick_build VERB      the build to run here: sets arch, preset and exe_name
#                        (the 32-bit one where it runs) and says which
# TURFWISE_NO_32BIT=1 makes runs_32bit false, to try the 64-bit-only path on a
# machine that runs both.
turfwise_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

runs_32bit() {
    case "${TURFWISE_NO_32BIT:-0}" in 0|"") ;; *) return 1 ;; esac
    # Wine's 32-bit loader is a 32-bit program: it runs exactly where they do.
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Where 32-bit x86 programs go to qemu's user-mode emulator (scripts/packages.sh
# registers it on kernels that run none), the 32-bit build is emulated.
i686_how() {
    if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
        echo emulated
    else
        echo native
    fi
}

# Why the 64-bit build stands in for the 32-bit one, for the scripts' messages.
no_32bit_reason() {
    case "${TURFWISE_NO_32BIT:-0}" in
    0|"") ;;
    *) echo "TURFWISE_NO_32BIT is set"; return ;;
    esac
    if [ ! -e /usr/lib/wine/wine ]; then
        echo "32-bit Wine (wine32:i386) is not installed"
    elif [ "$(uname -m)" != x86_64 ]; then
        echo "this machine runs no 32-bit x86 programs and has no emulator set up for them"
    elif [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
        echo "this machine runs no 32-bit programs and qemu-i386 is not registered for them (scripts/packages.sh does it as root)"
    else
        echo "this machine runs no 32-bit programs, and qemu-i386 failed to run one"
    fi
}

wine_use() {
    local prefix
    case "$1" in
    win32)
        # The wrapper: 32-bit loader, in a prefix that also holds the 64-bit side
        # as on a 64-bit Windows.
        WINE_LOADER=wine
        prefix=$turfwise_root/build/wineprefix
        ;;
    win64)
        # Straight to the 64-bit loader: the wrapper would take the 32-bit one
        # whenever it is installed, even where it cannot run.
        WINE_LOADER=/usr/lib/wine/wine64
        prefix=$turfwise_root/build/wineprefix64
        ;;
    *)
        echo "unknown Wine arch '$1' (win32 or win64)" >&2
        return 1
        ;;
    esac
    if [ -n "${2:-}" ]; then
        valid_dpi "$2" || return 1
        [ "$2" = 96 ] || prefix=$prefix-dpi$2
        export WINEPREFIX=$prefix
    else
        export WINEPREFIX=${WINEPREFIX:-$prefix}
    fi
    WINESERVER=/usr/lib/wine/wineserver64
    [ -x "$WINESERVER" ] || WINESERVER=wineserver
}

# A screen DPI Wine can take: 96 is 100 %, 144 is 150 %, 192 is 200 %.
valid_dpi() {
    case "$1" in
    ''|*[!0-9]*) ;;
    *) [ "$1" -ge 72 ] && [ "$1" -le 480 ] && return 0 ;;
    esac
    echo "unknown screen DPI '$1' (a number from 72 to 480, such as 96, 144 or 192)" >&2
    return 1
}

pick_build() {
    if runs_32bit; then
        arch=win32 preset=windows exe_name=Turfwise.exe
        if [ "$(i686_how)" = emulated ]; then
            echo "$1 the 32-bit build (Turfwise.exe), emulated: this machine runs 32-bit programs through qemu-i386"
        else
            echo "$1 the 32-bit build (Turfwise.exe)"
        fi
    else
        arch=win64 preset=windows64 exe_name=Turfwise64.exe
        echo "$1 the 64-bit build (Turfwise64.exe): $(no_32bit_reason)"
    fi
}
