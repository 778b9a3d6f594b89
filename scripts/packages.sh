#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Quick and silent when all are there.
set -u
packages=(cmake make g++ clang libclang-rt-dev googletest libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 fonts-wine
          xvfb xauth imagemagick libcli11-dev nlohmann-json3-dev zip)
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
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq || exit 1
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
