#!/usr/bin/env bash
# Runs the Windows test builds' end-to-end tests on the programs as the package
# ships them (built small, -win32 threads, stripped): turfwise_exe_tests on
# Turfwise.exe / Turfwise64.exe, cli_tests on turfwise-cli.exe. The 32-bit
# programs where this machine runs 32-bit programs; the 64-bit Turfwise64.exe
# always, with the 64-bit release build's turfwise-cli.exe, as the package's
# is 32-bit. Needs scripts/package.sh and the windows/windows64 builds first,
# and a display. Writes each test program's gtest report to OUT/test-results
# and the list of programs run, with their outcome, to OUT/junit-win32.xml and
# OUT/junit-win64.xml.
#   scripts/test-package.sh OUT
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/wine-env.sh"
out=${1:?usage: test-package.sh OUT}
cd "$root"

version=$(cat build/release-i686/version.txt 2>/dev/null)
zip=dist/turfwise-$version-windows.zip
[ -n "$version" ] && [ -f "$zip" ] || { echo "no package: run scripts/package.sh first" >&2; exit 1; }
rm -rf "$out" && mkdir -p "$out/test-results" "$out/package"
unzip -q "$zip" -d "$out/package"

# Each test program finds its program where the build puts it: Turfwise.exe
# three folders up from the test, in ui/; turfwise-cli.exe beside the test.
run() {
    local arch=$1 name=$2 test=$3 state=fail
    "$here/wine-run.sh" --arch="$arch" "$test" --gtest_output="xml:Z:$out/test-results/$name.xml" && state=run
    printf '<testcase name="%s" status="%s">\n' "$name" $state >>"$out/junit-$arch.xml"
}
# One arch's programs, their output kept in OUT/ARCH.log.
test_arch() {
    local arch=$1 build exe cli from dir
    if [ $arch = win32 ]; then
        build=build/windows exe=Turfwise.exe cli=$out/package/turfwise-cli.exe from="from the package"
    else
        build=build/windows64 exe=Turfwise64.exe cli=$out/$arch/cli/turfwise-cli.exe from="from the 64-bit release build"
        mkdir -p "$out/$arch/cli"
        x86_64-w64-mingw32-strip -o "$cli" build/release-x86_64/cli/turfwise-cli.exe || return 1
    fi
    "$here/wine-prefix.sh" $arch || return 1
    dir=$out/$arch
    : >"$out/junit-$arch.xml"
    mkdir -p "$dir/tests/ui" "$dir/ui" "$dir/cli"
    cp "$out/package/$exe" "$dir/ui/" &&
        cp "$build/tests/ui/turfwise_exe_tests.exe" "$dir/tests/ui/" &&
        cp "$build/tests/cli/cli_tests.exe" "$dir/cli/" || return 1
    [ "$cli" = "$dir/cli/turfwise-cli.exe" ] || cp "$cli" "$dir/cli/"
    echo "== $exe from the package, turfwise-cli.exe $from"
    run $arch "turfwise_exe_tests-$arch" "$dir/tests/ui/turfwise_exe_tests.exe"
    run $arch "cli_tests-$arch" "$dir/cli/cli_tests.exe"
}

# The two arches at once, in prefixes of their own, each test on a screen of its own.
export TURFWISE_DISPLAY_EACH=1
arches=(win64)
if runs_32bit; then
    [ "$(i686_how)" = emulated ] && echo "32-bit package programs: emulated (qemu-i386)"
    arches=(win32 win64)
else
    echo "32-bit package programs: not run, $(no_32bit_reason)"
fi
declare -A pid
for arch in "${arches[@]}"; do
    test_arch $arch >"$out/$arch.log" 2>&1 &
    pid[$arch]=$!
done
failed=0
for arch in "${arches[@]}"; do
    wait "${pid[$arch]}" || failed=1
    cat "$out/$arch.log"
done
exit $failed
