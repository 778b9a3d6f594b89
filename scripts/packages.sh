#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Quick and silent when all are there. 32-bit Wine
# (wine32:i386) only where the kernel runs 32-bit programs.
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
          xvfb xauth imagemagick nlohmann-json3-dev zip)
# Without it, the 64-bit Wine serves the 64-bit build and the 32-bit one is
# only checked.
kernel_runs_32bit && packages+=(wine32:i386)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "== Installing: ${missing[*]}"
if [ "$(id -u)" != 0 ]; then
    echo "Missing packages; run as root to install them: ${missing[*]}" >&2
    exit 1
fi
case " ${missing[*]} " in
*:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq || exit 1
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
