#!/usr/bin/env bash
# Tries Turfwise on a demo game folder: builds what is missing, writes the
# demo folder (class list and texture bitmaps) under build/demo, registers it
# as the game's folder in the project's own Wine prefix and starts Turfwise:
# the 32-bit Turfwise.exe where this machine runs 32-bit programs, else the
# 64-bit Turfwise64.exe (TURFWISE_NO_32BIT=1 picks it anyway).
# With no DISPLAY it runs under Xvfb instead, saves a screenshot of the
# dialog (the path is printed, or give one as the first argument) and closes
# the program. TURFWISE_DPI=144 or 192 shows it on a screen of that DPI (150 %
# or 200 %), in the project's prefix for that DPI.
#   scripts/run.sh [SHOT.png]
#   TURFWISE_DPI=192 scripts/run.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
dpi=${TURFWISE_DPI:-}
. "$here/wine-env.sh"
[ -z "$dpi" ] || valid_dpi "$dpi"
"$here/packages.sh"
pick_build Running
wine_use $arch $dpi
build=${TURFWISE_BUILD_DIR:-$root/build/$preset}
mkdir -p "$build" && build=$(cd "$build" && pwd)
demo=$root/build/demo
shot=${1:-$root/build/turfwise-demo.png}

if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset $preset -B "$build" >/dev/null)
fi
cmake --build "$build" --target Turfwise turfwise_snap -j2
exe=$build/ui/$exe_name

# The demo generator runs on this machine: the native build's.
if [ ! -f "$root/build/native/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset native >/dev/null)
fi
cmake --build "$root/build/native" --target make_demo -j2 >/dev/null
tool=$root/build/native/tools/make_demo
# A fresh folder every run: the demo starts from the default surface types.
rm -rf "$demo"
"$tool" "$demo"
echo "Demo game folder: $demo"

"$here/wine-prefix.sh" $arch $dpi
[ -z "$dpi" ] || echo "Screen DPI $dpi, prefix $WINEPREFIX"
winpath() { "$WINE_LOADER" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# Where the game's 32-bit installer writes its entry: the 32-bit view.
"$WINE_LOADER" reg add 'HKLM\SOFTWARE\Microsoft\Microsoft Games\Combat Flight Simulator\1.00' \
    /v PATH /t REG_SZ /d "$(winpath "$demo")" /reg:32 /f >/dev/null

if [ -n "${DISPLAY:-}" ]; then
    TURFWISE_WINE_TIMEOUT=0 exec "$here/wine-run.sh" --arch=$arch ${dpi:+--dpi=$dpi} "$exe"
fi

# No display: a Wine desktop on Xvfb draws the dialog with its frame, on a
# screen that grows with the DPI as a real one's pixels do.
mkdir -p "$(dirname "$shot")"
shot=$(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")
rm -f "$shot"
screen=$((1024 * ${dpi:-96} / 96))x$((768 * ${dpi:-96} / 96))
TURFWISE_WINE_TIMEOUT=120 xvfb-run -a -s "-screen 0 ${screen}x24" \
    "$here/wine-run.sh" --arch=$arch ${dpi:+--dpi=$dpi} explorer /desktop=Turfwise,$screen \
    "$(winpath "$build/tools/turfwise_snap.exe")" "$(winpath "$exe")" "$(winpath "$shot")"
if [ ! -s "$shot" ]; then
    echo "no screenshot was saved" >&2
    exit 1
fi
# The capture is stored uncompressed; ImageMagick makes it a tenth of the size.
if command -v convert >/dev/null; then
    convert "$shot" -strip "$shot" || true
fi
echo "Screenshot: $shot"
