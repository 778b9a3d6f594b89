#!/usr/bin/env bash
# Builds both Windows programs and the Linux command line in Release,
# stripped, and writes to dist/:
#   turfwise-<version>-windows.zip with Turfwise.exe, Turfwise64.exe, the
#     command line turfwise-cli.exe (32-bit, for every Windows) and a
#     README.txt with Windows line ends;
#   turfwise-cli-<version>-linux-x86_64.tar.gz with the static x86_64
#     turfwise-cli, its man page, its bash completion and a README.txt;
#   turfwise-cli_<version>_amd64.deb, the same program, man page and
#     completion where Debian keeps them, made by dpkg-deb.
# The version is the project's (CMakeLists.txt). Prints each program's size
# against its budget and fails, with where the bytes go, when one is over.
#   scripts/package.sh
#   scripts/package.sh --build-only   the release builds alone, nothing packaged
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
    # Static: glibc and libstdc++ take 0.85 MB of it.
    [turfwise-cli]=$((1536 * 1024))
)
declare -A map=(
    [Turfwise.exe]=build/release-i686/ui/Turfwise.map
    [Turfwise64.exe]=build/release-x86_64/ui/Turfwise.map
    [turfwise-cli.exe]=build/release-i686/cli/turfwise-cli.map
    [turfwise-cli]=build/release-linux/cli/turfwise-cli.map
)
# The .deb's Maintainer, also its changelog's and its copyright's contact.
maintainer='Kelvane <turfwise@kelvane.example>'

for preset in windows-release windows64-release; do
    echo "== $preset"
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target Turfwise turfwise-cli -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
done
echo "== linux-release"
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release --target turfwise-cli -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
[ "${1:-}" = --build-only ] && exit 0
version=$(cat build/release-i686/version.txt)
[ -n "$version" ] || { echo "configure wrote no version" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
i686-w64-mingw32-strip -o "$stage/Turfwise.exe" build/release-i686/ui/Turfwise.exe
x86_64-w64-mingw32-strip -o "$stage/Turfwise64.exe" build/release-x86_64/ui/Turfwise64.exe
i686-w64-mingw32-strip -o "$stage/turfwise-cli.exe" build/release-i686/cli/turfwise-cli.exe
# As Debian's own packages are stripped: symbols and the compiler's notes.
strip --remove-section=.comment --remove-section=.note -o "$stage/turfwise-cli" build/release-linux/cli/turfwise-cli
for exe in "$stage/Turfwise.exe" "$stage/Turfwise64.exe" "$stage/turfwise-cli.exe"; do
    case $exe in *64.exe) arch=x86_64 ;; *) arch=i686 ;; esac
    tests/support/check_exe.sh "$exe" $arch | tail -1
done
over=0
for exe in Turfwise.exe Turfwise64.exe turfwise-cli.exe turfwise-cli; do
    size=$(stat -c %s "$stage/$exe")
    printf '%-17s %9d bytes stripped, budget %9d (%d%%)\n' $exe "$size" "${budget[$exe]}" $((size * 100 / budget[$exe]))
    if [ "$size" -gt "${budget[$exe]}" ]; then
        echo "$exe is over its size budget; where its bytes go:" >&2
        "$here/sizes.sh" "${map[$exe]}" 15 >&2
        over=1
    fi
done
[ $over = 0 ] || exit 1

sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' res/package-readme.txt >"$stage/README.txt"
# One date for every entry: the same sources give the same archive.
epoch=$("$here/source-date.sh" "$root")
touch -d "@$epoch" "$stage"/*

mkdir -p dist
zip=dist/turfwise-$version-windows.zip
rm -f "$zip"
(cd "$stage" && zip -q -X -9 "$root/$zip" Turfwise.exe Turfwise64.exe turfwise-cli.exe README.txt)
echo "Package: $zip ($(stat -c %s "$zip") bytes)"

# The Linux tarball: one folder, to unpack anywhere. Modes as Debian wants
# them, whatever the caller's umask.
umask 022
subst=(-e "s/@VERSION@/$version/g" -e "s/@MAINTAINER@/$maintainer/g"
       -e "s/@DATE@/$(date -u -d "@$epoch" +%Y-%m-%d)/g" -e "s/@CHANGELOG_DATE@/$(date -u -d "@$epoch" -R)/g")
name=turfwise-cli-$version
tree=$stage/linux/$name
mkdir -p "$tree"
install -m 0755 "$stage/turfwise-cli" "$tree/turfwise-cli"
sed "${subst[@]}" res/linux/turfwise-cli.1 >"$tree/turfwise-cli.1"
sed "${subst[@]}" res/linux/README.txt >"$tree/README.txt"
cp res/linux/turfwise-cli.bash-completion "$tree/"
tarball=dist/$name-linux-x86_64.tar.gz
tar -C "$stage/linux" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" -cf - "$name" |
    gzip -9n >"$tarball"
echo "Package: $tarball ($(stat -c %s "$tarball") bytes)"

# The .deb, laid out as Debian's policy asks: documentation compressed but
# the copyright, everything owned by root.
deb=$stage/deb
doc=$deb/usr/share/doc/turfwise-cli
install -d -m 0755 "$deb/DEBIAN" "$deb/usr/bin" "$deb/usr/share/man/man1" \
    "$deb/usr/share/bash-completion/completions" "$doc" "$deb/usr/share/lintian/overrides"
install -m 0755 "$stage/turfwise-cli" "$deb/usr/bin/turfwise-cli"
gzip -9n <"$tree/turfwise-cli.1" >"$deb/usr/share/man/man1/turfwise-cli.1.gz"
install -m 0644 res/linux/turfwise-cli.bash-completion "$deb/usr/share/bash-completion/completions/turfwise-cli"
sed "${subst[@]}" res/linux/copyright >"$doc/copyright"
sed "${subst[@]}" res/linux/changelog | gzip -9n >"$doc/changelog.gz"
install -m 0644 res/linux/lintian-overrides "$deb/usr/share/lintian/overrides/turfwise-cli"
sed "${subst[@]}" -e "s/@INSTALLED_SIZE@/$(du -sk --apparent-size "$deb/usr" | cut -f1)/" \
    res/linux/control >"$deb/DEBIAN/control"
(cd "$deb" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$deb/DEBIAN/md5sums"
find "$deb" -exec touch -h -d "@$epoch" {} +
debfile=dist/turfwise-cli_${version}_amd64.deb
rm -f "$debfile"
SOURCE_DATE_EPOCH=$epoch dpkg-deb --root-owner-group -Zxz --build "$deb" "$debfile" >/dev/null
echo "Package: $debfile ($(stat -c %s "$debfile") bytes)"
