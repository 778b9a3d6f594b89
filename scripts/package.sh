#!/usr/bin/env bash
# Builds both Windows programs in Release, stripped, and writes
# dist/turfwise-<version>-windows.zip with Turfwise.exe, Turfwise64.exe, the
# command line turfwise-cli.exe (32-bit, for every Windows) and a README.txt
# with Windows line ends. The version is the project's (CMakeLists.txt).
# Prints each program's size against its budget and fails, with where the
# bytes go, when one is over.
#   scripts/package.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
"$here/packages.sh"
# Stripped, in bytes. Nothing may pull in iostreams: the static libstdc++
# iostreams with their locale facets are 1.1 MB by themselves.
declare -A budget=(
    [Turfwise.exe]=$((256 * 1024))
    [Turfwise64.exe]=$((256 * 1024))
    [turfwise-cli.exe]=$((1024 * 1024))
)
declare -A map=(
    [Turfwise.exe]=build/release-i686/ui/Turfwise.map
    [Turfwise64.exe]=build/release-x86_64/ui/Turfwise.map
    [turfwise-cli.exe]=build/release-i686/cli/turfwise-cli.map
)

for preset in windows-release windows64-release; do
    echo "== $preset"
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target Turfwise turfwise-cli -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
done
version=$(cat build/release-i686/version.txt)
[ -n "$version" ] || { echo "configure wrote no version" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
i686-w64-mingw32-strip -o "$stage/Turfwise.exe" build/release-i686/ui/Turfwise.exe
x86_64-w64-mingw32-strip -o "$stage/Turfwise64.exe" build/release-x86_64/ui/Turfwise64.exe
i686-w64-mingw32-strip -o "$stage/turfwise-cli.exe" build/release-i686/cli/turfwise-cli.exe
for exe in "$stage/Turfwise.exe" "$stage/Turfwise64.exe" "$stage/turfwise-cli.exe"; do
    case $exe in *64.exe) arch=x86_64 ;; *) arch=i686 ;; esac
    tests/ui/check_exe.sh "$exe" $arch | tail -1
done
over=0
for exe in Turfwise.exe Turfwise64.exe turfwise-cli.exe; do
    size=$(stat -c %s "$stage/$exe")
    printf '%-17s %9d bytes stripped, budget %9d (%d%%)\n' $exe "$size" "${budget[$exe]}" $((size * 100 / budget[$exe]))
    if [ "$size" -gt "${budget[$exe]}" ]; then
        echo "$exe is over its size budget; where its bytes go:" >&2
        "$here/sizes.sh" "${map[$exe]}" 15 >&2
        over=1
    fi
done
[ $over = 0 ] || exit 1

sed -e "s/@VERSION@/$version/" -e 's/$/\r/' res/package-readme.txt >"$stage/README.txt"
# One date for every entry: the same sources give the same archive.
touch -d "@$(git log -1 --format=%ct 2>/dev/null || echo 0)" "$stage"/*

mkdir -p dist
zip=dist/turfwise-$version-windows.zip
rm -f "$zip"
(cd "$stage" && zip -q -X -9 "$root/$zip" Turfwise.exe Turfwise64.exe turfwise-cli.exe README.txt)
echo "Package: $zip ($(stat -c %s "$zip") bytes)"
