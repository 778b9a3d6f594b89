#!/usr/bin/env bash
# The main dialog's Wine benchmark (1024 classes): Show All against a plain
# list box, PreTranslateMessage per message, start-up against the program with
# its manifest of before the themed common controls and against a bare dialog.
# Runs the 32-bit build where this machine runs 32-bit programs, the 64-bit
# build elsewhere (TURFWISE_NO_32BIT=1 picks it anyway), and says which.
# Where qemu runs the 32-bit build, its times are the emulator's: only the
# ratios measured side by side in the same run mean anything.
# Builds what it needs in build/windows or build/windows64 (or
# TURFWISE_BUILD_DIR); runs under Xvfb when there is no display.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
"$here/packages.sh"
. "$here/wine-env.sh"
pick_build Benchmarking
build=${TURFWISE_BUILD_DIR:-$root/build/$preset}
mkdir -p "$build" && build=$(cd "$build" && pwd)
if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset $preset -B "$build" >/dev/null)
fi
cmake --build "$build" --target dialog_bench bare_dialog turfwise_before Turfwise -j2 >/dev/null
bench=("$here/wine-run.sh" --arch=$arch "$build/bench/wine/dialog_bench.exe")
if [ -n "${DISPLAY:-}" ]; then
    "${bench[@]}"
else
    xvfb-run -a -s "-screen 0 1024x768x24" "${bench[@]}"
fi
if [ $arch = win32 ] && [ "$(i686_how)" = emulated ]; then
    echo "Emulated by qemu-i386: these times are not comparable with a native run's; the ratios within this run are."
fi
