#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Quick and silent when all are there. 32-bit Wine
# (wine32:i386) where the kernel runs 32-bit programs; where an x86_64 kernel
# refuses them, also qemu's user-mode emulator (bookworm-backports' qemu 10,
# that package alone from there) and a binfmt_misc registration that hands
# 32-bit x86 programs to it, so the 32-bit build is tested there too.
# TURFWISE_NO_32BIT=1 installs neither on such a machine.
# Undo the emulation: echo -1 >/proc/sys/fs/binfmt_misc/qemu-i386, and remove
# qemu-user, /etc/apt/sources.list.d/turfwise-backports.sources and
# /etc/apt/preferences.d/turfwise-backports.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Whether the kernel runs 32-bit x86 programs. Asked before wine32 is there,
# so it runs a 93-byte 32-bit program that only exits. A 64-bit one beside it
# tells a folder where nothing may run (noexec) from a kernel without 32-bit
# support; where neither answers, 32-bit Wine is installed as before.
kernel_runs_32bit() {
    case $(uname -m) in
    x86_64) ;;
    i?86) return 0 ;;
    *) return 1 ;;
    esac
    local elf32='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
    elf32+='\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'   # exit(0) through int 0x80
    local elf64='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x3e\x00\x01\x00\x00\x00\x78\x00\x40\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x40\x00\x38\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00\x81\x00\x00\x00\x00\x00\x00\x00\x81\x00\x00\x00\x00\x00\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00'
    elf64+='\xb8\x3c\x00\x00\x00\x31\xff\x0f\x05'   # exit(0) through syscall
    local base dir answer=
    for base in "${TMPDIR:-/tmp}" "$here/.."; do
        dir=$(mktemp -d "$base/turfwise-probe-XXXXXX" 2>/dev/null) || continue
        printf "$elf32" >"$dir/probe32" && printf "$elf64" >"$dir/probe64" && chmod +x "$dir"/probe*
        if { "$dir/probe64"; } 2>/dev/null; then
            if { "$dir/probe32"; } 2>/dev/null; then answer=yes; else answer=no; fi
        fi
        rm -rf "$dir"
        [ -n "$answer" ] && break
    done
    [ "$answer" != no ]
}

packages=(cmake make g++ clang libclang-rt-dev googletest libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 fonts-wine
          xvfb xauth imagemagick nlohmann-json3-dev zip
          groff-base lintian)
emulate=0
if kernel_runs_32bit; then
    packages+=(wine32:i386)
elif [ "$(uname -m)" = x86_64 ] && [ "${TURFWISE_NO_32BIT:-0}" = 0 ]; then
    packages+=(wine32:i386 qemu-user)
    emulate=1
fi
# Without either, the 64-bit Wine serves the 64-bit build and the 32-bit one
# is only checked.

qemu_i386() {
    local q
    for q in /usr/bin/qemu-i386-static /usr/bin/qemu-i386; do
        [ -x "$q" ] && { echo "$q"; return 0; }
    done
    return 1
}

# The kernel hands every 32-bit x86 ELF program to qemu-i386, Wine's loader
# and the processes it starts included. F opens the emulator now, so the
# registration works in any mount namespace. Lasts until the next boot.
register_qemu_i386() {
    local dir=/proc/sys/fs/binfmt_misc q
    [ -e $dir/qemu-i386 ] && return 0
    q=$(qemu_i386) || { echo "qemu-i386 is not installed" >&2; return 1; }
    [ -e $dir/register ] || mount -t binfmt_misc binfmt_misc $dir || return 1
    echo "== Registering $q for 32-bit x86 programs (binfmt_misc)"
    printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$q:F" >$dir/register
}

# qemu 7.2, bookworm's own, takes minutes to start Wine; bookworm-backports
# has qemu 10. The suite is added with every package pinned away from it but
# the emulator.
add_backports() {
    . /etc/os-release
    [ "${VERSION_CODENAME:-}" = bookworm ] || return 0
    local list=/etc/apt/sources.list.d/turfwise-backports.sources
    local pin=/etc/apt/preferences.d/turfwise-backports
    [ -f $list ] && [ -f $pin ] && return 0
    cat >$list <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    cat >$pin <<'PIN'
Package: *
Pin: release n=bookworm-backports
Pin-Priority: -10

Package: qemu-user
Pin: release n=bookworm-backports
Pin-Priority: 990
PIN
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "== Installing: ${missing[*]}"
    if [ "$(id -u)" != 0 ]; then
        echo "Missing packages; run as root to install them: ${missing[*]}" >&2
        exit 1
    fi
    case " ${missing[*]} " in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
    esac
    [ $emulate = 1 ] && add_backports
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq || exit 1
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || exit 1
fi
if [ $emulate = 1 ]; then
    if [ "$(id -u)" = 0 ]; then
        register_qemu_i386 || echo "32-bit programs cannot be emulated here: the binfmt_misc registration failed" >&2
    else
        echo "32-bit programs are not emulated: registering qemu-i386 needs root" >&2
    fi
fi
exit 0
